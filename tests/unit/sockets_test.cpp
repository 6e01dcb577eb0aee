// Socket, resolver and directory builtins: record layouts, the socket set, byte order,
// loopback resolution and directory listing with its position keys.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <vector>

#include <gtest/gtest.h>

#include "builtin_call.h"
#include "core/values.h"
#include "library/registry.h"
#include "platform/dir.h"
#include "platform/net.h"

namespace {

CellRef address(const void* p) { return make_integer(reinterpret_cast<intptr_t>(p)); }
CellRef number(int64_t n) { return make_integer(n); }

CellRef call(const char* name, std::vector<CellRef> args = {}) { return call_builtin(name, std::move(args)); }

int64_t integer_of(const char* name, std::vector<CellRef> args = {}) {
    CellRef r = call(name, std::move(args));
    EXPECT_TRUE(is_integer_arg(r.get())) << name << " gave " << r.bytes();
    return to_int64(r.get());
}

TEST(Sockets, ConstantsAndByteOrder) {
    struct Case {
        const char* name;
        std::vector<CellRef> args;
        const char* expected;
    } cases[] = {
        {"addrinfo", {}, "48"},
        {"dirent", {}, "296"},
        {"time_t", {}, "8"},
        {"af_unspec", {}, "0"},
        {"ai_passive", {}, "1"},
        {"sock_stream", {}, "1"},
        {"htons", {number(1)}, "256"},
        {"htons", {number(0x12345)}, "17699"},  // only the low 16 bits: 0x2345 swapped
        {"ntohs", {number(256)}, "1"},
        {"htonl", {number(1)}, "16777216"},
        {"ntohl", {number(16777216)}, "1"},
        {"htons", {make_counted_text("1")}, "Z"},
    };
    for (Case& c : cases) EXPECT_EQ(call(c.name, std::move(c.args)).bytes(), c.expected) << c.name;
}

struct SocketSet {
    uint32_t count;
    uint32_t pad;
    uint64_t handles[64];
};
static_assert(sizeof(SocketSet) == 520);

TEST(Sockets, SocketSetKeepsEachSocketOnceAndAtMost64) {
    SocketSet set{};
    EXPECT_EQ(call("fd_set", {number(7), address(&set)}).bytes(), "I");
    EXPECT_EQ(call("fd_set", {number(7), address(&set)}).bytes(), "I");
    EXPECT_EQ(set.count, 1u);
    EXPECT_EQ(set.handles[0], 7u);
    for (int s = 100; s < 163; ++s) call("fd_set", {number(s), address(&set)});
    ASSERT_EQ(set.count, 64u);
    SocketSet before = set;
    EXPECT_EQ(call("fd_set", {number(999), address(&set)}).bytes(), "I");
    EXPECT_EQ(std::memcmp(&before, &set, sizeof set), 0);
    EXPECT_EQ(call("fd_set", {number(1), number(0)}).bytes(), "Z");
}

TEST(Sockets, NumericLoopbackResolvesIntoOurRecordLayout) {
    AddrInfoRecord hints{};
    hints.ai_flags = 4;  // numeric host
    hints.ai_family = 2;
    hints.ai_socktype = 1;
    AddrInfoRecord* list = nullptr;
    const char* host = "127.0.0.1";
    const char* port = "8080";
    ASSERT_EQ(integer_of("getaddrinfo", {address(host), address(port), address(&hints), address(&list)}), 0);
    ASSERT_NE(list, nullptr);
    const char* raw = reinterpret_cast<const char*>(list);
    int32_t family;
    std::memcpy(&family, raw + 4, 4);
    EXPECT_EQ(family, 2);
    const sockaddr_in* in;
    std::memcpy(&in, raw + 32, 8);
    EXPECT_EQ(in->sin_family, AF_INET);
    EXPECT_EQ(ntohl(in->sin_addr.s_addr), 0x7F000001u);
    EXPECT_EQ(ntohs(in->sin_port), 8080);
    uint64_t length;
    std::memcpy(&length, raw + 16, 8);
    EXPECT_EQ(length, sizeof(sockaddr_in));
    EXPECT_EQ(call("freeaddrinfo", {address(list)}).bytes(), "I");
}

TEST(Sockets, SixFamilyKeepsTheProgramsNumber) {
    AddrInfoRecord hints{};
    hints.ai_flags = 4;
    hints.ai_family = netnum::kAfInet6;
    AddrInfoRecord* list = nullptr;
    ASSERT_EQ(net_getaddrinfo("::1", nullptr, &hints, &list), 0);
    EXPECT_EQ(list->ai_family, netnum::kAfInet6);
    uint16_t family;
    std::memcpy(&family, list->ai_addr, 2);
    EXPECT_EQ(family, netnum::kAfInet6);
    char text[64] = {};
    const char* shown =
        net_inet_ntop(netnum::kAfInet6, &static_cast<sockaddr_in6*>(list->ai_addr)->sin6_addr, text, sizeof text);
    EXPECT_STREQ(shown, "::1");
    net_freeaddrinfo(list);
}

TEST(Sockets, ResolverFailuresUseTheProgramsCodes) {
    AddrInfoRecord hints{};
    hints.ai_flags = 4;
    AddrInfoRecord* list = nullptr;
    EXPECT_EQ(net_getaddrinfo("not an address", nullptr, &hints, &list), netnum::kEaiNoName);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(net_getaddrinfo("127.0.0.1", nullptr, nullptr, nullptr), netnum::kEaiBadFlags);
    int64_t first = integer_of("gai_strerror", {number(netnum::kEaiNoName)});
    int64_t second = integer_of("gai_strerror", {number(0)});
    EXPECT_EQ(first, second);  // one static buffer
    EXPECT_GT(std::strlen(reinterpret_cast<const char*>(second)), 0u);
}

TEST(Sockets, TextAddressesBothWays) {
    unsigned char binary[16] = {};
    EXPECT_EQ(integer_of("inet_pton", {number(2), address("127.0.0.1"), address(binary)}), 1);
    EXPECT_EQ(binary[0], 127);
    EXPECT_EQ(binary[3], 1);
    char text[64];
    EXPECT_EQ(integer_of("inet_ntop", {number(2), address(binary), address(text), number(sizeof text)}),
              reinterpret_cast<intptr_t>(text));
    EXPECT_STREQ(text, "127.0.0.1");
    EXPECT_EQ(integer_of("inet_ntop", {number(2), address(binary), address(text), number(3)}), 0);
    EXPECT_EQ(integer_of("inet_pton", {number(2), address("nonsense"), address(binary)}), 0);
    // Null addresses the C functions would dereference answer "Z".
    EXPECT_EQ(call("inet_pton", {number(2), number(0), address(binary)}).bytes(), "Z");
    EXPECT_EQ(call("inet_ntop", {number(2), address(binary), number(0), number(64)}).bytes(), "Z");
}

TEST(Sockets, WritingToAGonePeerIsAnErrorNotASignal) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    close(pair[1]);
    errno = 0;
    EXPECT_EQ(integer_of("send", {number(pair[0]), make_counted_text("x"), number(1), number(0)}), -1);
    EXPECT_EQ(errno, EPIPE);
    close(pair[0]);
}

