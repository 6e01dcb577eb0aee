// Bracket matching, partner search and cutting texts at top-level separators.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "core/report.h"

bool IsOpener(unsigned char c);
bool IsCloser(unsigned char c);
bool IsBracket(unsigned char c);
const char* BracketName(unsigned char c);
// False, with the Match or Comma report in record, when the brackets of text do not match.
bool MatchBrackets(std::string_view text, ErrorRecord& record);
size_t SkipBracket(std::string_view text, size_t i);

using SeparatorList = std::deque<size_t>;
SeparatorList SplitTopLevel(std::string_view text, std::string_view separators);
std::string FirstSegment(const SeparatorList& list, std::string_view text);
std::string NextSegment(SeparatorList& list, std::string_view text);
std::string LastSegment(const SeparatorList& list, std::string_view text);
std::string PopSegment(SeparatorList& list, std::string_view text);
