// The stop signals' handler and the ending it leads to.
#include "platform/stop.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/ending.h"

namespace stop_detail {
volatile std::sig_atomic_t signal_number = 0;
}  // namespace stop_detail

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void (*g_trail)() = nullptr;

// A second signal before the first was acted on ends the process at once: a run that has
// stopped polling (a long call, a loop the engines do not count) can still be stopped.
void note_signal(int number) {
    if (stop_detail::signal_number != 0) {
        signal(number, SIG_DFL);
        raise(number);
        return;
    }
    stop_detail::signal_number = number;
}

const char* signal_name(int number) {
    switch (number) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        default: return "a signal";
    }
}

}  // namespace

void install_stop_signals() {
    for (int number : kStopSignals) {
        struct sigaction previous {};
        if (sigaction(number, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = note_signal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;  // no SA_RESTART: a read waiting for input returns instead
        sigaction(number, &action, nullptr);
    }
}

void stop_by_signal() {
    const int number = stop_detail::signal_number;
    flush_all_output();
    if (g_trail) {
        std::string line = std::string("quib: stopped by ") + signal_name(number) + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        g_trail();
    }
    finish_standard_output();
    end_by_signal(number);
}

void set_stop_trail(void (*write_trail)()) { g_trail = write_trail; }

void write_stop_trail() {
    if (g_trail) g_trail();
}
