// Internal consistency checks: a failed one reports the core source and the line, then aborts.
#pragma once

[[noreturn]] void AssertionFailure(const char* source_name, int line);
[[noreturn]] void InternalFailure(const char* message);

#define QUIB_CHECK(cond)                                                   \
    do {                                                                   \
        if (__builtin_expect(!(cond), 0)) AssertionFailure("b", __LINE__); \
    } while (0)
