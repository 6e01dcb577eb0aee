// (stub, replaced by the arithmetic work)
#include "library/datalist.h"
bool IsEmptyData(const Cell*) { AssertionFailure("b", __LINE__); }
size_t LastElementStart(std::string_view) { AssertionFailure("b", __LINE__); }
std::string LiteralFront(std::string_view) { AssertionFailure("b", __LINE__); }
std::string LiteralLast(std::string_view) { AssertionFailure("b", __LINE__); }
CellRef DataFront(Cell*) { AssertionFailure("b", __LINE__); }
CellRef DataLast(Cell*) { AssertionFailure("b", __LINE__); }
std::string AppendElement(std::string_view, std::string_view) { AssertionFailure("b", __LINE__); }
CellRef FlattenData(Cell*) { AssertionFailure("b", __LINE__); }
std::string ElementText(Cell*) { AssertionFailure("b", __LINE__); }
CellRef MakeListLiteral(std::string_view) { AssertionFailure("b", __LINE__); }
