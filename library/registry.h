// The builtin registry: name -> (arity, handler), and the handler protocol.
// Each library module contributes rows; names without a row answer "Z".
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "engine/cell.h"

// Takes the saturated application (consumed) and returns the result.
using BuiltinHandler = CellRef (*)(CellRef application);

struct BuiltinEntry {
    uint8_t arity;
    BuiltinHandler handler;
};

struct BuiltinRow {
    const char* name;
    BuiltinHandler handler;
};

using BuiltinTable = std::map<std::string, BuiltinEntry, std::less<>>;

// The one path by which every engine runs a builtin's handler.
inline CellRef invoke_builtin(const BuiltinEntry& entry, CellRef application) {
    return entry.handler(std::move(application));
}

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

// Rows contributed by each module (names must be in the table of 223).
std::span<const BuiltinRow> language_rows();   // type, tern, leak, raws, rank, loads, stores
std::span<const BuiltinRow> arithmetic_rows(); // plus ... wave, cmpr, real
std::span<const BuiltinRow> binding_rows();    // the C runtime bindings and constants
std::span<const BuiltinRow> socket_rows();     // sockets, name resolution, directories
std::span<const BuiltinRow> text_rows();       // init, rows, lisp, tail

// Common result atoms.
CellRef atom_Z();
CellRef atom_I();
CellRef atom_K();
CellRef atom_H();
inline CellRef boolean(bool b) { return b ? atom_K() : atom_H(); }
