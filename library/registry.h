// The library's side of the builtin table: each module contributes rows of (name, handler);
// names without a row answer "Z".
#pragma once

#include <span>

#include "core/builtins.h"
#include "core/cell.h"

struct BuiltinRow {
    const char* name;
    BuiltinHandler handler;
};

// Rows contributed by each module (names must be in the table of 223).
std::span<const BuiltinRow> language_rows();    // type, tern, leak, raws, rank, loads, stores
std::span<const BuiltinRow> arithmetic_rows();  // plus ... wave, cmpr, real
std::span<const BuiltinRow> binding_rows();     // the C runtime bindings and constants
std::span<const BuiltinRow> socket_rows();      // sockets, name resolution, directories
std::span<const BuiltinRow> text_rows();        // init, rows, lisp, tail

// Common result atoms.
CellRef atom_Z();
CellRef atom_I();
CellRef atom_K();
CellRef atom_H();
inline CellRef boolean(bool b) { return b ? atom_K() : atom_H(); }
