// The running builtin's mark and the diagnosing log of calls that answered "Z".
#include "library/calls.h"

#include <deque>

#include "core/builtins.h"

namespace calls_detail {
bool diagnosing = false;
std::atomic<const char*> running{nullptr};
}  // namespace calls_detail

namespace {

constexpr size_t kFirstKept = 5;
constexpr size_t kRecentKept = 16;

std::deque<CellRef>& recent_names() {
    static std::deque<CellRef> names;
    return names;
}

ZAnswerLog& log_storage() {
    static ZAnswerLog log;
    return log;
}

}  // namespace

void set_diagnosing(bool on) { calls_detail::diagnosing = on; }

std::vector<std::string> recent_definitions() {
    std::vector<std::string> names;
    for (auto it = recent_names().rbegin(); it != recent_names().rend(); ++it)
        names.emplace_back(atom_bytes(it->get()));
    return names;
}

void note_definition_entered(Cell* name_atom) {
    std::deque<CellRef>& names = recent_names();
    if (!names.empty() && names.back().get() == name_atom) return;
    if (names.size() == kRecentKept) names.pop_front();
    names.emplace_back(name_atom);
}

const ZAnswerLog& z_answers() { return log_storage(); }

CellRef invoke_noting_z(const BuiltinEntry& entry, CellRef application) {
    CellRef kept = application;
    CellRef result = entry.handler(std::move(application));
    if (!atom_is_char(result.get(), 'Z')) return result;
    ZAnswerLog& log = log_storage();
    ZAnswer answer{entry.name, std::move(kept), recent_definitions()};
    if (log.first.size() < kFirstKept) log.first.push_back(answer);
    log.last = std::move(answer);
    ++log.count;
    return result;
}
