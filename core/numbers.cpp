// Exact integers with a machine-word fast path, numerals, and bit images.
#include "core/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

// Values of up to 18 digits always fit a signed 64-bit word.
constexpr size_t kWordDigits = 18;

uint64_t magnitude_of(int64_t v) { return v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v); }

mpz_class mpz_of_digits(std::string_view digits) {
    mpz_class z;
    mpz_set_str(z.get_mpz_t(), std::string(digits).c_str(), 10);
    return z;
}

// Digits already checked; the value is the magnitude.
Integer integer_of_digits(std::string_view digits) {
    if (digits.size() <= kWordDigits) {
        int64_t v = 0;
        for (char ch : digits) v = v * 10 + (ch - '0');
        return Integer(v);
    }
    return Integer(mpz_of_digits(digits));
}

}  // namespace

Integer::Integer(const mpz_class& z) {
    if (mpz_fits_slong_p(z.get_mpz_t()))
        value_ = static_cast<int64_t>(mpz_get_si(z.get_mpz_t()));
    else
        value_ = z;
}

mpz_class Integer::to_mpz() const {
    if (is_small()) return mpz_class(static_cast<long>(small()));
    return std::get<mpz_class>(value_);
}

int Integer::sign() const {
    if (is_small()) return (small() > 0) - (small() < 0);
    return sgn(std::get<mpz_class>(value_));
}

bool Integer::is_odd() const {
    if (is_small()) return (small() & 1) != 0;
    return mpz_odd_p(std::get<mpz_class>(value_).get_mpz_t()) != 0;
}

uint64_t Integer::magnitude_low64() const {
    if (is_small()) return magnitude_of(small());
    return mpz_get_ui(std::get<mpz_class>(value_).get_mpz_t());  // low limb of the magnitude
}

uint64_t Integer::low64() const {
    uint64_t m = magnitude_low64();
    return sign() < 0 ? 0 - m : m;
}

size_t Integer::bit_length() const {
    if (is_small()) {
        uint64_t m = magnitude_of(small());
        return m ? 64 - static_cast<size_t>(__builtin_clzll(m)) : 0;
    }
    return mpz_sizeinbase(std::get<mpz_class>(value_).get_mpz_t(), 2);
}

std::string Integer::magnitude_digits() const {
    if (is_small()) return decimal_digits(magnitude_of(small()));
    mpz_class m = ::abs(std::get<mpz_class>(value_));
    return m.get_str(10);
}

double Integer::to_double() const {
    // A word converts with the same rounding as strtod; longer values go through the text.
    if (is_small()) return static_cast<double>(small());
    std::string text = (sign() < 0 ? "-" : "") + magnitude_digits();
    return std::strtod(text.c_str(), nullptr);
}

Integer Integer::half_floor() const {
    if (is_small()) return Integer(small() >> 1);
    mpz_class r;
    mpz_fdiv_q_2exp(r.get_mpz_t(), std::get<mpz_class>(value_).get_mpz_t(), 1);
    return Integer(r);
}

Integer Integer::operator-() const {
    if (is_small() && small() != INT64_MIN) return Integer(-small());
    return Integer(mpz_class(-to_mpz()));
}

Integer operator+(const Integer& a, const Integer& b) {
    int64_t r;
    if (a.is_small() && b.is_small() && !__builtin_add_overflow(a.small(), b.small(), &r)) return Integer(r);
    return Integer(mpz_class(a.to_mpz() + b.to_mpz()));
}

Integer operator-(const Integer& a, const Integer& b) {
    int64_t r;
    if (a.is_small() && b.is_small() && !__builtin_sub_overflow(a.small(), b.small(), &r)) return Integer(r);
    return Integer(mpz_class(a.to_mpz() - b.to_mpz()));
}

Integer operator*(const Integer& a, const Integer& b) {
    int64_t r;
    if (a.is_small() && b.is_small() && !__builtin_mul_overflow(a.small(), b.small(), &r)) return Integer(r);
    return Integer(mpz_class(a.to_mpz() * b.to_mpz()));
}

int compare(const Integer& a, const Integer& b) {
    if (a.is_small() && b.is_small()) return (a.small() > b.small()) - (a.small() < b.small());
    int c = cmp(a.to_mpz(), b.to_mpz());
    return (c > 0) - (c < 0);
}

std::optional<Integer> floor_quotient(const Integer& a, const Integer& b) {
    if (b.is_zero()) return std::nullopt;
    if (a.is_small() && b.is_small() && !(a.small() == INT64_MIN && b.small() == -1)) {
        int64_t q = a.small() / b.small(), r = a.small() % b.small();
        if (r != 0 && ((r < 0) != (b.small() < 0))) --q;
        return Integer(q);
    }
    mpz_class q;
    mpz_fdiv_q(q.get_mpz_t(), a.to_mpz().get_mpz_t(), b.to_mpz().get_mpz_t());
    return Integer(q);
}

