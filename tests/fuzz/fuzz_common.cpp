// Fuzzing support: a large stack per input, and the trace file kept out of /tmp.
#include "tests/fuzz/fuzz_common.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"

// The targets are linked with --wrap=fopen: the checks' trace file would otherwise grow by a
// line for many inputs, millions of times over.
extern "C" std::FILE* __real_fopen(const char* path, const char* mode);
extern "C" std::FILE* __wrap_fopen(const char* path, const char* mode) {
    if (path && std::strcmp(path, "/tmp/redv.log") == 0) return __real_fopen("/dev/null", mode);
    return __real_fopen(path, mode);
}

// Inputs are a few kilobytes, so this is ample; the interpreter's own 8 GB stack would cost
// the sanitizer a gigabyte of shadow to clear after every input.
void RunOnLargeStack(const std::function<void()>& work) {
    run_with_large_stack(
        [&work] {
            work();
            return 0;
        },
        size_t{512} << 20);
}
