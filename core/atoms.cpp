// Shared combinator atoms, rebuilt after every reset of the process-wide state.
#include "core/atoms.h"

#include <array>

namespace {

std::array<CellRef, 26>& letters() {
    static std::array<CellRef, 26> atoms;
    return atoms;
}

}  // namespace

CellRef letter_atom(char c) {
    QUIB_CHECK(c >= 'A' && c <= 'Z');
    CellRef& slot = letters()[c - 'A'];
    if (!slot) {
        char name[2] = {c, 0};
        slot = CellRef::atom(name);
    }
    return slot;
}

void reset_letter_atoms() {
    for (CellRef& slot : letters()) slot = CellRef();
}