std::optional<Integer> cent_remainder(const Integer& a, const Integer& b) {
    if (b.is_zero()) return std::nullopt;
    bool agree = (a.sign() >= 0) == (b.sign() >= 0);
    if (a.is_small() && b.is_small()) {
        uint64_t ma = magnitude_of(a.small()), mb = magnitude_of(b.small());
        uint64_t r = ma % mb;
        // Both results lie below |b| <= 2^63, so they fit a word.
        return Integer(static_cast<int64_t>(agree || r == 0 ? r : mb - r));
    }
    mpz_class ma = abs(a.to_mpz()), mb = abs(b.to_mpz()), r;
    mpz_tdiv_r(r.get_mpz_t(), ma.get_mpz_t(), mb.get_mpz_t());
    if (!agree && sgn(r) != 0) r = mb - r;
    return Integer(r);
}

// |base|^e has floor(e * log2|base|) + 1 bits: between (b - 1) * e + 1 and b * e for a base of
// b bits, and exactly the first for a power of two. Only between the two is the logarithm needed;
// there a result within a millionth of a bit of the limit counts as too large, far beyond any
// rounding error.
bool power_exceeds(const Integer& base, uint64_t e, size_t limit) {
    uint64_t b = base.bit_length();
    if (e > limit / (b - 1)) return true;
    if ((b - 1) * e + 1 > limit) return true;
    if (e <= limit / b) return false;
    mpz_class magnitude = ::abs(base.to_mpz());
    if (mpz_scan1(magnitude.get_mpz_t(), 0) == b - 1) return false;
    long exponent2 = 0;
    double mantissa = mpz_get_d_2exp(&exponent2, magnitude.get_mpz_t());
    long double bits = static_cast<long double>(e) * (static_cast<long double>(exponent2) + std::log2l(mantissa));
    return bits + 1e-6L >= static_cast<long double>(limit);
}

std::optional<Integer> power(const Integer& base, const Integer& exponent) {
    bool odd = exponent.is_odd();
    if (compare(base, Integer(1)) == 0) return Integer(1);
    if (compare(base, Integer(-1)) == 0) return Integer(odd ? -1 : 1);
    if (exponent.sign() < 0) return std::nullopt;
    if (exponent.is_zero()) return Integer(1);
    if (base.is_zero()) return Integer(0);
    if (!exponent.is_small() || power_exceeds(base, static_cast<uint64_t>(exponent.small()), kMaxPowerBits))
        return std::nullopt;
    uint64_t e = static_cast<uint64_t>(exponent.small());
    if (base.is_small()) {
        int64_t result = 1, square = base.small();
        bool overflow = false;
        for (uint64_t k = e;;) {
            if ((k & 1) && __builtin_mul_overflow(result, square, &result)) overflow = true;
            k >>= 1;
            if (!k || overflow) break;
            if (__builtin_mul_overflow(square, square, &square)) overflow = true;
            if (overflow) break;
        }
        if (!overflow) return Integer(result);
    }
    mpz_class r;
    mpz_pow_ui(r.get_mpz_t(), base.to_mpz().get_mpz_t(), e);
    return Integer(r);
}

bool all_digits(std::string_view s) {
    for (char ch : s)
        if (ch < '0' || ch > '9') return false;
    return !s.empty();
}

std::string decimal_digits(uint64_t u) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, u);
    return std::string(buf, res.ptr);
}

std::optional<Integer> parse_hint_numeral(std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (text[0] != '0') {
        if (!all_digits(text)) return std::nullopt;
        return integer_of_digits(text);
    }
    if (text.size() == 1) return Integer(0);
    std::string_view digits = text.substr(1);
    if (digits[0] == '0' || !all_digits(digits)) return std::nullopt;
    return -integer_of_digits(digits);
}

std::string hint_numeral(const Integer& v) {
    if (v.is_small()) {
        std::string digits = decimal_digits(magnitude_of(v.small()));
        if (v.small() < 0) digits.insert(digits.begin(), '0');
        return digits;
    }
    return v.sign() < 0 ? "0" + v.magnitude_digits() : v.magnitude_digits();
}

std::string numb_numeral(const Integer& v) { return numeral_of_image(numb_image(v)); }

