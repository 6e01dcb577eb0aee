// How the process ends when what it wrote cannot be delivered or memory runs out: one line on
// standard error and the report status, never an abort.
#pragma once

#include <cstdio>

// The status of every reported failure (the failure word's top bit as the byte's top bit).
constexpr int kReportStatus = 128;

// From now on a failed allocation, of C++ objects, cells (through the new-handler) or GMP
// numbers, flushes the program's output, writes "quib: out of memory" and ends with kReportStatus.
void install_out_of_memory_ending();
[[noreturn]] void end_out_of_memory();

// Flushes standard output, keeping the reason of its first failure; false once any write to
// it has failed.
bool flush_standard_output();
// Standard output first, so that a failure keeps its reason, then every other stream: for an
// ending that skips the C library's own flushing at exit.
void flush_all_output();
// Ends the process by the signal's default action, so that the status names it.
[[noreturn]] void end_by_signal(int number);
// Called after each builtin: a write to standard output that failed inside it leaves its reason.
void remember_output_error();
inline void note_output_error() {
    if (__builtin_expect(ferror_unlocked(stdout) != 0, 0)) remember_output_error();
}
// For every way the process ends: flushes standard output; when that or an earlier write failed,
// writes "quib: error writing standard output: REASON" and returns false (a reader that has gone
// ends the process quietly by SIGPIPE instead, as a pipe's writer does).
bool finish_standard_output();
