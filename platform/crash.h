// A one-line message instead of a silent crash when a builtin touches memory that is not there.
#pragma once

// Installs handlers for SIGSEGV and SIGBUS with their own stack for the calling thread.
// `culprit` names the builtin running at the fault, or returns null; it is called from the
// signal handler, so it must only read. With no culprit the fault goes to the earlier handler.
void install_crash_message(const char* (*culprit)());
