// Value kinds, the integer notation with its bit images, and the conversions all handlers share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/cell.h"

// A text or list that would be built longer than this is refused ("Z") rather than attempted.
constexpr size_t kMaxBuiltBytes = size_t{1} << 28;

// The value kinds, by the letters their type names are known by: post a counted text, zits
// data, hint and numb the two integer notations.
enum class Kind : char { Real = 'e', Post = 'a', Zits = 'u', Hint = 'i', Numb = 'o', Void = 'w' };
Kind kind_of(Cell* c);
const char* type_name(Kind kind);  // "[real]", "[post]", ...

bool is_integer_arg(const Cell* c);
bool is_non_negative(const Cell* c);
int64_t to_int64(const Cell* c);
uint64_t to_uint64(const Cell* c);
// The lowest page is never mapped: no address there can be read or written.
inline bool is_mappable(int64_t address) { return static_cast<uint64_t>(address) >= 4096; }
CellRef make_integer(int64_t n);
CellRef make_real(double d);
double real_of(const Cell* c);

// The numeral text of a hint or numb (bit-list forms spelled as numerals); "" for no integer.
std::string numeral_text(const Cell* c);

// Bit images: little-endian bit vectors whose highest set bit is the end marker.
using BitImage = std::string;
BitImage bit_image_of_numeral(std::string_view numeral);
std::string numeral_of_bit_image(const BitImage& image);  // "" stands for the atom K (empty sequence)
// The list view of a numeral applied to an argument: rest of the image after the first bit
// spelled as a numeral atom (the empty image gives the atom K).
CellRef numeral_remainder(std::string_view numeral);
