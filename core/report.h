// Error record, position codes and the diagnostic report.
#pragma once

#include <cstdint>
#include <string>

#include "core/check.h"

// What a report is about; its name is written only when the report is formatted.
enum class ReportType { Empty, Match, Comma, Built, Place, Alive, Arity, Funky, Local, Cycle, Range };
const char* report_type_name(ReportType type);

struct ErrorRecord {
    std::string Name;
    int64_t Position = -1;
    ReportType Type = ReportType::Empty;
    std::string Text;
};

bool IsEmpty(const ErrorRecord& record);

// Five base-64 digits of p (0 <= p <= 2^30); 2^30 is "!!!!!".
std::string PositionCode(int64_t p);
std::string MakeErrorText(ReportType type, int64_t position, const std::string& detail);
std::string FormatReport(const ErrorRecord& record);
// Marks c (33..126) for display: kind 1 high, 2 code, 3 plain.
unsigned char DisplayCode(int kind, unsigned char c);
std::string ColourReport(const std::string& text);
std::string EscapeName(const std::string& text);

// The base-64 digit alphabet shared by position codes and counted-text lengths.
extern const char kDigitAlphabet[65];
// Value of one digit of the alphabet, or -1.
int digit_value(unsigned char c);
