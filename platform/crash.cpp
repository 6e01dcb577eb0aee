// SIGSEGV and SIGBUS inside a builtin: one line naming it and the address, then the signal's
// own ending, so the status stays what a shell expects. Only async-signal-safe calls here.
#include "platform/crash.h"

#include <signal.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#if defined(__linux__) && defined(__x86_64__)
#include <ucontext.h>
#endif

namespace {

const char* (*g_culprit)() = nullptr;
struct sigaction g_previous_segv;
struct sigaction g_previous_bus;

constexpr size_t kAlternateStackBytes = 64 * 1024;
alignas(16) char g_alternate_stack[kAlternateStackBytes];

// Appends text at out[at], never past the end; returns the new length.
size_t append(char* out, size_t size, size_t at, const char* text) {
    while (*text && at < size) out[at++] = *text++;
    return at;
}

size_t append_hex(char* out, size_t size, size_t at, uintptr_t value) {
    char digits[2 + 2 * sizeof value + 1];
    char* p = digits + sizeof digits;
    *--p = 0;
    do {
        *--p = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    } while (value);
    *--p = 'x';
    *--p = '0';
    return append(out, size, at, p);
}

// "read", "wrote", or "used" when the fault does not say.
const char* access_verb([[maybe_unused]] void* context) {
#if defined(__linux__) && defined(__x86_64__)
    // Bit 1 of the page-fault error code is set for a write.
    const auto* uc = static_cast<const ucontext_t*>(context);
    return (uc->uc_mcontext.gregs[REG_ERR] & 2) ? "wrote" : "read";
#else
    return "used";
#endif
}

void on_fault(int signal, siginfo_t* info, void* context) {
    const char* name = g_culprit ? g_culprit() : nullptr;
    bool fault = info->si_code > 0;  // not sent by raise or kill
    if (!name || !fault) {
        // Not ours to explain: the earlier handler takes the signal again, a fault by
        // running into it once more, a sent signal by sending it anew.
        sigaction(signal, signal == SIGBUS ? &g_previous_bus : &g_previous_segv, nullptr);
        if (!fault) raise(signal);
        return;
    }
    // A protection fault on an address the machine cannot even form reports no address.
    bool address_known = info->si_code != SI_KERNEL;
    char line[256];
    constexpr size_t room = sizeof line - 1;  // the line feed always fits
    size_t n = append(line, room, 0, "quib: ");
    n = append(line, room, n, name);
    n = append(line, room, n, " ");
    n = append(line, room, n, address_known ? access_verb(context) : "used");
    n = append(line, room, n, " an invalid address");
    if (address_known) {
        n = append(line, room, n, " ");
        n = append_hex(line, room, n, reinterpret_cast<uintptr_t>(info->si_addr));
    }
    line[n++] = '\n';
    ssize_t written = write(STDERR_FILENO, line, n);
    (void)written;
    // Back to the default action: the faulting access runs again and ends the process by the signal.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(signal, &fallback, nullptr);
}

}  // namespace

void install_crash_message(const char* (*culprit)()) {
    g_culprit = culprit;
    // A thread may have its own alternate stack already (a sanitizer's runtime sets one and
    // frees it when the thread ends); only one without gets ours.
    stack_t current;
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE)) {
        stack_t stack{};
        stack.ss_sp = g_alternate_stack;
        stack.ss_size = sizeof g_alternate_stack;
        sigaltstack(&stack, nullptr);
    }
    struct sigaction action {};
    action.sa_sigaction = on_fault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, &g_previous_segv);
    sigaction(SIGBUS, &action, &g_previous_bus);
}
