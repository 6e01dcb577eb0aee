// Character classes, whitespace normalisation, definable names, tree codes, the character table.
#include "front/chars.h"

#include <cstring>

#include "driver/report.h"

namespace {

constexpr std::string_view kOperatorChars = "{,}~!@#$%^&*<>-|+/=\\.`'\":;?";
constexpr std::string_view kSpaceEaters = "\n #%&'*+,-./:;<=>?@\\^|";

bool IsWhitespace(unsigned char c) { return c == ' ' || c == '\n'; }

bool IsSingleByteName(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 1 && c <= 31) || c >= 127;
}

// A whitespace run between p and n carries no meaning when either side swallows it.
bool RunIsRemoved(unsigned char p, unsigned char n) {
    return IsSpaceEater(p) || IsSpaceEater(n) || p == '{' || p == '(' || p == '}' || n == '}' ||
           n == ')' || n == '{';
}

// The normalised text being written, and optionally where each of its bytes came from.
struct Normalised {
    std::string& out;
    SourceMap* origin;
    size_t base;  // offset of the text being read in the raw text

    void put(char c, size_t at) {
        out.push_back(c);
        if (origin) origin->push_back(static_cast<uint32_t>(base + at));
    }
    // n spaces standing for the n bytes before `end`
    void spaces(size_t n, size_t end) {
        for (size_t k = n; k > 0; --k) put(' ', end - k);
    }
};

// Copies the square group starting at text[i]; a line break vanishes with the spaces before it.
// Returns the index after the group (the end of the text when it is unclosed).
size_t CopySquareGroup(std::string_view text, size_t i, Normalised& out) {
    size_t depth = 0;
    size_t heldSpaces = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == ' ') {
            ++heldSpaces;
            continue;
        }
        if (c == '\n') {
            heldSpaces = 0;
            continue;
        }
        out.spaces(heldSpaces, i);
        heldSpaces = 0;
        out.put(c, i);
        if (c == '[') ++depth;
        if (c == ']' && --depth == 0) return i + 1;
    }
    out.spaces(heldSpaces, i);
    return i;
}

}  // namespace

bool IsSpaceEater(unsigned char c) { return kSpaceEaters.find(static_cast<char>(c)) != std::string_view::npos; }

bool IsOperatorChar(unsigned char c) { return kOperatorChars.find(static_cast<char>(c)) != std::string_view::npos; }

bool IsLowerName(std::string_view name) {
    if (name.empty()) return false;
    for (unsigned char c : name)
        if (!((c >= 'a' && c <= 'z') || c == '_')) return false;
    return true;
}

bool IsDefinableName(std::string_view name) {
    if (IsLowerName(name)) return true;
    if (name.size() == 1) return IsSingleByteName(static_cast<unsigned char>(name[0]));
    return name.size() == 3 && name[0] == '[' && name[2] == ']' && IsOperatorChar(static_cast<unsigned char>(name[1]));
}

std::string ShortSpelling(std::string_view name) {
    if (!IsDefinableName(name)) AssertionFailure("b", __LINE__);
    if (name.size() == 3 && name[0] == '[') return std::string(1, name[1]);
    return std::string(name);
}

std::string NormaliseSpace(std::string_view text, SourceMap* origin) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsWhitespace(text[begin])) ++begin;
    while (end > begin && IsWhitespace(text[end - 1])) --end;
    std::string_view t = text.substr(begin, end - begin);
    std::string result;
    result.reserve(t.size());
    Normalised out{result, origin, begin};
    size_t i = 0;
    while (i < t.size()) {
        unsigned char c = t[i];
        if (c == '[') {
            i = CopySquareGroup(t, i, out);
        } else if (!IsWhitespace(c)) {
            out.put(static_cast<char>(c), i);
            ++i;
        } else {
            // Trimming guarantees a non-whitespace byte on both sides of the run.
            bool hasNewline = false;
            size_t j = i;
            for (; IsWhitespace(t[j]); ++j) hasNewline |= t[j] == '\n';
            if (!RunIsRemoved(t[i - 1], t[j])) out.put(hasNewline ? '\n' : ' ', i);
            i = j;
        }
    }
    return result;
}

std::string TreeCode(int n) {
    if (n < 0 || n > 676) AssertionFailure("b", __LINE__);
    if (n == 0) return "[]";
    int s = 0;
    while ((s + 1) * (s + 1) <= n - 1) ++s;
    int r = n - 1 - s * s;
    int a = r % 2 == 0 ? r / 2 : s;
    int b = r % 2 == 0 ? s : (r - 1) / 2;
    return "[" + TreeCode(a) + TreeCode(b).substr(1);
}

const std::map<std::string, std::string, std::less<>>& CharacterTable() {
    static const std::map<std::string, std::string, std::less<>> table = [] {
        static const char kCharacters[] =
            "0123456789ABCDEF"
            "GHIJKLMNOPQRUSTV"
            "WZXY~!@#$%^&*<>-"
            "|+/=__abcdefghij"
            "klmnopqrustvwzxy"
            "0123456789ABCDEF"
            "GHIJKLMNOPQRUSTV"
            "WZXY~!@#$%^&*<>-"
            "|+/=\\.`'\":;?(){}"
            ",_abcdefghijklmn"
            "opqrustvwzxy0123"
            "456789ABCDEFGHIJ"
            "KLMNOPQRUSTVWZXY"
            "~!@#$%^&*<>-|+/="
            "\\.`'\":;?(){},[]["
            "](){},[]\\.`'\":;?";
        static_assert(sizeof(kCharacters) == 257);
        auto kindOf = [](int i) {
            if (i <= 52) return 2;
            if (i <= 144) return 3;
            if (i <= 238) return 1;
            if (i <= 245) return 2;
            if (i <= 247) return 3;
            return 2;
        };
        std::map<std::string, std::string, std::less<>> t;
        for (int i = 0; i < 256; ++i) {
            unsigned char d = DisplayCode(kindOf(i), static_cast<unsigned char>(kCharacters[i]));
            if (d == '\n' || d == '[' || d == ']') continue;
            std::string code = TreeCode(145 + i);
            std::string shown(1, static_cast<char>(d));
            t[code] = shown;
            t[shown] = code;
        }
        return t;
    }();
    return table;
}

const std::string* CharacterTableFind(std::string_view key) {
    const auto& table = CharacterTable();
    auto it = table.find(key);
    return it == table.end() ? nullptr : &it->second;
}
