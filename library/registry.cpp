// The builtin table, filled from the modules' rows.
#include "library/registry.h"

#include "core/atoms.h"

namespace {

CellRef answer_Z(CellRef) { return atom_Z(); }
CellRef reserved(CellRef, Cell* const*) { return atom_Z(); }

// Names kept for the language that nothing implements yet: they answer "Z".
constexpr BuiltinRow kReservedRows[] = {
    {"cats", builtin<2, reserved>}, {"copy", builtin<2, reserved>}, {"cork", builtin<3, reserved>},
    {"into", builtin<3, reserved>}, {"leaf", builtin<1, reserved>}, {"left", builtin<1, reserved>},
    {"look", builtin<2, reserved>}, {"lord", builtin<1, reserved>}, {"lots", builtin<1, reserved>},
    {"rght", builtin<1, reserved>},
};

// Whether a row's handler is left out, so that its name answers "Z". A fuzzing build keeps
// programs away from the outside world and raw memory: the C runtime, socket and directory
// bindings, the loads get*, the stores set* and leak.
bool withheld([[maybe_unused]] std::span<const BuiltinRow> rows, [[maybe_unused]] std::string_view name) {
#ifdef QUIB_FUZZING
    if (rows.data() == binding_rows().data() || rows.data() == socket_rows().data()) return true;
    return name == "leak" || (name.size() == 4 && (name.starts_with("get") || name.starts_with("set")));
#else
    return false;
#endif
}

void fill(BuiltinTable& table) {
    for (auto rows : {language_rows(), arithmetic_rows(), binding_rows(), socket_rows(), text_rows(),
                      std::span<const BuiltinRow>(kReservedRows)}) {
        for (const BuiltinRow& row : rows) {
            bool kept = !withheld(rows, row.name);
            BuiltinEntry entry{row.impl.arity, kept ? row.impl.handler : answer_Z, "", kept ? row.impl.direct : nullptr,
                               row.impl.word_op, row.impl.sees_cells};
            auto [it, added] = table.emplace(row.name, entry);
            QUIB_CHECK(added);
            it->second.name = it->first.c_str();
        }
    }
}

BuiltinTable& table_storage() {
    static BuiltinTable table;
    return table;
}

}  // namespace

BuiltinTable& builtin_table() {
    BuiltinTable& table = table_storage();
    if (table.empty()) fill(table);
    return table;
}

void reset_builtin_table() { table_storage().clear(); }

const BuiltinEntry* find_builtin(std::string_view name) {
    BuiltinTable& table = builtin_table();
    auto it = table.find(name);
    return it == table.end() ? nullptr : &it->second;
}

CellRef atom_Z() { return letter_atom('Z'); }
CellRef atom_I() { return letter_atom('I'); }
CellRef atom_K() { return letter_atom('K'); }
CellRef atom_H() { return letter_atom('H'); }
