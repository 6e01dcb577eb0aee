// Whitespace normalisation: the runs of spaces and line breaks a program's meaning ignores.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Whether c swallows the whitespace next to it.
bool IsSpaceEater(unsigned char c);
// Raw-text offset of each byte of a normalised text.
using SourceMap = std::vector<uint32_t>;
// Only space and line feed are whitespace; `origin`, when given, receives the source map.
std::string NormaliseSpace(std::string_view text, SourceMap* origin = nullptr);
