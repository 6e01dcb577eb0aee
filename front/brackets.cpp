// Bracket matching of the raw program text, partner search and cutting texts at top-level separators.
#include "front/brackets.h"

#include <vector>

#include "core/chars.h"
#include "core/report.h"

namespace {

constexpr int64_t kLargestCodedPosition = int64_t{1} << 30;

// Texts beyond the coded range still get a report: their positions all read "!!!!!".
int64_t CodedPosition(size_t p) {
    return p > static_cast<size_t>(kLargestCodedPosition) ? kLargestCodedPosition : static_cast<int64_t>(p);
}

bool fail_at(ReportType type, size_t at, const std::string& detail, ErrorRecord& record) {
    record.Type = type;
    record.Position = static_cast<int64_t>(at);
    record.Text = MakeErrorText(type, CodedPosition(at), detail);
    return false;
}

bool pairs_of(unsigned char opener, unsigned char closer) {
    return (opener == '(' && closer == ')') || (opener == '[' && closer == ']') || (opener == '{' && closer == '}');
}

// Pass 1: every closer meets an opener of its kind; square groups are opaque.
bool check_pairs(std::string_view text, ErrorRecord& record) {
    std::vector<size_t> open;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = text[i];
        if (!open.empty() && text[open.back()] == '[') {
            if (c == '[') open.push_back(i);
            if (c == ']') open.pop_back();
            continue;
        }
        if (IsOpener(c)) {
            open.push_back(i);
        } else if (IsCloser(c)) {
            if (open.empty())
                return fail_at(ReportType::Match, i, std::string("Left dangling ") + BracketName(c) + ".", record);
            size_t top = open.back();
            if (!pairs_of(text[top], c))
                return fail_at(ReportType::Match, top,
                               std::string("Doesn't fit '") + static_cast<char>(c) + "' at [" +
                                   PositionCode(CodedPosition(i)) + "].",
                               record);
            open.pop_back();
        }
    }
    if (!open.empty())
        return fail_at(ReportType::Match, open.back(),
                       std::string("Right dangling ") + BracketName(text[open.back()]) + ".", record);
    return true;
}

// A comma-holding parenthesis is a call list only where the parser makes it one: as a later
// piece of a tight word, right after a name, numeral, lone byte or closed group. After "(",
// "{", "}" or a unary operator it starts a word, where its commas would be glued into atoms
// that name nothing.
bool opens_call_list(std::string_view text, size_t i) {
    if (i == 0) return false;
    unsigned char before = text[i - 1];
    if (before == ')' || before == ']') return true;
    return !is_operator_char(before) && !IsBracket(before) && before != ' ' && before != '\n';
}

// Pass 2, backward: a parenthesis holding a top-level comma must be a call list.
bool check_commas(std::string_view text, ErrorRecord& record) {
    std::vector<size_t> marks;  // closers, and for a parenthesis its leftmost comma so far
    for (size_t i = text.size(); i-- > 0;) {
        unsigned char c = text[i];
        if (c == ']') {
            i = SkipBracket(text, i);
        } else if (c == ')' || c == '}') {
            marks.push_back(i);
        } else if (c == ',') {
            if (marks.empty() || text[marks.back()] == '}') continue;
            if (text[marks.back()] == ')')
                marks.push_back(i);
            else
                marks.back() = i;
        } else if (c == '{') {
            QUIB_CHECK(!marks.empty());
            marks.pop_back();
        } else if (c == '(') {
            QUIB_CHECK(!marks.empty());
            if (text[marks.back()] == ',') {
                if (!opens_call_list(text, i))
                    return fail_at(ReportType::Comma, marks.back(),
                                   "Comma encountered in parenthesization which is not a call list.", record);
                marks.pop_back();
            }
            marks.pop_back();
        }
    }
    return true;
}

}  // namespace

bool IsOpener(unsigned char c) { return c == '(' || c == '[' || c == '{'; }
bool IsCloser(unsigned char c) { return c == ')' || c == ']' || c == '}'; }
bool IsBracket(unsigned char c) { return IsOpener(c) || IsCloser(c); }

const char* BracketName(unsigned char c) {
    if (c == '(' || c == ')') return "parenthesis";
    if (c == '[' || c == ']') return "bracket";
    if (c == '{' || c == '}') return "wing";
    AssertionFailure("b", __LINE__);
}

bool MatchBrackets(std::string_view text, ErrorRecord& record) {
    return check_pairs(text, record) && check_commas(text, record);
}

size_t SkipBracket(std::string_view text, size_t i) {
    QUIB_CHECK(i < text.size());
    unsigned char c = text[i];
    if (!IsBracket(c)) return i;
    const bool forward = IsOpener(c);
    const bool square = c == '[' || c == ']';
    int64_t depth = 0;
    for (;;) {
        QUIB_CHECK(i < text.size());
        unsigned char b = text[i];
        int step = 0;
        if (square) {
            step = b == '[' ? 1 : b == ']' ? -1 : 0;
        } else if (b == '[' || b == ']') {
            // Meeting a square group from its far side means the walk started inside it.
            QUIB_CHECK((b == '[') == forward);
            i = SkipBracket(text, i);
        } else {
            step = (b == '(' || b == '{') ? 1 : (b == ')' || b == '}') ? -1 : 0;
        }
        depth += forward ? step : -step;
        QUIB_CHECK(depth >= 0);
        if (depth == 0) return i;
        // Walking off either end wraps i past the text and fails the check above.
        i = forward ? i + 1 : i - 1;
    }
}

SeparatorList SplitTopLevel(std::string_view text, std::string_view separators) {
    SeparatorList list;
    for (size_t i = 0; i < text.size(); i = SkipBracket(text, i) + 1)
        if (separators.find(text[i]) != std::string_view::npos) list.push_back(i);
    return list;
}

std::string FirstSegment(const SeparatorList& list, std::string_view text) {
    return std::string(list.empty() ? text : text.substr(0, list.front()));
}

std::string NextSegment(SeparatorList& list, std::string_view text) {
    QUIB_CHECK(!list.empty());
    size_t begin = list.front() + 1;
    list.pop_front();
    size_t end = list.empty() ? text.size() : list.front();
    return std::string(text.substr(begin, end - begin));
}

std::string LastSegment(const SeparatorList& list, std::string_view text) {
    if (list.empty()) return std::string(text);
    return std::string(text.substr(SkipBracket(text, list.back()) + 1));
}

std::string PopSegment(SeparatorList& list, std::string_view text) {
    QUIB_CHECK(!list.empty());
    size_t end = list.back();
    list.pop_back();
    size_t begin = list.empty() ? 0 : SkipBracket(text, list.back()) + 1;
    return std::string(text.substr(begin, end - begin));
}
