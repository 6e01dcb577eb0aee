// The result graph in a canonical form that shows structure and sharing, written when
// QUIB_GRAPH names a file, so that two engines' results can be compared cell for cell.
#pragma once

#include <cstdio>

#include "core/cell.h"

// Cells in depth-first order, left before right, one a line: a pair reached for the first time is
// "#N (" (N counts pairs in that order), then its two children; reached again, "^N". An atom is its
// bytes in quotes, other bytes than printable ASCII as \hh: atoms are compared as values.
void write_canonical_graph(std::FILE* out, const Cell* root);
// The file QUIB_GRAPH names, read once; null when the switch is off.
const char* graph_dump_path();
// Writes the graph of root to the switch's file; nothing when the switch is off or the file
// cannot be written (a run's output, status and report never depend on it).
void dump_result_graph(const Cell* root);
