// Process-wide tables, each a function-local static created empty on first use.
#include "core/tables.h"

#include "core/builtins.h"
#include "core/classify.h"

DefinitionTable& definitions() {
    static DefinitionTable table;
    return table;
}

SettledTable& settled() {
    static SettledTable table;
    return table;
}

std::set<std::string, std::less<>>& redefined_builtins() {
    static std::set<std::string, std::less<>> names;
    return names;
}

void reset_process_state() {
    redefined_builtins().clear();
    definitions().clear();
    settled().clear();
    reset_builtin_table();
    reset_classification_caches();
}
