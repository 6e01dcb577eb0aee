// Rewriting passes and helpers applied to definitions before a run.
#pragma once

#include <string>

#include "engine/cell.h"

std::string LayoutText();
CellRef QuoteExpansion(const CellRef& body);
CellRef PairPatternExpansion(const CellRef& body);
CellRef Places(const CellRef& body);        // name list
CellRef BoundLetters(const CellRef& body);  // name list
CellRef Rename(const CellRef& body, const CellRef& replacement, std::string_view name);
CellRef References(const CellRef& body);    // name list

// Name lists: sorted atoms ending in the atom "()".
CellRef ListSingleton(const CellRef& x);
CellRef ListMerge(const CellRef& a, const CellRef& b);
bool ListMember(const CellRef& list, std::string_view atom);
size_t ListCount(const CellRef& list);
CellRef ListInsert(const CellRef& list, const CellRef& x);
