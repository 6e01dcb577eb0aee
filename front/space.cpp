// Whitespace normalisation: the runs of spaces and line breaks a program's meaning ignores.
#include "front/space.h"

namespace {

constexpr std::string_view kSpaceEaters = "\n #%&'*+,-./:;<=>?@\\^|";

bool is_whitespace(unsigned char c) { return c == ' ' || c == '\n'; }

// A whitespace run between p and n carries no meaning when either side swallows it.
bool run_is_removed(unsigned char p, unsigned char n) {
    return IsSpaceEater(p) || IsSpaceEater(n) || p == '{' || p == '(' || p == '}' || n == '}' || n == ')' || n == '{';
}

// Copies the square group starting at text[i]; a line break vanishes with the spaces before it.
// Returns the index after the group (the end of the text when it is unclosed).
size_t copy_square_group(std::string_view text, size_t i, std::string& out) {
    size_t depth = 0;
    size_t held_spaces = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == ' ') {
            ++held_spaces;
            continue;
        }
        if (c == '\n') {
            held_spaces = 0;
            continue;
        }
        out.append(held_spaces, ' ');
        held_spaces = 0;
        out.push_back(c);
        if (c == '[') ++depth;
        if (c == ']' && --depth == 0) return i + 1;
    }
    out.append(held_spaces, ' ');
    return i;
}

}  // namespace

bool IsSpaceEater(unsigned char c) { return kSpaceEaters.find(static_cast<char>(c)) != std::string_view::npos; }

std::string NormaliseSpace(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && is_whitespace(text[begin])) ++begin;
    while (end > begin && is_whitespace(text[end - 1])) --end;
    std::string_view t = text.substr(begin, end - begin);
    std::string out;
    out.reserve(t.size());
    size_t i = 0;
    while (i < t.size()) {
        unsigned char c = t[i];
        if (c == '[') {
            i = copy_square_group(t, i, out);
        } else if (!is_whitespace(c)) {
            out.push_back(static_cast<char>(c));
            ++i;
        } else {
            // Trimming guarantees a non-whitespace byte on both sides of the run.
            bool has_newline = false;
            size_t j = i;
            for (; is_whitespace(t[j]); ++j) has_newline |= t[j] == '\n';
            if (!run_is_removed(t[i - 1], t[j])) out.push_back(has_newline ? '\n' : ' ');
            i = j;
        }
    }
    return out;
}
