// How both engines read the head of an application: what a name calls, how many parameters a
// definition takes, and how much of a spine one contraction takes.
#pragma once

#include <string_view>

#include "core/builtins.h"
#include "core/cell.h"

// The most parameters a definition may have: one below the arity classification reads as unknown.
constexpr int kMaxParameters = 10;
// The longest spine one contraction takes apart, and the reducer rebuilds around an alias.
constexpr int kMaxSpine = 16;

// What a name calls: its builtin, unless the program defined the name itself, and its definition.
struct NameHead {
    const BuiltinEntry* builtin = nullptr;
    const CellRef* definition = nullptr;
};
NameHead name_head(std::string_view name);
// The builtin a name calls, unless the program defined the name itself.
const BuiltinEntry* called_builtin(std::string_view name);
// Whether the reducer contracts the atom as a call of its name's builtin or definition, its
// arguments evaluated first.
bool is_called_name(const Cell* h);
// Whether the atom names a lazy head: the reducer contracts it as a call of its definition as
// soon as it has its arguments, none of them evaluated.
bool is_lazy_name(const Cell* h);
// The value of a parameterless definition in normal form that is no lambda (an operator bound to
// a builtin, say): an over-applied spine with this head is rebuilt around it in one step. Null
// for any other head.
Cell* alias_value(const NameHead& head);
// A definition body's leading lambda nodes, with `inner` set to what follows them; -1 when a
// parameter is not a single letter.
int parameter_count(Cell* body, Cell** inner);
