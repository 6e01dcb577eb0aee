// The fast tier: definition bodies compiled once and run with parameters in frames and small
// integers unboxed, beside the exact reducer, which takes over whatever the tier does not compile.
#pragma once

#include <cstdint>

#include "core/cell.h"

// Whether the program, from its main expression through the definition table, reaches a
// builtin that sees cells themselves (addresses and counts, identity, canonical sharing).
// Only the exact reducer may run such a program.
bool reaches_cell_observer();

enum class Engine { Exact, Fast };
// The engine the gate gives the loaded, checked program.
Engine gate_choice();
// QUIB_ENGINE=exact or fast, read once; fast still leaves the programs the gate keeps to the
// exact reducer. Any other value, or none, is the default.
Engine choose_engine();
#ifdef QUIB_FUZZING
// The fuzzing build runs the engine its target asks for (the reducer until then); both give up
// after a budget of work, as a cycle on the empty name.
void set_fuzzing_engine(Engine engine);
#endif

// What evaluate(I (main argument)) gives: the normal form, or the cycle mark.
CellRef fast_evaluate(const CellRef& main, CellRef argument);

// Work done by the fast tier since the process started, for tests and measurements.
struct FastCounters {
    uint64_t calls = 0;      // compiled definition calls
    uint64_t handovers = 0;  // subterms given to the exact reducer
    uint64_t numerals = 0;   // integers beyond a machine word written as decimal text
};
const FastCounters& fast_counters();
