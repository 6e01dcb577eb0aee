// The graph reducer: reduces a closed expression to full normal form.
#pragma once

#include <cstdint>

#include "core/cell.h"

CellRef evaluate(CellRef expression);
// Machine steps taken since the process started (for benchmarks).
uint64_t reduction_steps();
// The exit status of a run stopped by QUIB_STEP_LIMIT; it comes with the report
// "quib: step limit N reached" on standard error.
constexpr int kStepLimitStatus = 125;
// Whether QUIB_STEP_LIMIT sets a limit: steps are the reducer's, so only it can keep one.
bool step_limit_set();
// Substitutes value for the free lambda variable v in body, copying only the paths that lead to it.
CellRef substitute(const CellRef& body, const CellRef& value, char v);
