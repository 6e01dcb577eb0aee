// The C runtime bindings called as the reducer calls them, the argument codes of the binding
// family, and the runtime stand-ins with their errno translation.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "builtin_call.h"
#include "core/tables.h"
#include "core/values.h"
#include "library/binding.h"
#include "library/registry.h"
#include "platform/runtime.h"

namespace {

CellRef atom(std::string bytes) { return CellRef::atom(std::move(bytes)); }
CellRef text(std::string_view payload) { return make_counted_text(payload); }
CellRef address(const void* p) { return make_integer(reinterpret_cast<intptr_t>(p)); }

CellRef call(const char* name, std::vector<CellRef> args = {}) { return call_builtin(name, std::move(args)); }

std::string bytes_of(const char* name, std::vector<CellRef> args = {}) {
    return std::string(call(name, std::move(args)).bytes());
}

int64_t integer_of(const char* name, std::vector<CellRef> args = {}) {
    CellRef r = call(name, std::move(args));
    EXPECT_TRUE(is_integer_arg(r.get())) << name << " gave " << r.bytes();
    return to_int64(r.get());
}

std::string real_text(double d) { return std::string(make_real(d).bytes()); }

// Names classify through the definition table; `abc` stands for any defined name.
class Bindings : public ::testing::Test {
protected:
    void SetUp() override { set_definition("abc", CellRef::atom("Z")); }
    void TearDown() override { reset_process_state(); }
};

TEST_F(Bindings, ResultsByArgumentKind) {
    char buffer[8] = {};
    struct Case {
        const char* what;
        const char* name;
        std::vector<CellRef> args;
        std::string expected;
    } cases[] = {
        {"strlen of a text", "strlen", {text("abc")}, "3"},
        {"strlen of an empty text", "strlen", {text("")}, "0"},
        {"strlen of a list literal (data)", "strlen", {atom("[ab]")}, "4"},
        {"strlen of a real", "strlen", {make_real(1.0)}, "Z"},
        {"strlen of a name", "strlen", {atom("abc")}, "Z"},
        {"strlen of the null address", "strlen", {atom("0")}, "Z"},
        {"sqrt of an integer", "sqrt", {atom("4")}, "Z"},
        {"sqrt of a real", "sqrt", {make_real(4.0)}, real_text(2.0)},
        {"pow of reals", "pow", {make_real(2.0), make_real(10.0)}, real_text(1024.0)},
        {"isdigit of '0'", "isdigit", {atom("48")}, "K"},
        {"isdigit of 'A'", "isdigit", {atom("65")}, "H"},
        {"isdigit beyond the byte range", "isdigit", {atom("100000")}, "H"},
        {"isalpha of a negative value", "isalpha", {atom("0100000")}, "H"},
        {"isdigit of a numb", "isdigit", {atom("0048")}, "Z"},
        {"isascii of 127", "isascii", {atom("127")}, "K"},
        {"isascii of 128", "isascii", {atom("128")}, "H"},
        {"isascii of -1", "isascii", {atom("01")}, "K"},
        {"isascii of -1000", "isascii", {atom("01000")}, "K"},
        {"toascii of 200", "toascii", {atom("200")}, "72"},
        {"toupper of 'a'", "toupper", {atom("97")}, "65"},
        {"tolower beyond the byte range", "tolower", {atom("1000065")}, "1000065"},
        {"strtol of ff base 16", "strtol", {text("ff"), atom("0"), atom("16")}, "255"},
        {"strtol of a negative", "strtol", {text("-12"), atom("0"), atom("10")}, "012"},
        {"strtoul of a large value", "strtoul", {text("4000000000"), atom("0"), atom("10")}, "4000000000"},
        {"strtoul beyond the signed range keeps the bits",
         "strtoul",
         {text("9223372036854775808"), atom("0"), atom("10")},
         "09223372036854775808"},
        {"strtoul of -5 is a numeral", "strtoul", {text("-5"), atom("0"), atom("10")}, "05"},
        {"strcmp", "strcmp", {text("abc"), text("abd")}, "01"},
        {"strcasecmp", "strcasecmp", {text("ABC"), text("abc")}, "0"},
        {"strncmp with a negative count", "strncmp", {text("ab"), text("ab"), atom("01")}, "0"},
        {"strtod", "strtod", {text("2.5"), atom("0")}, real_text(2.5)},
        {"atoi", "atoi", {text("42x")}, "42"},
        {"abs", "abs", {atom("05")}, "5"},
        {"labs of the most negative value", "labs", {atom("09223372036854775808")}, "9223372036854775808"},
        {"rand_max", "rand_max", {}, "32767"},
        {"eacces", "eacces", {}, "13"},
        {"ewouldblock", "ewouldblock", {}, "140"},
        {"econnaborted", "econnaborted", {}, "106"},
        {"fclose of the null stream", "fclose", {atom("0")}, "Z"},
        // A small integer where an address belongs: the lowest page is never mapped.
        {"strlen of an address in the lowest page", "strlen", {atom("4095")}, "Z"},
        {"puts of an address in the lowest page", "puts", {atom("7")}, "Z"},
        {"fclose of a stream in the lowest page", "fclose", {atom("5")}, "Z"},
        {"free of an address in the lowest page", "free", {atom("8")}, "Z"},
        {"free of the null address", "free", {atom("0")}, "I"},
        {"strtol with an end pointer in the lowest page", "strtol", {text("12"), atom("9"), atom("10")}, "Z"},
        {"getaddrinfo with a node in the lowest page",
         "getaddrinfo",
         {atom("1"), atom("0"), atom("0"), atom("0")},
         "Z"},
        {"memset with a negative count", "memset", {address(buffer), atom("0"), atom("01")}, "Z"},
        {"memcpy with a negative count", "memcpy", {address(buffer), address(buffer), atom("05")}, "Z"},
        {"read with a negative count", "read", {atom("0"), address(buffer), atom("01")}, "Z"},
        {"assert of K", "assert", {atom("K")}, "I"},
        {"assert of a numeral", "assert", {atom("1")}, "Z"},
    };
    for (Case& c : cases) EXPECT_EQ(bytes_of(c.name, std::move(c.args)), c.expected) << c.what;
}

TEST_F(Bindings, MissingFileSetsTheTableErrno) {
    EXPECT_EQ(bytes_of("fopen", {text("/nonexistent/quib-missing"), text("r")}), "0");
    EXPECT_EQ(integer_of("errno"), ENOENT);
    errno = EWOULDBLOCK;
    EXPECT_EQ(integer_of("errno"), integer_of("ewouldblock"));
    errno = ENOTSOCK;
    EXPECT_EQ(integer_of("errno"), integer_of("enotsock"));
}

TEST_F(Bindings, StrerrorDescribesTheHostError) {
    struct Case {
        int table;
        int host;
    } cases[] = {{140, EAGAIN},    {106, ECONNABORTED}, {128, ENOTSOCK}, {130, EOPNOTSUPP},
                 {132, EOVERFLOW}, {13, EACCES},        {11, EAGAIN}};
    for (const Case& c : cases) {
        int64_t got = integer_of("strerror", {make_integer(c.table)});
        EXPECT_STREQ(reinterpret_cast<const char*>(got), std::strerror(c.host)) << c.table;
    }
}

TEST_F(Bindings, ErrnoTranslationIsOneToOne) {
    // Linux numbers its errors below 134; the runtime's 140 has no host twin to come back to.
    for (int host = 0; host < 134; ++host) {
        EXPECT_EQ(errno_to_host(errno_to_table(host)), host) << host;
        if (host != EAGAIN && host != ECONNABORTED && host != ENOTSOCK && host != EOPNOTSUPP && host != EOVERFLOW) {
            for (int constant : {106, 128, 130, 132, 140}) EXPECT_NE(errno_to_table(host), constant) << host;
        }
    }
}

TEST_F(Bindings, RandStaysWithinRandMax) {
    call("srand", {atom("7")});
    for (int i = 0; i < 2000; ++i) {
        int64_t r = integer_of("rand");
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
    }
}

TEST_F(Bindings, FileRoundTripThroughBindings) {
    std::string path = "/tmp/quib-bindings-" + std::to_string(getpid());
    CellRef f = call("fopen", {text(path), text("w")});
    ASSERT_NE(to_int64(f.get()), 0);
    EXPECT_EQ(bytes_of("fputs", {address("one\ntwo\n"), f}), "1");
    EXPECT_EQ(bytes_of("fwrite", {text("xyz"), atom("1"), atom("3"), f}), "3");
    EXPECT_EQ(bytes_of("fclose", {f}), "0");

    f = call("fopen", {text(path), text("r")});
    char line[16];
    EXPECT_EQ(integer_of("fgets", {address(line), atom("16"), f}), reinterpret_cast<intptr_t>(line));
    EXPECT_STREQ(line, "one\n");
    int64_t position = -1;
    EXPECT_EQ(bytes_of("fgetpos", {f, address(&position)}), "0");
    EXPECT_EQ(position, 4);
    EXPECT_EQ(bytes_of("fgetc", {f}), "116");  // 't'
    EXPECT_EQ(bytes_of("fsetpos", {f, address(&position)}), "0");
    char rest[8] = {};
    EXPECT_EQ(bytes_of("fread", {address(rest), atom("1"), atom("7"), f}), "7");
    EXPECT_EQ(std::string(rest, 7), "two\nxyz");
    EXPECT_EQ(bytes_of("feof", {f}), "0");
    EXPECT_EQ(bytes_of("fgetc", {f}), "01");
    EXPECT_NE(bytes_of("feof", {f}), "0");
    EXPECT_EQ(bytes_of("fclose", {f}), "0");
    EXPECT_EQ(bytes_of("remove", {text(path)}), "0");
}

TEST_F(Bindings, TokensWithoutAStartGiveNull) {
    char s[] = "a,b";
    EXPECT_EQ(integer_of("strtok", {atom("0"), text(",")}), 0);
    EXPECT_EQ(integer_of("strtok", {address(s), text(",")}), reinterpret_cast<intptr_t>(s));
    EXPECT_EQ(integer_of("strtok", {atom("0"), text(",")}), reinterpret_cast<intptr_t>(s + 2));
    EXPECT_EQ(integer_of("strtok", {atom("0"), text(",")}), 0);
    char* context = nullptr;
    EXPECT_EQ(integer_of("strtok_r", {atom("0"), text(","), address(&context)}), 0);
}

// A block of `size` bytes followed by guard bytes, to see whether a call writes past the
// runtime's (smaller) layout or reads the host's extra fields from there.
struct Guarded {
    explicit Guarded(size_t size) : size(size), bytes(size + 64, '\x5A') {}
    void* data() { return bytes.data(); }
    bool guard_intact() const { return bytes.find_first_not_of('\x5A', size) == std::string::npos; }
    size_t size;
    std::string bytes;
};

TEST_F(Bindings, RuntimeLayoutsAreRespected) {
    Guarded tm(win::kTmSize);
    int fields[9] = {0, 0, 12, 15, 5, 124, 0, 0, -1};  // 2024-06-15 12:00:00, zone's own summer time
    std::memcpy(tm.data(), fields, sizeof fields);
    EXPECT_GT(integer_of("mktime", {address(tm.data())}), 0);
    EXPECT_EQ(static_cast<int*>(tm.data())[6], 6);  // a Saturday, filled in
    EXPECT_TRUE(tm.guard_intact()) << "mktime";
    char out[64];
    std::string length = bytes_of("strftime", {address(out), atom("64"), text("%Y-%m-%d %z %Z"), address(tm.data())});
    EXPECT_EQ(length, std::to_string(std::strlen(out)));
    EXPECT_EQ(std::string(out, 10), "2024-06-15");
    EXPECT_EQ(reinterpret_cast<const char*>(integer_of("asctime", {address(tm.data())})),
              std::string("Sat Jun 15 12:00:00 2024\n"));

    Guarded buffer(win::kBufferSize);
    FILE* f = std::tmpfile();
    EXPECT_EQ(bytes_of("setbuf", {address(f), address(buffer.data())}), "I");
    for (int i = 0; i < 1000; ++i) std::fputc('x', f);
    EXPECT_TRUE(buffer.guard_intact()) << "setbuf";
    Guarded position(8);
    EXPECT_EQ(bytes_of("fgetpos", {address(f), address(position.data())}), "0");
    EXPECT_EQ(*static_cast<int64_t*>(position.data()), 1000);
    EXPECT_TRUE(position.guard_intact()) << "fgetpos";
    std::fclose(f);

    int64_t t = 86400;
    const int* day = reinterpret_cast<const int*>(integer_of("gmtime", {address(&t)}));
    EXPECT_EQ(day[3], 2);  // 1970-01-02
}

TEST_F(Bindings, TemporaryNamesAreShortAndFree) {
    char name[20] = {};
    EXPECT_EQ(integer_of("tmpnam", {address(name)}), reinterpret_cast<intptr_t>(name));
    EXPECT_LT(std::strlen(name), sizeof name);
    EXPECT_NE(access(name, F_OK), 0);
    const char* own = reinterpret_cast<const char*>(integer_of("tmpnam", {atom("0")}));
    EXPECT_STRNE(own, name);
}

TEST_F(Bindings, ArgumentCodes) {
    struct Case {
        char code;
        CellRef value;
        bool accepted;
    } cases[] = {
        {'N', atom("5"), true},   {'N', atom("K"), true},     {'N', atom("00"), false},  {'N', text("5"), false},
        {'U', atom("abc"), true}, {'P', atom("0"), true},     {'P', atom("05"), false},  {'P', atom("K"), true},
        {'A', atom("0"), false},  {'A', atom("8"), false},    {'A', atom("4096"), true}, {'A', atom("01"), true},
        {'n', atom("0"), true},   {'n', atom("4095"), false}, {'n', atom("4096"), true}, {'n', text("x"), false},
        {'u', atom("0"), true},   {'u', atom("4095"), false}, {'u', atom("abc"), true},  {'T', atom("7"), false},
        {'T', atom("0"), true},   {'S', atom("0"), false},    {'S', text(""), true},     {'T', atom("[x]"), true},
        {'T', atom("x"), false},  {'R', make_real(1), true},  {'R', atom("1"), false},
    };
    for (Case& c : cases) {
        CArg out;
        EXPECT_EQ(convert_arg(c.code, c.value.get(), out), c.accepted) << c.code << " " << c.value.bytes();
    }
    CellRef t = text("hello");
    EXPECT_STREQ(reinterpret_cast<const char*>(to_address(t.get())), "hello");
    CellRef list = atom("[ab]");
    EXPECT_EQ(to_address(list.get()), reinterpret_cast<intptr_t>(atom_chars(list.get())));
}

TEST(BindingsDeath, AssertAndExit) {
    EXPECT_DEATH(call("assert", {atom("H")}), "^ASSERTION FAILED:l:242\n$");
    EXPECT_EXIT(call("exit", {atom("3")}), ::testing::ExitedWithCode(3), "");
    EXPECT_DEATH(call("abort"), "");
}

}  // namespace
