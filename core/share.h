// The structural cell order and the process-wide sharing set built on it.
#pragma once

#include <set>

#include "core/cell.h"

// -1 when a comes first, 0 when equal, 1 when b comes first.
int compare_cells(Cell* a, Cell* b);
struct CellOrder {
    bool operator()(const CellRef& a, const CellRef& b) const { return compare_cells(a.get(), b.get()) < 0; }
};
using SharingSet = std::set<CellRef, CellOrder>;
SharingSet& sharing_set();
// The canonical shared copy of e, inserting what is new.
CellRef share(const CellRef& e);
// Forgets every member.
void empty_sharing_set();
// Keeps only data and fully reduced cells that still want arguments.
void prune_sharing_set();
