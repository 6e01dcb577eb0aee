// Error record, position codes, report formatting and colouring.
#include "core/report.h"

#include <cstdio>
#include <cstdlib>

const char kDigitAlphabet[65] = "_abcdefghijklmnopqrustvwzxy0123456789ABCDEFGHIJKLMNOPQRUSTVWZXY~";

int DigitValue(unsigned char c) {
    static const auto table = [] {
        struct T {
            signed char v[256];
        } t{};
        for (int i = 0; i < 256; ++i) t.v[i] = -1;
        for (int i = 0; i < 64; ++i) t.v[static_cast<unsigned char>(kDigitAlphabet[i])] = static_cast<signed char>(i);
        return t;
    }();
    return table.v[c];
}

bool IsEmpty(const ErrorRecord& record) { return record.Type == "Empty"; }

std::string PositionCode(int64_t p) {
    if (p == (int64_t{1} << 30)) return "!!!!!";
    if (p < 0 || p > (int64_t{1} << 30)) AssertionFailure("b", __LINE__);
    std::string code(5, '_');
    for (int i = 4; i >= 0; --i) {
        code[i] = kDigitAlphabet[p & 63];
        p >>= 6;
    }
    return code;
}

std::string MakeErrorText(const std::string& type, int64_t position, const std::string& detail) {
    return type + "[" + PositionCode(position) + "]" + detail;
}

std::string FormatReport(const ErrorRecord& record) {
    if (IsEmpty(record)) return "No errors.\n";
    std::string out = "Error.\n Type: " + record.Type + "\n";
    if (!record.Name.empty()) out += " Name: " + record.Name + "\n";
    out += record.Text + "\n\\/\n";
    return out;
}

unsigned char DisplayCode(int kind, unsigned char c) {
    if (c == ' ' || c == '\n') return c;
    if (kind == 3) return c;
    if (kind == 1) return static_cast<unsigned char>(c + 128);
    if (c >= 'a' && c <= 'z') return c == 'j' ? 0 : static_cast<unsigned char>(c - 'a' + 1);
    if (c >= 'A' && c <= 'Z') return c == 'J' ? 0 : static_cast<unsigned char>(c - 'A' + 1);
    switch (c) {
        case ',': return 10;
        case '(': return 27;
        case ')': return 28;
        case '{': return 29;
        case '}': return 30;
        case '[': return 31;
        case '_': return 32;
        case ']': return 255;
        default: break;
    }
    static const char punct[] = "~!@#$%^&*<>-|+/=\\.`'\":;?0123456789";
    for (int i = 0; punct[i]; ++i)
        if (static_cast<unsigned char>(punct[i]) == c) return static_cast<unsigned char>(127 + i);
    InternalFailure("nopqchar");
}

std::string ColourReport(const std::string& text) {
    static const char displayA[] = "~!@#$%^&*<>-|+/=\\.`'\":;?0123456789";
    static const char displayB[] = "]JABCDEFGHI,KLMNOPQRSTUVWXYZ(){}[_";
    enum Class { Plain, High, Code } state = Plain;
    std::string out;
    out.reserve(text.size() + 16);
    for (unsigned char b : text) {
        Class cls;
        char shown;
        if (b == 10 || (b >= 32 && b <= 126)) {
            cls = Plain;
            shown = static_cast<char>(b);
        } else if (b >= 160 && b <= 254) {
            cls = High;
            // 160 has no red form of its own; it shows as the space it stands above.
            shown = static_cast<char>(b - 128);
        } else if (b >= 127 && b <= 159) {
            cls = Code;
            shown = displayA[b - 127];
        } else {
            cls = Code;
            shown = displayB[(b + 1) & 255];
        }
        if (cls != state) {
            out += cls == Plain ? "\x1b[m" : cls == High ? "\x1b[31m" : "\x1b[32m";
            state = cls;
        }
        out += shown;
    }
    if (state != Plain) out += "\x1b[m";
    return out;
}

std::string EscapeName(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : text) {
        if (b == '[' || b == ']' || b == 127 || b < 32 || b > 127) {
            out += '[';
            out += hex[b >> 4];
            out += hex[b & 15];
            out += ']';
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}
