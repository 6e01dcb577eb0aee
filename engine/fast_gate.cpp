// The static gate between the engines, and the choice that the environment may force.
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/builtins.h"
#include "core/tables.h"
#include "engine/fast.h"
#include "engine/reducer.h"
#include "library/calls.h"

namespace {

// A builtin that sees cells would tell the engines apart: the fast tier builds fewer cells and
// holds other references.
bool is_cell_observer(std::string_view name) {
    const BuiltinEntry* builtin = find_builtin(name);
    return builtin && builtin->sees_cells;
}

enum class Request { Default, Exact, Fast };

// Unused in the fuzzing build, whose target chooses the engine.
[[maybe_unused]] Request requested_engine() {
    const char* value = std::getenv("QUIB_ENGINE");
    if (!value) return Request::Default;
    if (std::strcmp(value, "exact") == 0) return Request::Exact;
    if (std::strcmp(value, "fast") == 0) return Request::Fast;
    return Request::Default;
}

// Unset, the gate decides: every program it lets through has run the same on both engines over
// the suite and the differential fuzzer's long runs.
constexpr bool kGateIsDefault = true;

}  // namespace

// Names cannot be computed at run time, so the names in the reachable bodies are all a program
// can ever call.
bool reaches_cell_observer() {
    const CellRef* main = find_definition("");
    if (!main) return false;
    std::unordered_set<const Cell*> seen;
    std::unordered_set<std::string_view> names_seen;
    std::vector<Cell*> pending{main->get()};
    while (!pending.empty()) {
        Cell* c = pending.back();
        pending.pop_back();
        if (!seen.insert(c).second) continue;
        if (is_pair(c)) {
            pending.push_back(left_of(c));
            pending.push_back(right_of(c));
            continue;
        }
        std::string_view name = atom_bytes(c);
        if (is_cell_observer(name)) return true;
        if (!names_seen.insert(name).second) continue;
        if (const CellRef* body = find_definition(name)) pending.push_back(body->get());
    }
    return false;
}

Engine gate_choice() { return reaches_cell_observer() ? Engine::Exact : Engine::Fast; }

#ifdef QUIB_FUZZING
namespace {
Engine fuzzing_engine = Engine::Exact;
}

void set_fuzzing_engine(Engine engine) { fuzzing_engine = engine; }
#endif

Engine choose_engine() {
#ifdef QUIB_FUZZING
    return fuzzing_engine == Engine::Fast ? gate_choice() : Engine::Exact;
#else
    static const Request request = requested_engine();
    // A run under a step limit keeps the reducer, whose steps the limit counts, even when the
    // tier is asked for: the tier counts no steps, so a loop it compiles would never stop. So does
    // a diagnosing run, whose report names the definitions the reducer entered last.
    if (diagnosing() || step_limit_set()) return Engine::Exact;
    bool gate = request == Request::Fast || (request == Request::Default && kGateIsDefault);
    return gate ? gate_choice() : Engine::Exact;
#endif
}
