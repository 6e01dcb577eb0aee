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
const std::string* character_table_find(std::string_view key);
// Lower-case name: non-empty, only 'a'..'z' and '_'.
bool is_lower_name(std::string_view name);
// A lambda variable: one letter 'a'..'z'.
bool is_lambda_variable(std::string_view name);
// A capital, a control byte or a byte above 126: names of one byte that need no brackets.
bool is_single_byte_name(unsigned char c);
// Whether an atom with these bytes names a definition or a lambda variable: a lower-case name,
// a single-byte name or a bare operator character.
bool is_name_atom(std::string_view bytes);
// One of the 27 operator characters "{,}~!@#$%^&*<>-|+/=\.`'\":;?".
bool is_operator_char(unsigned char c);
