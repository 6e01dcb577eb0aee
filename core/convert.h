// Values in function position: a numeral, counted text, real or data value applied to an
// argument becomes the tree of the Prelude's combinators it stands for.
#pragma once

#include "core/cell.h"

// 0 a is K a; any other numeral is ((V s) r), s its first bit, r the numeral of the rest.
CellRef numeral_applied(Cell* numeral, Cell* argument);
// Z for the empty text, the bit tree of a single byte, else the text split at a power of two.
CellRef text_applied(Cell* text);
// The bit tree of the real's 64 bits, applied to the argument.
CellRef real_applied(Cell* real, Cell* argument);
// G takes data apart into front and last element; any other argument walks the J-tree.
CellRef data_applied(Cell* data, Cell* argument);
