// The diagnostic lines: positions as file:line:column, load warnings, and the calls that answered Z.
#include "driver/diagnostics.h"

#include <algorithm>
#include <optional>
#include <set>
#include <unordered_set>
#include <vector>

#include "core/builtins.h"
#include "core/printer.h"
#include "core/tables.h"
#include "library/calls.h"

namespace {

constexpr size_t kArgumentShown = 24;
constexpr size_t kTrailShown = 5;

struct Lines {
    std::string_view file;
    std::string_view text;
    std::string out;

    // "file:line:column" of a raw-text offset; columns count bytes from 1.
    std::string place(size_t position) const {
        position = std::min(position, text.size());
        size_t line = 1, line_start = 0;
        for (size_t i = 0; i < position; ++i) {
            if (text[i] != '\n') continue;
            ++line;
            line_start = i + 1;
        }
        return std::string(file) + ":" + std::to_string(line) + ":" + std::to_string(position - line_start + 1);
    }
    void add(const std::string& message) { out += "quib: " + message + "\n"; }
    void add_at(size_t position, const std::string& message) { add(place(position) + ": " + message); }
};

// Every "[ddddd]" position code in a report text, in order.
std::vector<std::pair<std::string, int64_t>> position_codes(const std::string& text) {
    std::vector<std::pair<std::string, int64_t>> codes;
    for (size_t i = 0; i + 7 <= text.size(); ++i) {
        if (text[i] != '[' || text[i + 6] != ']') continue;
        int64_t p = 0;
        bool valid = true;
        for (size_t k = 1; k <= 5 && valid; ++k) {
            int d = digit_value(static_cast<unsigned char>(text[i + k]));
            valid = d >= 0;
            p = p * 64 + d;
        }
        if (valid) codes.emplace_back(text.substr(i, 7), p);
    }
    return codes;
}

// The names a builtin is called by: its own and those of definitions that are only its name ("+").
std::set<std::string, std::less<>> call_names(const std::string& builtin) {
    std::set<std::string, std::less<>> names{builtin};
    each_definition([&](const std::string& key, const CellRef& body) {
        if (body && atom_is(body.get(), builtin)) names.insert(key);
        return true;
    });
    return names;
}

bool mentions(const CellRef& body, const std::set<std::string, std::less<>>& names) {
    if (!body) return false;
    std::vector<const Cell*> pending{body.get()};
    std::unordered_set<const Cell*> seen;
    while (!pending.empty()) {
        const Cell* c = pending.back();
        pending.pop_back();
        if (!seen.insert(c).second) continue;
        if (is_atom(c)) {
            if (names.count(atom_bytes(c))) return true;
            continue;
        }
        pending.push_back(left_of(c));
        pending.push_back(right_of(c));
    }
    return false;
}

std::string shorten(std::string text) {
    if (text.size() > kArgumentShown) text = text.substr(0, kArgumentShown - 3) + "...";
    return text;
}

// "strlen 2": the builtin and its arguments printed short.
std::string call_text(const ZAnswer& answer) {
    std::string text = answer.builtin;
    const BuiltinEntry* entry = find_builtin(answer.builtin);
    if (!entry || !answer.application) return text;
    Cell* args[8];
    builtin_args(answer.application.get(), entry->arity, args);
    for (int i = 0; i < entry->arity; ++i) text += " " + shorten(printExpression(CellRef(args[i])));
    return text;
}

class ZLines {
public:
    explicit ZLines(const SourceNotes& notes) : notes_(notes) {}

    // The call and, when one can be found, the definition whose body made it: the latest one
    // entered that mentions the builtin, else the main expression when it does.
    void add(Lines& lines, const ZAnswer& answer, const std::string& message) const {
        std::set<std::string, std::less<>> names = call_names(answer.builtin);
        for (const std::string& name : answer.recent_definitions) {
            if (names.count(name) || !mentions(body_of(name), names)) continue;
            std::string said = message + " (in the body of " + name + ")";
            auto start = notes_.definition_starts.find(name);
            if (start == notes_.definition_starts.end())
                lines.add(said);
            else
                lines.add_at(start->second, said);
            return;
        }
        if (mentions(notes_.main, names))
            lines.add_at(notes_.main_start, message + " (in the main expression)");
        else
            lines.add(message);
    }

private:
    const SourceNotes& notes_;

    static CellRef body_of(const std::string& name) {
        const CellRef* body = find_definition(name);
        return body ? *body : CellRef();
    }
};

void report_lines(Lines& lines, const ErrorRecord& record, const SourceNotes& notes, const ZLines& z) {
    if (IsEmpty(record)) return;
    if (record.Type == ReportType::Match || record.Type == ReportType::Comma)
        for (const auto& [code, p] : position_codes(record.Text))
            lines.add_at(static_cast<size_t>(p), code + " in the report");
    if (record.Definition) {
        const std::string& key = *record.Definition;
        auto start = notes.definition_starts.find(key);
        if (key.empty())
            lines.add_at(notes.main_start, "the main expression starts here");
        else if (start != notes.definition_starts.end())
            lines.add_at(start->second, "definition " + key + " starts here");
    }
    const ZAnswerLog& log = z_answers();
    if (record.Type == ReportType::Range && record.Name == "Z" && log.count > 0)
        z.add(lines, log.last, "the Z may come from the last call that answered Z: " + call_text(log.last));
}

}  // namespace

std::string warning_lines(std::string_view file, std::string_view text, const SourceNotes& notes) {
    Lines lines{file, text, {}};
    std::vector<std::pair<size_t, std::string>> warnings = notes.warnings;
    std::stable_sort(warnings.begin(), warnings.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [position, message] : warnings) lines.add_at(position, "warning: " + message);
    return ColourReport(lines.out);
}

// The program's own definitions among those entered last: the Prelude's say nothing of where it is.
std::string trail_lines(std::string_view file, std::string_view text, const SourceNotes& notes) {
    Lines lines{file, text, {}};
    std::vector<std::string> shown;
    for (const std::string& name : recent_definitions()) {
        if (shown.size() == kTrailShown) break;
        if (!notes.definition_starts.count(name)) continue;
        if (std::find(shown.begin(), shown.end(), name) == shown.end()) shown.push_back(name);
    }
    if (shown.empty()) return {};
    lines.add("the definitions entered last, the latest first:");
    for (const std::string& name : shown) lines.add_at(notes.definition_starts.find(name)->second, name);
    return ColourReport(lines.out);
}

std::string diagnostic_lines(std::string_view file, std::string_view text, const SourceNotes& notes,
                             const ErrorRecord& record) {
    Lines lines{file, text, {}};
    ZLines z(notes);
    report_lines(lines, record, notes, z);
    const ZAnswerLog& log = z_answers();
    for (const ZAnswer& answer : log.first) z.add(lines, answer, call_text(answer) + " answered Z");
    if (log.count > log.first.size())
        lines.add(std::to_string(log.count - log.first.size()) + " more builtin calls answered Z");
    return ColourReport(lines.out);
}