TEST(Sockets, SocketLevelOptionsUseTheProgramsNumbers) {
    int s = net_socket(2, 1, 0);
    ASSERT_GE(s, 0);
    int on = 1;
    EXPECT_EQ(integer_of("setsockopt", {number(s), number(0xFFFF), number(4), address(&on), number(4)}), 0);
    int value = 0;
    socklen_t length = sizeof value;
    ASSERT_EQ(getsockopt(s, SOL_SOCKET, SO_REUSEADDR, &value, &length), 0);
    EXPECT_NE(value, 0);
    EXPECT_EQ(integer_of("setsockopt", {number(s), number(0xFFFF), number(0x7777), address(&on), number(4)}), -1);
    EXPECT_EQ(integer_of("closesocket", {number(s)}), 0);
}

TEST(Directories, PositionKeys) {
    struct Case {
        std::string name;
        int32_t key;
    } cases[] = {
        {"", 5381},
        {"b", 5381 * 33 + 'b'},
        {"\xc3\xa9", 5381 * 33 + 0xE9},                            // UTF-8 decoded to one unit
        {"\xff", 5381 * 33 + 0xFF},                                // not UTF-8: the byte itself
        {"\xf0\x9f\x98\x80", (5381 * 33 + 0xD83D) * 33 + 0xDE00},  // a surrogate pair
        {"\xc0\xaf", (5381 * 33 + 0xC0) * 33 + 0xAF},              // overlong: bytes
    };
    for (const Case& c : cases) EXPECT_EQ(position_key(c.name), c.key) << c.name;
}

