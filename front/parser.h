// The expression parser: normalised text to a cell tree over ten precedence levels.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/cell.h"

CellRef ParseExpression(std::string_view text);
// Bytes the scans for separators have visited since the process started; a group skipped as a
// whole counts once, so nesting that rescans groups shows as more than linear growth.
uint64_t parser_top_level_visits();
