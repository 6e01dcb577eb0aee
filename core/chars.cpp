// Character classes, definable names, tree codes, the character table.
#include "core/chars.h"

#include <cstring>

#include "core/report.h"

namespace {

constexpr std::string_view kOperatorChars = "{,}~!@#$%^&*<>-|+/=\\.`'\":;?";

}  // namespace

bool is_single_byte_name(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 1 && c <= 31) || c >= 127; }

bool is_lambda_variable(std::string_view name) { return name.size() == 1 && name[0] >= 'a' && name[0] <= 'z'; }

bool is_name_atom(std::string_view bytes) {
    if (is_lower_name(bytes)) return true;
    if (bytes.size() != 1) return false;
    unsigned char c = static_cast<unsigned char>(bytes[0]);
    return is_single_byte_name(c) || is_operator_char(c);
}

bool is_operator_char(unsigned char c) { return kOperatorChars.find(static_cast<char>(c)) != std::string_view::npos; }

bool is_lower_name(std::string_view name) {
    if (name.empty()) return false;
    for (unsigned char c : name)
        if (!((c >= 'a' && c <= 'z') || c == '_')) return false;
    return true;
}

bool IsDefinableName(std::string_view name) {
    if (is_lower_name(name)) return true;
    if (name.size() == 1) return is_single_byte_name(static_cast<unsigned char>(name[0]));
    return name.size() == 3 && name[0] == '[' && name[2] == ']' &&
           is_operator_char(static_cast<unsigned char>(name[1]));
}

std::string ShortSpelling(std::string_view name) {
    if (!IsDefinableName(name)) AssertionFailure("b", __LINE__);
    if (name.size() == 3 && name[0] == '[') return std::string(1, name[1]);
    return std::string(name);
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
        auto display_kind = [](int i) {
            if (i <= 52) return 2;
            if (i <= 144) return 3;
            if (i <= 238) return 1;
            if (i <= 245) return 2;
            if (i <= 247) return 3;
            return 2;
        };
        std::map<std::string, std::string, std::less<>> t;
        for (int i = 0; i < 256; ++i) {
            unsigned char d = DisplayCode(display_kind(i), static_cast<unsigned char>(kCharacters[i]));
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

const std::string* character_table_find(std::string_view key) {
    const auto& table = CharacterTable();
    auto it = table.find(key);
    return it == table.end() ? nullptr : &it->second;
}
