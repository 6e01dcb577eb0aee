// Character classes, definable names, tree codes, the character table.
#pragma once

#include <map>
#include <string>
#include <string_view>

bool IsDefinableName(std::string_view name);
// The key a definable name is stored under ("[+]" -> "+"); aborts for a name that is not definable.
std::string ShortSpelling(std::string_view name);
// The bracket text of n (0 <= n <= 676).
std::string TreeCode(int n);
// Both directions in one map: tree code -> one-byte display text and back.
const std::map<std::string, std::string, std::less<>>& CharacterTable();
// Lookup in the character table; null when absent.
const std::string* CharacterTableFind(std::string_view key);
// Lower-case name: non-empty, only 'a'..'z' and '_'.
bool IsLowerName(std::string_view name);
// One of the 27 operator characters "{,}~!@#$%^&*<>-|+/=\.`'\":;?".
bool IsOperatorChar(unsigned char c);
