// The builtin table: name -> (arity, handler). Only its interface lives here; library/registry.cpp
// fills it from the library modules' rows, so the value model never sees a library header.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "core/cell.h"

// Takes the saturated application (consumed) and returns the result.
using BuiltinHandler = CellRef (*)(CellRef application);

// A C binding's arguments as the fast tier holds them: each a machine word (cell null) or a cell.
struct WordOrCell {
    int64_t word = 0;
    Cell* cell = nullptr;
};
// Calls a C binding without a redex: answers a cell, or null with the answer in `word`.
using DirectHandler = CellRef (*)(const WordOrCell* args, int64_t& word);

// Builtins whose answer on two canonical integers is computed without their numerals.
enum class WordOp : uint8_t { None, Plus, Dash, Mult, Over, Cent, Less, Gteq, Same, Diff };

struct BuiltinEntry {
    uint8_t arity;
    BuiltinHandler handler;
    const char* name = "";  // the table's own key, for messages
    DirectHandler direct = nullptr;  // C bindings only
    WordOp word_op = WordOp::None;
    // The answer depends on cells themselves (addresses, counts, identity, sharing), which the
    // fast tier does not build as the reducer does: a program reaching it runs on the reducer.
    bool sees_cells = false;
};

using BuiltinTable = std::map<std::string, BuiltinEntry, std::less<>>;

// Built on first access and again after a reset.
BuiltinTable& builtin_table();
void reset_builtin_table();
const BuiltinEntry* find_builtin(std::string_view name);

// Borrowed arguments a1..an of an application of arity n (a1 innermost); out[0] is a1.
inline void builtin_args(Cell* application, int n, Cell** out) {
    for (int i = n - 1; i >= 0; --i) {
        out[i] = right_of(application);
        application = left_of(application);
    }
}
