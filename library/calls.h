// What the process knows about builtin calls beyond their results: which builtin is running
// (for the message on a crash inside one) and, when diagnosing, the calls that answered "Z".
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/cell.h"

struct BuiltinEntry;

namespace calls_detail {
extern bool diagnosing;
extern std::atomic<const char*> running;
}  // namespace calls_detail

// Set once at start; hot paths test it before doing any diagnostic work.
inline bool diagnosing() { return calls_detail::diagnosing; }
void set_diagnosing(bool on);

// The builtin whose handler is running, or null; safe to read from a signal handler.
inline const char* running_builtin() { return calls_detail::running.load(std::memory_order_relaxed); }
inline void set_running_builtin(const char* name) { calls_detail::running.store(name, std::memory_order_relaxed); }

// Engines report each definition they enter while diagnosing, so that a call can be traced
// to the definition that most likely made it.
void note_definition_entered(Cell* name_atom);
// The names of the definitions entered last, the most recent first.
std::vector<std::string> recent_definitions();

// One call that answered "Z": the builtin, its application (arguments kept alive), and the
// names of the definitions entered last before it, the most recent first.
struct ZAnswer {
    std::string builtin;
    CellRef application;
    std::vector<std::string> recent_definitions;
};
struct ZAnswerLog {
    std::vector<ZAnswer> first;  // the first few, in order
    ZAnswer last;                // the latest (empty builtin when none)
    uint64_t count = 0;          // all of them
};
const ZAnswerLog& z_answers();

// Calls a handler while diagnosing, noting a "Z" answer.
CellRef invoke_noting_z(const BuiltinEntry& entry, CellRef application);