std::optional<mpz_class> image_of_numeral(std::string_view numeral) {
    if (!all_digits(numeral)) return std::nullopt;
    if (numeral == "0") return mpz_class(3);
    if (numeral[0] != '0') return mpz_class(4 * mpz_of_digits(numeral) + 3);
    if (numeral[1] != '0') return mpz_class(4 * mpz_of_digits(numeral.substr(1)) + 1);
    // A numb: "00", z more zeros, then the digits of m (if any): 0, z zeros, 1, the bits of m.
    size_t z = 0;
    while (2 + z < numeral.size() && numeral[2 + z] == '0') ++z;
    std::string_view rest = numeral.substr(2 + z);
    mpz_class image = rest.empty() ? mpz_class(1) : mpz_class(2 * mpz_of_digits(rest) + 1);
    return mpz_class(image << static_cast<mp_bitcnt_t>(z + 1));
}

std::string numeral_of_image(const mpz_class& image) {
    if (image <= 1) return "";
    if (mpz_odd_p(image.get_mpz_t())) return hint_numeral(value_of_image(image));
    mp_bitcnt_t tz = mpz_scan1(image.get_mpz_t(), 0);
    mpz_class odd = image >> tz;
    std::string text = "00" + std::string(tz - 1, '0');
    if (odd != 1) text += mpz_class((odd - 1) / 2).get_str(10);
    return text;
}

Integer value_of_image(const mpz_class& image) {
    if (mpz_odd_p(image.get_mpz_t())) {
        // 1, sign bit, then the bits of the magnitude below its leading one.
        mpz_class m = image >> 2;
        return Integer(mpz_tstbit(image.get_mpz_t(), 1) ? m : mpz_class(-m));
    }
    if (image <= 0) return Integer(0);
    // The numb's index among all bit sequences after its leading 0, folded onto 0, -1, 1, -2, 2, ...
    mpz_class index = image / 2 - 1;
    if (mpz_even_p(index.get_mpz_t())) return Integer(mpz_class(index / 2));
    return Integer(mpz_class(-(index + 1) / 2));
}

mpz_class numb_image(const Integer& v) {
    mpz_class z = v.to_mpz();
    mpz_class index = sgn(z) >= 0 ? mpz_class(2 * z) : mpz_class(-2 * z - 1);
    return 2 * (index + 1);
}

std::optional<mpz_class> image_of_cell(const Cell* c) {
    std::vector<bool> bits;
    while (is_pair(c)) {
        const Cell* head = left_of(c);
        if (!is_pair(head) || !atom_is_char(left_of(head), 'J')) return std::nullopt;
        const Cell* bit = right_of(head);
        if (atom_is_char(bit, 'K'))
            bits.push_back(true);
        else if (atom_is_char(bit, 'H'))
            bits.push_back(false);
        else
            return std::nullopt;
        c = right_of(c);
    }
    std::optional<mpz_class> image;
    if (atom_is_char(c, 'K'))
        image = mpz_class(1);
    else if (is_numeral(c))
        image = image_of_numeral(atom_bytes(c));
    if (!image || bits.empty()) return image;
    mpz_class result = *image << static_cast<mp_bitcnt_t>(bits.size());
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i]) mpz_setbit(result.get_mpz_t(), i);
    return result;
}

namespace {

// Recently made big numerals. An entry counts only while its atom still holds the very bytes it
// was made with (a freed atom's address may come back for another numeral).
struct BigNumeral {
    const Cell* cell = nullptr;
    std::string bytes;
    Integer value;
};
constexpr size_t kBigNumerals = 8;

std::array<BigNumeral, kBigNumerals>& big_numerals() {
    static std::array<BigNumeral, kBigNumerals> cache;
    return cache;
}

const Integer* remembered_value(const Cell* c) {
    for (const BigNumeral& entry : big_numerals())
        if (entry.cell == c && atom_bytes(c) == entry.bytes) return &entry.value;
    return nullptr;
}

}  // namespace

CellRef make_hint_atom(const Integer& v) {
    std::string text = hint_numeral(v);
    if (v.is_small()) return CellRef::atom(std::move(text));
    static size_t next = 0;
    BigNumeral& entry = big_numerals()[next++ % kBigNumerals];
    entry.bytes = text;
    entry.value = v;
    CellRef atom = CellRef::atom(std::move(text));
    entry.cell = atom.get();
    return atom;
}

std::optional<Integer> integer_of(const Cell* c) {
    if (is_atom(c)) {
        if (extent_of(c) > kWordDigits + 1) {
            if (const Integer* known = remembered_value(c)) return *known;
        }
        if (atom_is_char(c, 'K')) return Integer(0);
        if (!is_numeral(c)) return std::nullopt;
        if (is_numb_numeral(atom_bytes(c).substr(0, 2))) {
            std::optional<mpz_class> image = image_of_numeral(atom_bytes(c));
            if (!image) return std::nullopt;
            return value_of_image(*image);
        }
        return parse_hint_numeral(atom_bytes(c));
    }
    std::optional<mpz_class> image = image_of_cell(c);
    if (!image) return std::nullopt;
    return value_of_image(*image);
}
