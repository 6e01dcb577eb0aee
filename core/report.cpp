// Error record, position codes, report formatting and colouring.
#include "core/report.h"

#include <array>
#include <string_view>

const char kDigitAlphabet[65] = "_abcdefghijklmnopqrustvwzxy0123456789ABCDEFGHIJKLMNOPQRUSTVWZXY~";

int digit_value(unsigned char c) {
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

const char* report_type_name(ReportType type) {
    switch (type) {
        case ReportType::Empty: return "Empty";
        case ReportType::Match: return "Match";
        case ReportType::Comma: return "Comma";
        case ReportType::Built: return "Built";
        case ReportType::Place: return "Place";
        case ReportType::Alive: return "Alive";
        case ReportType::Arity: return "Arity";
        case ReportType::Funky: return "Funky";
        case ReportType::Local: return "Local";
        case ReportType::Cycle: return "Cycle";
        case ReportType::Range: return "Range";
    }
    InternalFailure("reporttype");
}

bool IsEmpty(const ErrorRecord& record) { return record.Type == ReportType::Empty; }

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

std::string MakeErrorText(ReportType type, int64_t position, const std::string& detail) {
    return report_type_name(type) + std::string("[") + PositionCode(position) + "]" + detail;
}

std::string FormatReport(const ErrorRecord& record) {
    if (IsEmpty(record)) return "No errors.\n";
    std::string out = "Error.\n Type: " + std::string(report_type_name(record.Type)) + "\n";
    if (!record.Name.empty()) out += " Name: " + record.Name + "\n";
    out += record.Text + "\n\\/\n";
    return out;
}

namespace {

// The character each code byte stands for in a report, where it shows in green; 0 for bytes
// that are no code. Lower-case letters share their capital's code.
constexpr std::array<char, 256> kCodeShown = [] {
    std::array<char, 256> shown{};
    constexpr std::string_view low = "]JABCDEFGHI,KLMNOPQRSTUVWXYZ(){}[_";  // codes 255, 0, 1, ..., 32
    for (size_t i = 0; i < low.size(); ++i) shown[(i + 255) & 255] = low[i];
    constexpr std::string_view high = "~!@#$%^&*<>-|+/=\\.`'\":;?0123456789";  // codes 127, 128, ...
    for (size_t i = 0; i < high.size(); ++i) shown[127 + i] = high[i];
    return shown;
}();

}  // namespace

unsigned char DisplayCode(int kind, unsigned char c) {
    if (c == ' ' || c == '\n') return c;
    if (kind == 3) return c;
    if (kind == 1) return static_cast<unsigned char>(c + 128);
    char wanted = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    for (int code = 0; code < 256 && wanted != 0; ++code)
        if (kCodeShown[code] == wanted) return static_cast<unsigned char>(code);
    InternalFailure("nopqchar");
}

std::string ColourReport(const std::string& text) {
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
        } else {
            cls = Code;
            shown = kCodeShown[b];
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
