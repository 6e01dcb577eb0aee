// Shared atoms for the one-letter combinators that the machine and the builtins hand out,
// so that the commonest results cost neither an allocation nor a classification.
#pragma once

#include "core/cell.h"

// The atom of a capital letter 'A'..'Z'.
CellRef letter_atom(char c);
// Forgets the shared atoms (their classification depends on the definitions).
void reset_letter_atoms();
