// Stopping a run on SIGINT, SIGTERM and SIGHUP: the handler only notes the signal, and the
// engines poll the note where they count steps, so the ending runs outside the handler.
#pragma once

#include <csignal>

namespace stop_detail {
extern volatile std::sig_atomic_t signal_number;
}  // namespace stop_detail

// Catches the three signals, except one that came in ignored (nohup, a background job).
// Blocking calls are not restarted, so a run waiting for input also sees the signal.
void install_stop_signals();

// Flushes every output stream, writes the trail when one is set, and ends the process by the
// signal noted, so that its status says which one.
[[noreturn]] void stop_by_signal();
inline void poll_stop_signal() {
    if (__builtin_expect(stop_detail::signal_number != 0, 0)) stop_by_signal();
}

// What a run cut short (by a signal or a limit) writes on standard error before it ends: set
// while diagnosing, null otherwise. It is called outside any signal handler.
void set_stop_trail(void (*write_trail)());
void write_stop_trail();
