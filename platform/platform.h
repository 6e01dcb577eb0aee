// The interpreter's large stack: a thread whose stack is reserved large and committed as used.
#pragma once

#include <cstddef>
#include <functional>

constexpr size_t kLargeStackBytes = size_t{8} << 30;

// Runs work on a thread whose stack of stack_bytes is reserved and committed only as it is
// used (on the ordinary stack when no such thread can be had); returns what work returns.
int run_with_large_stack(const std::function<int()>& work, size_t stack_bytes = kLargeStackBytes);
