// The fatal paths: what a failed consistency check prints before the process aborts.
#include "core/check.h"

#include <cstdio>
#include <cstdlib>

void AssertionFailure(const char* source_name, int line) {
    std::fflush(stdout);
    std::fprintf(stderr, "ASSERTION FAILED:%s:%d\n", source_name, line);
    std::fflush(stderr);
    std::abort();
}

void InternalFailure(const char* message) {
    std::printf("REDVFAIL: %s\n", message);
    AssertionFailure("b", __LINE__);
}
