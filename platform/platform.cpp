// The interpreter's large stack.
#include "platform/platform.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <sys/mman.h>
#include <sys/resource.h>

namespace {

struct Job {
    const std::function<int()>* work;
    int result;
    sigset_t mask;  // the starting thread's own
};

void* run_job(void* arg) {
    Job* job = static_cast<Job*>(arg);
    pthread_sigmask(SIG_SETMASK, &job->mask, nullptr);
    job->result = (*job->work)();
    return nullptr;
}

// The address space the process maps now (VmSize), or 0 when it cannot be read.
size_t mapped_bytes() {
    int fd = open("/proc/self/statm", O_RDONLY);
    if (fd < 0) return 0;
    char text[64] = {};
    ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return 0;
    return std::strtoull(text, nullptr, 10) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Under a limit on the address space (ulimit -v) the stack takes at most an eighth of what is
// left, so that the heap keeps most of it; without one, the whole wish.
size_t affordable_stack_bytes(size_t wanted) {
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return wanted;
    size_t used = mapped_bytes();
    size_t room = limit.rlim_cur > used ? limit.rlim_cur - used : 0;
    return std::min(wanted, room / 8 & ~size_t{4095});
}

// What the waiting thread blocks: every signal but those a fault raises in the thread itself.
sigset_t signals_sent() {
    sigset_t sent;
    sigfillset(&sent);
    for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS}) sigdelset(&sent, fault);
    return sent;
}

// The largest stack of at most `bytes`, halving down to the ordinary stack's size in case the
// limit counts differently from how it was measured; null when not even that can be mapped.
void* map_stack(size_t& bytes) {
    for (; bytes >= kOrdinaryStackBytes; bytes /= 2) {
        void* stack = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
        if (stack != MAP_FAILED) return stack;
    }
    return nullptr;
}

}  // namespace

int run_with_large_stack(const std::function<int()>& work, size_t stack_bytes) {
    stack_bytes = affordable_stack_bytes(stack_bytes);
    void* stack = map_stack(stack_bytes);
    if (!stack) return work();  // no more than the ordinary stack to be had: run on that
    // The lowest page stays unmapped so that an overflow faults instead of writing below the stack.
    mprotect(stack, 4096, PROT_NONE);
    pthread_attr_t attr;
    pthread_t thread;
    Job job{&work, 0, {}};
    // Signals sent to the process go to the working thread, so that one that stops the run
    // also interrupts a call the work waits in; the new thread starts with them blocked too,
    // and unblocks them first.
    const sigset_t sent = signals_sent();
    pthread_sigmask(SIG_BLOCK, &sent, &job.mask);
    bool started = false;
    if (pthread_attr_init(&attr) == 0) {
        started =
            pthread_attr_setstack(&attr, stack, stack_bytes) == 0 && pthread_create(&thread, &attr, run_job, &job) == 0;
        if (started) pthread_join(thread, nullptr);
        pthread_attr_destroy(&attr);
    }
    pthread_sigmask(SIG_SETMASK, &job.mask, nullptr);
    munmap(stack, stack_bytes);
    return started ? job.result : work();
}
