// The process-wide definition and settled tables, and the reset of all process-wide state.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "core/cell.h"

// Definition key -> body; the main expression lives under "". Bytewise ordered.
using DefinitionTable = std::map<std::string, CellRef, std::less<>>;
// Parameterless definition -> settled (true) or under evaluation (false).
using SettledTable = std::map<std::string, bool, std::less<>>;

DefinitionTable& definitions();
SettledTable& settled();

// Looks a definition up; null when absent.
inline const CellRef* find_definition(std::string_view name) {
    DefinitionTable& t = definitions();
    auto it = t.find(name);
    return it == t.end() ? nullptr : &it->second;
}

// Builtin names that the program defined for itself: their handlers are no longer called.
std::set<std::string, std::less<>>& redefined_builtins();
inline bool program_redefined_builtin(std::string_view name) {
    auto& names = redefined_builtins();
    return !names.empty() && names.count(name);
}

// Empties the definition, settled and builtin tables and every cache that depends on them.
void reset_process_state();
