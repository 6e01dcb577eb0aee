// The expression parser: normalised text to a cell tree over ten precedence levels.
#pragma once

#include <string_view>

#include "core/cell.h"

CellRef ParseExpression(std::string_view text);
