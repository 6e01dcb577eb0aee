// (stub, replaced by the compile work)
#include "compile/printer.h"
std::string printExpression(const CellRef&) { AssertionFailure("b", __LINE__); }
std::string printResult(const CellRef&) { AssertionFailure("b", __LINE__); }
std::string DisplayForm(std::string_view) { AssertionFailure("b", __LINE__); }
