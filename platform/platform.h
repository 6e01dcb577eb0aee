// The small layer that stands in for the Windows runtime on POSIX.
#pragma once

// Process start-up: binary file mode and the socket layer need nothing here.
void platform_startup();

#include <functional>

// Runs work on a thread whose stack is reserved large and committed only as it is used;
// returns what work returns.
int run_with_large_stack(const std::function<int()>& work);
