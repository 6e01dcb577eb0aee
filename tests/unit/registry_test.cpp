// The builtin table and the language's own cell and memory builtins.
#include "library/registry.h"

#include <cstring>

#include <gtest/gtest.h>

#include "builtin_call.h"
#include "core/tables.h"
#include "core/values.h"
#include "front/loader.h"

namespace {

class Registry : public ::testing::Test {
protected:
    void SetUp() override { LoadPrelude(); }
    template <typename... Args>
    static CellRef call(const char* name, Args... args) {
        return call_builtin(name, std::move(args)...);
    }
};

TEST_F(Registry, HoldsEveryNameWithItsArity) {
    EXPECT_EQ(builtin_table().size(), 223u);
    struct Case {
        const char* name;
        int arity;
    } cases[] = {{"plus", 2},     {"getnameinfo", 7}, {"rand", 0},  {"stdout", 0}, {"setsockopt", 5},
                 {"recvfrom", 6}, {"strtok_r", 3},    {"fread", 4}, {"gets", 1},   {"tern", 1}};
    for (const Case& c : cases) {
        ASSERT_NE(find_builtin(c.name), nullptr) << c.name;
        EXPECT_EQ(find_builtin(c.name)->arity, c.arity) << c.name;
    }
    for (const char* not_builtin : {"plu", "Plus", "pluss", "", "K"}) EXPECT_EQ(find_builtin(not_builtin), nullptr);
    EXPECT_EQ(find_builtin("getw")->handler, find_builtin("getz")->handler);
    EXPECT_EQ(find_builtin("ai_passive")->handler, find_builtin("sock_stream")->handler);
    reset_builtin_table();
    EXPECT_EQ(builtin_table().size(), 223u);  // refilled on the next access
}

TEST_F(Registry, TypeNamesAreSharedCells) {
    CellRef first = call("type", CellRef::atom("3"));
    EXPECT_EQ(first.bytes(), "[hint]");
    EXPECT_TRUE(first.same(call("type", CellRef::atom("017"))));
    EXPECT_EQ(call("type", CellRef::atom("[ab]")).bytes(), "[zits]");
    EXPECT_EQ(call("type", CellRef::atom("K")).bytes(), "[void]");
    EXPECT_EQ(call("type", CellRef::atom("007")).bytes(), "[numb]");
    EXPECT_EQ(call("type", make_real(1.5)).bytes(), "[real]");
    EXPECT_EQ(call("type", make_counted_text("x")).bytes(), "[post]");
}

TEST_F(Registry, Rank) {
    struct Case {
        CellRef value;
        const char* rank;
    } cases[] = {
        {make_real(2.0), "8"},          {CellRef::atom("017"), "3"},
        {make_counted_text(""), "0"},   {make_counted_text("abc"), "3"},
        {CellRef::atom("[a[b]]"), "6"}, {apply(CellRef::atom("[a]"), CellRef::atom("[]")), "5"},
        {CellRef::atom("K"), "Z"},
    };
    for (Case& c : cases) EXPECT_EQ(call("rank", c.value).bytes(), c.rank);
}

TEST_F(Registry, IdentityLoadsAndStores) {
    CellRef x = CellRef::atom("abc");
    EXPECT_EQ(call("raws", x, x).bytes(), "K");
    EXPECT_EQ(call("raws", x, CellRef::atom("abc")).bytes(), "H");

    // leak, then read the atom's header and first byte back through the loads.
    CellRef address = call("leak", x);
    uint64_t header = x.get()->header;
    EXPECT_EQ(call("getw", address).bytes(), make_integer(static_cast<int64_t>(header)).bytes());
    CellRef byte_address = CellRef::atom(std::to_string(to_int64(address.get()) + 8));
    EXPECT_EQ(call("getx", byte_address).bytes(), "97");

    int64_t target = 0;
    CellRef where = make_integer(static_cast<int64_t>(reinterpret_cast<intptr_t>(&target)));
    EXPECT_EQ(call("setx", where, CellRef::atom("0255")).bytes(), "I");
    EXPECT_EQ(target, 1);  // the low 8 bits of -255
    EXPECT_EQ(call("setw", where, CellRef::atom("5")).bytes(), "I");
    EXPECT_EQ(target, 5);
    EXPECT_EQ(call("gety", where).bytes(), "5");
    EXPECT_EQ(call("setx", make_counted_text("x"), CellRef::atom("1")).bytes(), "Z");
    // Values that are not addresses, and the never-mapped lowest page, answer "Z".
    for (const char* load : {"getx", "getw", "getu"}) {
        EXPECT_EQ(call(load, CellRef::atom("Z")).bytes(), "Z") << load;
        EXPECT_EQ(call(load, make_counted_text("abcdefgh")).bytes(), "Z") << load;
        EXPECT_EQ(call(load, CellRef::atom("0")).bytes(), "Z") << load;
        EXPECT_EQ(call(load, CellRef::atom("4095")).bytes(), "Z") << load;
    }
    EXPECT_EQ(call("setx", CellRef::atom("8"), CellRef::atom("1")).bytes(), "Z");
    EXPECT_EQ(call("setw", where, make_real(1.0)).bytes(), "Z");
    EXPECT_EQ(target, 5);
}

}  // namespace
