// Process-wide tables, each a function-local static created empty on first use.
#include "engine/tables.h"

#include "engine/classify.h"
#include "library/registry.h"

DefinitionTable& definitions() {
    static DefinitionTable table;
    return table;
}

SettledTable& settled() {
    static SettledTable table;
    return table;
}

void reset_process_state() {
    definitions().clear();
    settled().clear();
    reset_builtin_table();
    reset_classification_caches();
}
