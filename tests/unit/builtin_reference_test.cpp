// The builtin reference in docs/ against the registered table: the same names, the same arities.
#include <fstream>
#include <map>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "core/builtins.h"

namespace {

// Rows "| `name` | arity | ..." of the tables whose header begins "| name | arity |" (other
// tables, such as structure layouts, have rows of the same shape). A name listed twice keeps
// -1 so that it shows.
std::map<std::string, int> documented_arities(const std::string& path) {
    std::ifstream in(path);
    std::map<std::string, int> arities;
    const std::regex row(R"(^\| `([a-z_]+)` \| ([0-9]+) \|)");
    std::smatch m;
    bool in_reference_table = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with("|")) in_reference_table = false;
        if (line.starts_with("| name | arity |")) in_reference_table = true;
        if (!in_reference_table || !std::regex_search(line, m, row)) continue;
        auto [it, inserted] = arities.emplace(m[1], std::stoi(m[2]));
        if (!inserted) it->second = -1;
    }
    return arities;
}

TEST(BuiltinReference, ListsExactlyTheRegisteredNamesWithTheirArities) {
    std::map<std::string, int> documented = documented_arities(QUIB_SOURCE_DIR "/docs/builtins.md");
    ASSERT_FALSE(documented.empty()) << "no reference rows read from docs/builtins.md";
    for (const auto& [name, entry] : builtin_table()) {
        auto it = documented.find(name);
        if (it == documented.end()) {
            ADD_FAILURE() << name << " is registered but missing from the reference";
        } else if (it->second == -1) {
            ADD_FAILURE() << name << " has more than one row in the reference";
        } else {
            EXPECT_EQ(it->second, static_cast<int>(entry.arity)) << "arity of " << name;
        }
    }
    for (const auto& [name, arity] : documented) {
        EXPECT_NE(find_builtin(name), nullptr) << name << " is in the reference but not registered";
    }
}

}  // namespace
