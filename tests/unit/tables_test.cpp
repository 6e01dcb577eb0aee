// The definition tables: what the reducer and the checks rely on beyond plain lookup.
#include "core/tables.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Tables : public ::testing::Test {
protected:
    void TearDown() override { reset_process_state(); }
};

// The reducer keeps the pointer for a whole run while settling replaces the body.
TEST_F(Tables, ReplacedBodyStaysWhereItWasFound) {
    set_definition("once", CellRef::atom("I"));
    const CellRef* found = find_definition("once");
    set_definition("once", CellRef::atom("3"));
    EXPECT_EQ(find_definition("once"), found);
    EXPECT_EQ(found->bytes(), "3");
    remove_definition("once");
    EXPECT_EQ(find_definition("once"), nullptr);
}

TEST_F(Tables, VisitsInBytewiseOrderUntilTold) {
    for (const char* name : {"b", "", "B", "ab", "a"}) set_definition(name, CellRef::atom("Z"));
    std::vector<std::string> seen;
    bool all = each_definition([&](const std::string& name, const CellRef&) {
        seen.push_back(name);
        return name != "a";
    });
    EXPECT_FALSE(all);
    EXPECT_EQ(seen, (std::vector<std::string>{"", "B", "a"}));
}

}  // namespace
