// Fuzzing support: a large stack per input, and the trace file kept out of /tmp.
#include "tests/fuzz/fuzz_common.h"

#include <pthread.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The targets are linked with --wrap=fopen: the checks' trace file would otherwise grow by a
// line for many inputs, millions of times over.
extern "C" std::FILE* __real_fopen(const char* path, const char* mode);
extern "C" std::FILE* __wrap_fopen(const char* path, const char* mode) {
    if (path && std::strcmp(path, "/tmp/redv.log") == 0) return __real_fopen("/dev/null", mode);
    return __real_fopen(path, mode);
}

namespace {

// Inputs are a few kilobytes, so this is ample; the interpreter's own 8 GB stack would cost
// the sanitizer a gigabyte of shadow to clear after every input.
constexpr size_t kStackBytes = size_t{512} << 20;

void* run_work(void* arg) {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
}

}  // namespace

void RunOnLargeStack(const std::function<void()>& work) {
    pthread_attr_t attr;
    pthread_t thread;
    if (pthread_attr_init(&attr) != 0 || pthread_attr_setstacksize(&attr, kStackBytes) != 0 ||
        pthread_create(&thread, &attr, run_work, const_cast<std::function<void()>*>(&work)) != 0) {
        std::fputs("fuzz: no thread for the input\n", stderr);
        std::abort();
    }
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}
