// Calls a builtin as the reducer does: the handler gets the only reference to a fresh
// application of the name to the arguments (the first argument innermost).
#pragma once

#include <vector>

#include <gtest/gtest.h>

#include "library/registry.h"

inline CellRef call_builtin(const char* name, std::vector<CellRef> args) {
    const BuiltinEntry* entry = find_builtin(name);
    EXPECT_NE(entry, nullptr) << name;
    if (!entry) return CellRef::atom("Z");
    EXPECT_EQ(entry->arity, args.size()) << name;
    CellRef application = CellRef::atom(name);
    for (CellRef& a : args) application = apply(std::move(application), std::move(a));
    return entry->handler(std::move(application));
}

// The arguments are moved in one by one, so that the handler sees exactly the references
// the caller gave up.
template <typename... Args>
CellRef call_builtin(const char* name, Args... args) {
    std::vector<CellRef> list;
    (list.push_back(std::move(args)), ...);
    return call_builtin(name, std::move(list));
}
