// Rewriting passes and helpers applied to definitions before a run.
// Every walk here is iterative: definition bodies may nest a million levels deep.
#pragma once

#include <map>
#include <set>
#include <string>

#include "core/cell.h"

// The C structure layouts programs read under the name "_".
std::string layout_text();
CellRef quote_expansion(const CellRef& body);
CellRef pair_pattern_expansion(const CellRef& body);

// Binder keys and referenced names as ordered sets of texts (bytewise order).
using NameSet = std::set<std::string, std::less<>>;
struct Binders {
    NameSet places;   // binder keys that are not lambda variables
    NameSet letters;  // lambda variables in binder positions
};
Binders collect_binders(const CellRef& body);
NameSet reference_names(const CellRef& body);
// Each atom whose bytes are a key becomes its atom, whatever scope it stands in.
using Renaming = std::map<std::string, CellRef, std::less<>>;
CellRef rename_all(const CellRef& body, const Renaming& renaming);
// Whether an atom's bytes would be looked up as a definition (the references collection).
bool is_reference_name(std::string_view text);
