// Rewriting passes and helpers applied to definitions before a run.
// Every walk here is iterative: definition bodies may nest a million levels deep.
#pragma once

#include <map>
#include <set>
#include <string>

#include "core/cell.h"

// The C structure layouts programs read under the name "_".
std::string LayoutText();
CellRef QuoteExpansion(const CellRef& body);
CellRef PairPatternExpansion(const CellRef& body);
CellRef Places(const CellRef& body);        // name list
CellRef BoundLetters(const CellRef& body);  // name list
CellRef Rename(const CellRef& body, const CellRef& replacement, std::string_view name);
CellRef References(const CellRef& body);  // name list

// Name lists: sorted atoms ending in the atom "()".
CellRef ListSingleton(const CellRef& x);
CellRef ListMerge(const CellRef& a, const CellRef& b);
bool ListMember(const CellRef& list, std::string_view atom);
size_t ListCount(const CellRef& list);
CellRef ListInsert(const CellRef& list, const CellRef& x);

// The same collections as ordered sets of texts, for the checks (bytewise order, as the lists).
using NameSet = std::set<std::string, std::less<>>;
struct Binders {
    NameSet places;   // binder keys that are not lambda variables
    NameSet letters;  // lambda variables in binder positions
};
Binders CollectBinders(const CellRef& body);
NameSet ReferenceNames(const CellRef& body);
CellRef NameList(const NameSet& names);
// One pass of Rename for several names at once: each atom whose bytes are a key becomes its atom.
using Renaming = std::map<std::string, CellRef, std::less<>>;
CellRef RenameAll(const CellRef& body, const Renaming& renaming);
// Whether an atom's bytes would be looked up as a definition (the references collection).
bool IsReferenceName(std::string_view text);
