// (stub)
#include "engine/reducer.h"
CellRef evaluate(CellRef) { AssertionFailure("b", __LINE__); }
CellRef substitute(const CellRef&, const CellRef&, char) { AssertionFailure("b", __LINE__); }
