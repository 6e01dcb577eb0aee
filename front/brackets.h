// Bracket matching, partner search and cutting texts at top-level separators.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

bool IsOpener(unsigned char c);
bool IsCloser(unsigned char c);
bool IsBracket(unsigned char c);
const char* BracketName(unsigned char c);
bool MatchBrackets(std::string_view text, std::string& detail, int64_t& position);
size_t SkipBracket(std::string_view text, size_t i);

using SeparatorList = std::deque<size_t>;
SeparatorList SplitTopLevel(std::string_view text, std::string_view separators);
std::string FirstSegment(const SeparatorList& list, std::string_view text);
std::string NextSegment(SeparatorList& list, std::string_view text);
std::string LastSegment(const SeparatorList& list, std::string_view text);
std::string PopSegment(SeparatorList& list, std::string_view text);
