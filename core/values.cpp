// Value kinds and the integer, real and bit-image conversions every handler shares.
#include "core/values.h"

#include <charconv>
#include <cstring>

#include "core/classify.h"
#include "core/numbers.h"

namespace {

bool is_digit(unsigned char ch) { return ch >= '0' && ch <= '9'; }

// A numeral atom starting with "00".
bool is_numb_atom(const Cell* c) {
    const char* s = atom_chars(c);
    return s[0] == '0' && s[1] == '0';
}

// The pair ((J s) r) with s the one-byte atom `bit`.
bool is_bit_form(const Cell* c, char bit) {
    if (!is_pair(c)) return false;
    const Cell* head = left_of(c);
    return is_pair(head) && atom_is_char(left_of(head), 'J') && atom_is_char(right_of(head), bit);
}

std::string numeral_text(const Cell* c) {
    if (is_atom(c)) return std::string(atom_bytes(c));
    std::optional<mpz_class> image = image_of_cell(c);
    return image ? numeral_of_image(*image) : std::string();
}

std::string decimal_digits(uint64_t u) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, u);
    return std::string(buf, res.ptr);
}

}  // namespace

char kind_of(Cell* c) {
    unsigned char t = tag_of(c);
    if (t == ' ') return 'e';
    if (t == '(') return 'a';
    if (is_atom(c)) {
        // An atom's data marker follows from its first byte alone.
        if (t == '[') return 'u';
        if (is_digit(t)) return is_numb_atom(c) ? 'o' : 'i';
        return 'w';
    }
    if (is_data(c)) return 'u';
    if (is_bit_form(c, 'K')) return 'i';
    if (is_bit_form(c, 'H')) return 'o';
    return 'w';
}

const char* type_name(char kind) {
    switch (kind) {
        case 'e': return "[real]";
        case 'a': return "[post]";
        case 'u': return "[zits]";
        case 'i': return "[hint]";
        case 'o': return "[numb]";
        default: return "[void]";
    }
}

bool is_integer_arg(const Cell* c) {
    if (is_atom(c)) {
        if (atom_is_char(c, 'K')) return true;
        const char* s = atom_chars(c);
        if (!is_digit(static_cast<unsigned char>(s[0]))) return false;
        return s[0] != '0' || s[1] != '0';
    }
    if (is_bit_form(c, 'H')) return true;
    if (!is_bit_form(c, 'K')) return false;
    const Cell* rest = right_of(c);
    if (atom_is_char(rest, 'K') || is_bit_form(rest, 'H')) return true;
    if (!is_atom(rest) || !is_digit(tag_of(rest))) return false;
    return !is_numb_atom(rest);
}

// For ((J K) r) the sign is the second bit of the sequence, the first bit of r: a form whose rest
// starts with 1 (or is empty, spelling "0") is non-negative like the numeral it spells.
bool is_non_negative(const Cell* c) {
    if (is_atom(c)) {
        const char* s = atom_chars(c);
        return !(s[0] == '0' && s[1] != '0' && s[1] != '\0');
    }
    if (!is_bit_form(c, 'K')) return true;
    const Cell* rest = right_of(c);
    if (is_atom(rest)) return !(is_digit(tag_of(rest)) && is_numb_atom(rest));
    return !is_bit_form(rest, 'H');
}

int64_t to_int64(const Cell* c) {
    std::optional<Integer> v = integer_of(c);
    return v ? static_cast<int64_t>(v->low64()) : 0;
}

uint64_t to_uint64(const Cell* c) {
    if (is_atom(c) && is_digit(tag_of(c)) && !is_numb_atom(c)) {
        // The image of a hint without its two lowest bits is the magnitude.
        std::optional<Integer> v = parse_hint_numeral(atom_bytes(c));
        return v ? v->magnitude_low64() : 0;
    }
    std::optional<mpz_class> image = image_of_cell(c);
    if (!image) return 0;
    mpz_class high = *image >> 2;
    return mpz_get_ui(high.get_mpz_t());
}

CellRef make_integer(int64_t n) {
    if (n >= 0) return CellRef::atom(decimal_digits(static_cast<uint64_t>(n)));
    return CellRef::atom("0" + decimal_digits(0 - static_cast<uint64_t>(n)));
}

// Results meant to be non-negative; a negative one still comes out as a valid numeral.
CellRef make_decimal(int64_t n) { return make_integer(n); }

CellRef make_real(double d) {
    std::string bytes(9, ' ');
    std::memcpy(&bytes[1], &d, sizeof d);
    return CellRef::atom(std::move(bytes));
}

double real_of(const Cell* c) {
    double d = 0.0;
    if (tag_of(c) == ' ') std::memcpy(&d, atom_chars(c) + 1, sizeof d);
    return d;
}

std::string hint_text(const Cell* c) { return numeral_text(c); }
std::string numb_text(const Cell* c) { return numeral_text(c); }

BitImage bit_image_of_numeral(std::string_view numeral) {
    std::optional<mpz_class> image = image_of_numeral(numeral);
    if (!image) return BitImage();
    BitImage bytes((mpz_sizeinbase(image->get_mpz_t(), 2) + 7) / 8, '\0');
    mpz_export(bytes.data(), nullptr, -1, 1, 0, 0, image->get_mpz_t());
    return bytes;
}

std::string numeral_of_bit_image(const BitImage& image) {
    mpz_class z;
    mpz_import(z.get_mpz_t(), image.size(), -1, 1, 0, 0, image.data());
    return numeral_of_image(z);
}

CellRef numeral_remainder(std::string_view numeral) {
    // Counting loops apply positive numerals: 1, b, t loses its first bit, leaving b, t, which
    // spells |n| / 2 with the sign b (the low bit of n).
    std::optional<Integer> n;
    if (!(numeral.size() >= 2 && numeral[0] == '0' && numeral[1] == '0')) n = parse_hint_numeral(numeral);
    if (n && n->sign() >= 0) {
        if (n->is_zero()) return CellRef::atom("K");
        Integer half = n->half_floor();
        return CellRef::atom(hint_numeral(n->is_odd() ? half : -half));
    }
    std::optional<mpz_class> image = image_of_numeral(numeral);
    if (!image) return CellRef::atom("Z");
    std::string rest = numeral_of_image(mpz_class(*image >> 1));
    return CellRef::atom(rest.empty() ? std::string("K") : std::move(rest));
}
