// (stub, replaced by the compile work)
#include "compile/translate.h"
std::string LayoutText() { AssertionFailure("b", __LINE__); }
CellRef QuoteExpansion(const CellRef&) { AssertionFailure("b", __LINE__); }
CellRef PairPatternExpansion(const CellRef&) { AssertionFailure("b", __LINE__); }
CellRef Places(const CellRef&) { AssertionFailure("b", __LINE__); }
CellRef BoundLetters(const CellRef&) { AssertionFailure("b", __LINE__); }
CellRef Rename(const CellRef&, const CellRef&, std::string_view) { AssertionFailure("b", __LINE__); }
CellRef References(const CellRef&) { AssertionFailure("b", __LINE__); }
CellRef ListSingleton(const CellRef&) { AssertionFailure("b", __LINE__); }
CellRef ListMerge(const CellRef&, const CellRef&) { AssertionFailure("b", __LINE__); }
bool ListMember(const CellRef&, std::string_view) { AssertionFailure("b", __LINE__); }
size_t ListCount(const CellRef&) { AssertionFailure("b", __LINE__); }
CellRef ListInsert(const CellRef&, const CellRef&) { AssertionFailure("b", __LINE__); }
