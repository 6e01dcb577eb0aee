// The interpreter's large stack.
#include "platform/platform.h"

#include <pthread.h>

#include <cstdlib>
#include <sys/mman.h>

namespace {

struct Job {
    const std::function<int()>* work;
    int result;
};

void* run_job(void* arg) {
    Job* job = static_cast<Job*>(arg);
    job->result = (*job->work)();
    return nullptr;
}

}  // namespace

int run_with_large_stack(const std::function<int()>& work, size_t stack_bytes) {
    void* stack = mmap(nullptr, stack_bytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    // The lowest page stays unmapped so that an overflow faults instead of writing below the stack.
    if (stack != MAP_FAILED) mprotect(stack, 4096, PROT_NONE);
    pthread_attr_t attr;
    pthread_t thread;
    Job job{&work, 0};
    if (stack == MAP_FAILED || pthread_attr_init(&attr) != 0 || pthread_attr_setstack(&attr, stack, stack_bytes) != 0 ||
        pthread_create(&thread, &attr, run_job, &job) != 0)
        return work();  // no large stack to be had: run on the ordinary one
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    munmap(stack, stack_bytes);
    return job.result;
}
