// The interpreter's large stack: a thread whose stack is reserved large and committed as used.
#pragma once

#include <cstddef>
#include <functional>

constexpr size_t kLargeStackBytes = size_t{8} << 30;
constexpr size_t kOrdinaryStackBytes = size_t{8} << 20;

// Runs work on a thread whose stack of stack_bytes is reserved and committed only as it is
// used; under a limit on the address space, on a smaller one the limit leaves room for (on the
// ordinary stack when no such thread can be had). Returns what work returns.
int run_with_large_stack(const std::function<int()>& work, size_t stack_bytes = kLargeStackBytes);
