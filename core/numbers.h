// Exact integers for hint and numb arithmetic (a machine word while the value fits, GMP beyond),
// and the numeral notation with the bit images that spell every integer value.
#pragma once

#include <gmpxx.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "core/cell.h"

class Integer {
public:
    Integer(int64_t v = 0) : value_(v) {}  // NOLINT: small values convert freely
    // Kept as a machine word whenever the value fits one.
    explicit Integer(const mpz_class& z);

    bool is_small() const { return std::holds_alternative<int64_t>(value_); }
    int64_t small() const { return std::get<int64_t>(value_); }
    mpz_class to_mpz() const;
    int sign() const;
    bool is_zero() const { return sign() == 0; }
    bool is_odd() const;
    // Low 64 bits of the two's complement value, and of the magnitude.
    uint64_t low64() const;
    uint64_t magnitude_low64() const;
    // Bits in the magnitude (0 for zero).
    size_t bit_length() const;
    // The decimal digits of the magnitude.
    std::string magnitude_digits() const;
    // Rounded to nearest, as strtod reads the decimal text.
    double to_double() const;
    // Floor of half the value (an arithmetic shift right by one).
    Integer half_floor() const;

    Integer operator-() const;
    Integer abs() const { return sign() < 0 ? -*this : *this; }
    friend Integer operator+(const Integer& a, const Integer& b);
    friend Integer operator-(const Integer& a, const Integer& b);
    friend Integer operator*(const Integer& a, const Integer& b);
    // -1, 0 or 1.
    friend int compare(const Integer& a, const Integer& b);
    friend bool operator==(const Integer& a, const Integer& b) { return compare(a, b) == 0; }

private:
    std::variant<int64_t, mpz_class> value_;
};

// Quotient rounded toward negative infinity; nothing for a zero divisor.
std::optional<Integer> floor_quotient(const Integer& a, const Integer& b);
// |a| mod |b| when the signs agree, else |b| minus that (0 stays 0): never negative, below |b|.
// Nothing for a zero divisor.
std::optional<Integer> cent_remainder(const Integer& a, const Integer& b);
// Exact power; nothing when the result is no integer (a negative exponent of a base other
// than 1 and -1) or would exceed kMaxPowerBits.
std::optional<Integer> power(const Integer& base, const Integer& exponent);
constexpr size_t kMaxPowerBits = size_t{1} << 28;
// Whether |base|^e has more than `limit` bits, decided without computing it (|base| >= 2, e >= 1).
bool power_exceeds(const Integer& base, uint64_t e, size_t limit);

// Non-empty and only the digits 0 to 9.
bool all_digits(std::string_view s);
// The decimal digits of u, without sign or leading zeros.
std::string decimal_digits(uint64_t u);
// Numb numerals start with "00"; every other numeral is a hint.
inline bool is_numb_numeral(std::string_view numeral) {
    return numeral.size() >= 2 && numeral[0] == '0' && numeral[1] == '0';
}
// Hint numerals: "0", digits not starting with '0', or '0' before the digits of a negative value.
std::optional<Integer> parse_hint_numeral(std::string_view text);
std::string hint_numeral(const Integer& v);
// Numb numerals: the numeral spelling the numb image of v (see docs/numbers.md).
std::string numb_numeral(const Integer& v);

// Bit images held as integers: bit i is the i-th bit of the sequence, the highest set bit is the
// end marker, so 1 is the empty sequence (the atom K). A hint's image is odd, a numb's even.
std::optional<mpz_class> image_of_numeral(std::string_view numeral);
// "" for the empty sequence (and for an image without an end marker).
std::string numeral_of_image(const mpz_class& image);
// Odd images give the hint value, even ones the numb value.
Integer value_of_image(const mpz_class& image);
mpz_class numb_image(const Integer& v);

// The image of the atom K, a numeral atom or a bit-list form ((J s) r) (walked without recursion);
// nothing for any other cell or a form whose innermost rest is none of these.
std::optional<mpz_class> image_of_cell(const Cell* c);
// The value of a hint or numb: numeral atoms, bit-list forms, and K as zero.
std::optional<Integer> integer_of(const Cell* c);
// The numeral atom of a hint. A value too big for a word is remembered with its atom, so that
// the next operation on that atom need not read its decimal text again.
CellRef make_hint_atom(const Integer& v);
