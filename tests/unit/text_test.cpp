// The text conversions init, rows, lisp and tail, called the way the reducer calls them.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "builtin_call.h"
#include "core/tables.h"
#include "core/values.h"
#include "library/registry.h"

namespace {

using namespace std::string_literals;

CellRef atom(std::string bytes) { return CellRef::atom(std::move(bytes)); }

// The combinators the trees below are made of, with their arities, so they classify.
void define_combinators() {
    for (auto [name, arity] : {std::pair{"V", 3}, {"J", 3}, {"K", 2}, {"H", 1}, {"I", 1}, {"f", 2}}) {
        CellRef body = CellRef::atom("Z");
        for (int i = arity - 1; i >= 0; --i)
            body = apply(apply(CellRef::atom("\\"), CellRef::atom(std::string(1, char('a' + i)))), body);
        set_definition(name, body);
    }
}

class Text : public ::testing::Test {
protected:
    void SetUp() override { define_combinators(); }
    void TearDown() override { reset_process_state(); }

    static CellRef call(const char* name, CellRef argument) { return call_builtin(name, std::move(argument)); }
    static std::string bytes_of(const char* name, CellRef argument) {
        return std::string(call(name, std::move(argument)).bytes());
    }
};

// ((V lo) hi) with lo = (J (J b0 b1) (J b2 b3)), bits I for 1 and H for 0.
CellRef byte_tree(unsigned char c) {
    auto bit = [c](int i) { return CellRef::atom((c >> i) & 1 ? "I" : "H"); };
    auto j = [](CellRef x, CellRef y) { return apply2(CellRef::atom("J"), std::move(x), std::move(y)); };
    auto half = [&](int base) { return j(j(bit(base), bit(base + 1)), j(bit(base + 2), bit(base + 3))); };
    return apply2(CellRef::atom("V"), half(0), half(4));
}

// The complete tree of ((V lower) upper) nodes over the bits from `low`, leaves K for 1 and H for 0.
CellRef bit_tree(uint64_t bits, int low, int width) {
    if (width == 1) return CellRef::atom((bits >> low) & 1 ? "K" : "H");
    return apply2(CellRef::atom("V"), bit_tree(bits, low, width / 2), bit_tree(bits, low + width / 2, width / 2));
}

std::string double_bytes(double d) {
    std::string s(8, '\0');
    std::memcpy(s.data(), &d, 8);
    return s;
}

TEST_F(Text, InitByKind) {
    struct Case {
        const char* what;
        CellRef argument;
        std::string expected;
    } cases[] = {
        {"numeral", atom("65"), "(a)A"},
        {"numeral, low 8 bits", atom("321"), "(a)A"},
        {"negative numeral", atom("01"), "(a)\xff"},
        {"list with a line feed escape", atom("[a[p]b]"), "(c)a\nb"},
        {"list with bracket escapes", atom("[[q]x[r]]"), "(c)[x]"},
        {"list with a nested list", atom("[a[bc]]"), "Z"},
        {"list with an empty nested list", atom("[a[]]"), "Z"},
        {"empty list", atom("[]"), "()"},
        {"numb", atom("007"), "Z"},
        {"real", make_real(1.5), "(h)" + double_bytes(1.5)},
        {"byte tree", byte_tree('A'), "(a)A"},
        {"byte tree of NUL", byte_tree(0), "(a)"s + '\0'},
        {"tree of a real", bit_tree(0xC00921FB54442D18u, 0, 64), "(h)" + double_bytes(-3.141592653589793)},
        {"tree one level short", bit_tree(0x1234, 0, 32), "Z"},
        {"a name", atom("f"), "Z"},
    };
    for (Case& c : cases) EXPECT_EQ(bytes_of("init", std::move(c.argument)), c.expected) << c.what;
}

TEST_F(Text, InitOfATextIsThatCell) {
    CellRef text = make_counted_text("abc");
    EXPECT_TRUE(call("init", text).same(text));
}

TEST_F(Text, RowsByKind) {
    struct Case {
        const char* what;
        CellRef argument;
        std::string expected;
    } cases[] = {
        {"text with escapes", make_counted_text("a[\n]"), "[a[q][p][r]]"},
        {"text with a NUL", make_counted_text("a\0b"s), "[a\0b]"s},
        {"empty text", make_counted_text(""), "[]"},
        {"line feed", atom("10"), "[[p]]"},
        {"open bracket", atom("91"), "[[q]]"},
        {"close bracket", atom("93"), "[[r]]"},
        {"NUL shows as a line feed", atom("0"), "[\n]"},
        {"plain byte", atom("65"), "[A]"},
        {"numb", atom("007"), "Z"},
        {"real", make_real(1.5), "[" + double_bytes(1.5) + "]"},
        {"a name", atom("f"), "Z"},
    };
    for (Case& c : cases) EXPECT_EQ(bytes_of("rows", std::move(c.argument)), c.expected) << c.what;

    CellRef list = atom("[a[b]]");
    EXPECT_TRUE(call("rows", list).same(list));
}

TEST_F(Text, RowsThenInitGivesTheTextBack) {
    std::string every_byte;
    for (int b = 1; b < 256; ++b) every_byte += static_cast<char>(b);
    for (std::string text : {""s, "abc"s, "[x]\n[[]]"s, every_byte}) {
        CellRef list = call("rows", make_counted_text(text));
        EXPECT_EQ(bytes_of("init", list), std::string(make_counted_text(text).bytes()));
    }
}

// A list literal this long has no extent and would be read only up to its first NUL.
TEST_F(Text, RowsRefusesAListTooLongToHoldItsNuls) {
    std::string text(cellbits::kExtentLimit, 'a');
    text[10] = '\0';
    EXPECT_EQ(bytes_of("rows", make_counted_text(text)), "Z");
    text[10] = 'a';
    EXPECT_EQ(call("rows", make_counted_text(text)).bytes().size(), text.size() + 2);
}

TEST_F(Text, LispPrintsTheExpression) {
    EXPECT_EQ(bytes_of("lisp", apply(atom("f"), atom("a"))), "[(f a)]");
    EXPECT_EQ(bytes_of("lisp", atom("[x]")), "[[x]]");
}

TEST_F(Text, TailShortensDownToEmpty) {
    struct Case {
        std::string text, expected;
    } cases[] = {
        {"(c)abc", "(b)ab"},
        {"(b)ab", "(a)a"},
        {"(a)a", "()"},
        {"()", "Z"},
        {"(e)abcde", "(d)abcd"},  // the shorter atom needs a smaller block: copied
        {"(a_)" + std::string(64, 'x'), "(~)" + std::string(63, 'x')},
        {"(b_)" + std::string(128, 'x'), "(a~)" + std::string(127, 'x')},
    };
    for (const Case& c : cases) {
        // Once with the text unshared (changed in place), once with a second owner.
        EXPECT_EQ(bytes_of("tail", atom(c.text)), c.expected) << c.text;
        CellRef held = atom(c.text);
        EXPECT_EQ(bytes_of("tail", held), c.expected) << c.text;
        EXPECT_EQ(held.bytes(), c.text);
    }
    EXPECT_EQ(bytes_of("tail", atom("65")), "Z");
    EXPECT_EQ(bytes_of("tail", atom("[ab]")), "Z");
}

TEST_F(Text, TailChangesOnlyWhatNoOneElseSees) {
    const BuiltinEntry* tail = find_builtin("tail");
    {
        CellRef text = atom("(c)abc");
        Cell* raw = text.get();
        CellRef result = tail->handler(apply(CellRef::atom("tail"), std::move(text)));
        EXPECT_EQ(result.get(), raw);  // unshared: shortened in place
        EXPECT_EQ(result.bytes(), "(b)ab");
        EXPECT_EQ(atom_chars(raw)[5], '\0');  // still NUL-terminated for the C bindings
    }
    {
        // The application itself is held elsewhere (a shared definition body, say).
        CellRef body = apply(CellRef::atom("tail"), atom("(c)abc"));
        CellRef result = tail->handler(body);
        EXPECT_EQ(result.bytes(), "(b)ab");
        EXPECT_NE(right_of(body.get()), result.get());
        EXPECT_EQ(atom_bytes(right_of(body.get())), "(c)abc");
    }
}

}  // namespace
