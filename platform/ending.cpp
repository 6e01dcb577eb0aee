// Ending on lost output and on exhausted memory. The out-of-memory path allocates nothing: it
// flushes a buffer that exists already and writes with write(2).
#include "platform/ending.h"

#include <gmp.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/files.h"

namespace {

// The errno of standard output's first failed write; 0 when no failure is known or its reason
// was lost (the C library discards the buffer and forgets why).
int g_output_errno = 0;

void write_text(const char* text) { write_all(STDERR_FILENO, text, std::strlen(text)); }

void report_output_error() {
    write_text("quib: error writing standard output");
    if (g_output_errno) {
        write_text(": ");
        write_text(std::strerror(g_output_errno));
    }
    write_text("\n");
}

void* gmp_allocate(size_t size) {
    void* block = std::malloc(size);
    if (!block) end_out_of_memory();
    return block;
}

void* gmp_reallocate(void* block, size_t, size_t size) {
    void* moved = std::realloc(block, size);
    if (!moved) end_out_of_memory();
    return moved;
}

void gmp_free(void* block, size_t) { std::free(block); }

}  // namespace

void install_out_of_memory_ending() {
    std::set_new_handler(end_out_of_memory);
    mp_set_memory_functions(gmp_allocate, gmp_reallocate, gmp_free);
}

void end_out_of_memory() {
    bool delivered = flush_standard_output();
    write_text("quib: out of memory\n");
    if (!delivered && g_output_errno != EPIPE) report_output_error();
    _exit(kReportStatus);
}

bool flush_standard_output() {
    if (std::fflush(stdout) != 0 && g_output_errno == 0) g_output_errno = errno;
    return !std::ferror(stdout);
}

void flush_all_output() {
    flush_standard_output();
    std::fflush(nullptr);
}

void end_by_signal(int number) {
    signal(number, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, number);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(number);
    _exit(128 + number);
}

void remember_output_error() {
    if (g_output_errno == 0) g_output_errno = errno;
}

bool finish_standard_output() {
    if (flush_standard_output()) return true;
    if (g_output_errno == EPIPE) end_by_signal(SIGPIPE);
    report_output_error();
    return false;
}