TEST(Directories, OpenFailuresSetErrno) {
    struct Case {
        const char* path;
        int error;
    } cases[] = {
        {"", 2},
        {"/nonexistent-quib-dir", 2},
        {"/dev/null", 20},
    };
    for (const Case& c : cases) {
        errno = 0;
        EXPECT_EQ(integer_of("opendir", {address(c.path)}), 0) << c.path;
        EXPECT_EQ(errno, c.error) << c.path;
    }
    errno = 0;
    EXPECT_EQ(integer_of("opendir", {number(0)}), 0);
    EXPECT_EQ(errno, 2);
    errno = 0;
    EXPECT_EQ(integer_of("closedir", {number(0)}), -1);
    EXPECT_EQ(errno, 9);
    EXPECT_EQ(integer_of("readdir", {number(0)}), 0);
}

class Listing : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quib-dir-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        std::fclose(std::fopen((root_ + "/a").c_str(), "w"));
        mkdir((root_ + "/b").c_str(), 0700);
        symlink("a", (root_ + "/c").c_str());
    }
    void TearDown() override {
        for (const char* name : {"/a", "/b", "/c"}) remove((root_ + name).c_str());
        rmdir(root_.c_str());
    }
    std::string root_;
};

TEST_F(Listing, EachRecordKeysTheNextNameAndTheLastSaysNoMore) {
    int64_t stream = integer_of("opendir", {address(root_.c_str())});
    ASSERT_NE(stream, 0);
    std::vector<std::string> names;
    std::vector<int32_t> offsets;
    std::map<std::string, int32_t> types;
    while (int64_t record = integer_of("readdir", {number(stream)})) {
        EXPECT_EQ(record, stream);  // the record lives at the start of the stream
        const auto* r = reinterpret_cast<const DirEntryRecord*>(record);
        EXPECT_EQ(r->d_reclen, 296);
        EXPECT_EQ(r->d_ino, 0u);
        EXPECT_EQ(r->d_namlen, std::strlen(r->d_name));
        names.push_back(r->d_name);
        offsets.push_back(r->d_off);
        types[r->d_name] = r->d_type;
    }
    EXPECT_EQ(integer_of("readdir", {number(stream)}), 0);  // stays at the end
    EXPECT_EQ(integer_of("closedir", {number(stream)}), 0);

    ASSERT_EQ(names.size(), 5u);  // ".", "..", a, b, c in the order the system gives
    for (size_t i = 0; i + 1 < names.size(); ++i) EXPECT_EQ(offsets[i], position_key(names[i + 1])) << i;
    EXPECT_EQ(offsets.back(), kNoNextEntry);
    EXPECT_EQ(types["."], 0x4000);
    EXPECT_EQ(types["a"], 0x8000);
    EXPECT_EQ(types["b"], 0x4000);
    EXPECT_EQ(types["c"], 0xC000);
}

}  // namespace
