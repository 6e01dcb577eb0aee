// The library's side of the builtin table: each module contributes rows of
// (name, arity, handler), the only place a builtin's arity is written.
#pragma once

#include <span>

#include "core/builtins.h"
#include "core/cell.h"
#include "core/values.h"
#include "library/calls.h"
#include "platform/ending.h"

// A handler that gets its arguments unpacked: the application (consumed) and a1..an, borrowed
// from it (args[0] is a1).
using UnpackedHandler = CellRef (*)(CellRef application, Cell* const* args);

template <int Arity, UnpackedHandler Handler>
CellRef unpacking_handler(CellRef application) {
    Cell* args[Arity + 1];
    builtin_args(application.get(), Arity, args);
    return Handler(std::move(application), args);
}

struct BuiltinImpl {
    uint8_t arity;
    BuiltinHandler handler;
    DirectHandler direct = nullptr;
    WordOp word_op = WordOp::None;
    bool sees_cells = false;
};

// A row's arity and handler. The arity is a constant here, so the unpacking costs no more than
// a handler reading its own arguments.
template <int Arity, UnpackedHandler Handler>
constexpr BuiltinImpl builtin{Arity, unpacking_handler<Arity, Handler>};

// A row whose answer on two canonical integers the engines may compute as `op` on machine words.
constexpr BuiltinImpl on_words(BuiltinImpl impl, WordOp op) {
    impl.word_op = op;
    return impl;
}
// A row whose answer depends on cells themselves, so that only the exact reducer may run it.
constexpr BuiltinImpl seeing_cells(BuiltinImpl impl) {
    impl.sees_cells = true;
    return impl;
}

struct BuiltinRow {
    const char* name;
    BuiltinImpl impl;
};

// The one way every engine calls a handler: it marks the builtin as running (for the message
// on a crash inside it), keeps the reason of a failed write to standard output and, when
// diagnosing, notes the calls that answered "Z".
inline CellRef invoke_builtin(const BuiltinEntry& entry, CellRef application) {
    set_running_builtin(entry.name);
    CellRef result = __builtin_expect(diagnosing(), 0) ? invoke_noting_z(entry, std::move(application))
                                                       : entry.handler(std::move(application));
    set_running_builtin(nullptr);
    note_output_error();
    return result;
}

// The same for a C binding called straight from words. Diagnosing notes "Z" answers on the
// redex, so a caller then takes invoke_builtin instead.
inline CellRef invoke_direct(const BuiltinEntry& entry, const WordOrCell* args, int64_t& word) {
    set_running_builtin(entry.name);
    CellRef result = entry.direct(args, word);
    set_running_builtin(nullptr);
    note_output_error();
    return result;
}

// Rows contributed by each module; together they name the 223 builtins, each once.
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
