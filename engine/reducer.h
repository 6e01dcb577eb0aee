// The graph reducer: reduces a closed expression to full normal form.
#pragma once

#include <cstdint>

#include "core/cell.h"

CellRef evaluate(CellRef expression);
// Machine steps taken since the process started (for benchmarks).
uint64_t reduction_steps();
// Substitutes value for the free lambda variable v in body, copying only the paths that lead to it.
CellRef substitute(const CellRef& body, const CellRef& value, char v);
