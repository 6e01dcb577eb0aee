// Whitespace normalisation: the runs of spaces and line breaks a program's meaning ignores.
#pragma once

#include <string>
#include <string_view>

// Whether c swallows the whitespace next to it.
bool IsSpaceEater(unsigned char c);
std::string NormaliseSpace(std::string_view text);
