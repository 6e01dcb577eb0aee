// Process-wide tables, each a function-local static created empty on first use.
#include "core/tables.h"

#include <map>
#include <set>

#include "core/builtins.h"
#include "core/classify.h"

namespace {

// Bytewise ordered: the checks visit definitions, and report the first failure, in this order.
using DefinitionTable = std::map<std::string, CellRef, std::less<>>;
// Holds only definitions whose evaluation has begun.
using StateTable = std::map<std::string, DefinitionState, std::less<>>;
using NameSet = std::set<std::string, std::less<>>;

DefinitionTable& definitions() {
    static DefinitionTable table;
    return table;
}

StateTable& states() {
    static StateTable table;
    return table;
}

NameSet& redefined_builtins() {
    static NameSet names;
    return names;
}

template <class Table, class Value>
void put(Table& table, std::string_view name, Value value) {
    auto it = table.lower_bound(name);
    if (it != table.end() && it->first == name)
        it->second = std::move(value);
    else
        table.emplace_hint(it, std::string(name), std::move(value));
}

template <class Table>
void drop(Table& table, std::string_view name) {
    auto it = table.find(name);
    if (it != table.end()) table.erase(it);
}

}  // namespace

const CellRef* find_definition(std::string_view name) {
    DefinitionTable& table = definitions();
    auto it = table.find(name);
    return it == table.end() ? nullptr : &it->second;
}

void set_definition(std::string_view name, CellRef body) { put(definitions(), name, std::move(body)); }

void remove_definition(std::string_view name) { drop(definitions(), name); }

bool each_definition(const std::function<bool(const std::string& name, const CellRef& body)>& visit) {
    for (const auto& [name, body] : definitions())
        if (!visit(name, body)) return false;
    return true;
}

void rewrite_definitions(const std::function<CellRef(const std::string& name, const CellRef& body)>& rewrite) {
    for (auto& [name, body] : definitions()) body = rewrite(name, body);
}

DefinitionState definition_state(std::string_view name) {
    StateTable& table = states();
    auto it = table.find(name);
    return it == table.end() ? DefinitionState::Unevaluated : it->second;
}

void set_definition_state(std::string_view name, DefinitionState state) {
    if (state == DefinitionState::Unevaluated)
        drop(states(), name);
    else
        put(states(), name, state);
}

void note_redefined_builtin(std::string_view name) { redefined_builtins().emplace(name); }

bool program_redefined_builtin(std::string_view name) {
    const NameSet& names = redefined_builtins();
    return !names.empty() && names.count(name);
}

void reset_process_state() {
    redefined_builtins().clear();
    definitions().clear();
    states().clear();
    reset_builtin_table();
    reset_classification_caches();
}
