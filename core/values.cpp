// Value kinds and the integer, real and bit-image conversions every handler shares.
#include "core/values.h"

#include <charconv>
#include <cstring>

#include "core/classify.h"
#include "core/numbers.h"

namespace {

// A numeral atom starting with "00".
bool is_numb_atom(const Cell* c) { return is_numb_numeral(atom_bytes(c).substr(0, 2)); }

// The pair ((J s) r) with s the one-byte atom `bit`.
bool is_bit_form(const Cell* c, char bit) {
    if (!is_pair(c)) return false;
    const Cell* head = left_of(c);
    return is_pair(head) && atom_is_char(left_of(head), 'J') && atom_is_char(right_of(head), bit);
}

}  // namespace

Kind kind_of(Cell* c) {
    if (is_atom(c)) {
        // An atom's data marker follows from its first byte alone.
        switch (static_cast<Tag>(tag_of(c))) {
            case Tag::Real: return Kind::Real;
            case Tag::Text: return Kind::Post;
            case Tag::List: return Kind::Zits;
            default: break;
        }
        if (is_numeral(c)) return is_numb_atom(c) ? Kind::Numb : Kind::Hint;
        return Kind::Void;
    }
    if (is_data(c)) return Kind::Zits;
    if (is_bit_form(c, 'K')) return Kind::Hint;
    if (is_bit_form(c, 'H')) return Kind::Numb;
    return Kind::Void;
}

const char* type_name(Kind kind) {
    switch (kind) {
        case Kind::Real: return "[real]";
        case Kind::Post: return "[post]";
        case Kind::Zits: return "[zits]";
        case Kind::Hint: return "[hint]";
        case Kind::Numb: return "[numb]";
        case Kind::Void: break;
    }
    return "[void]";
}

bool is_integer_arg(const Cell* c) {
    if (is_atom(c)) {
        if (atom_is_char(c, 'K')) return true;
        const char* s = atom_chars(c);
        if (!is_numeral(c)) return false;
        return s[0] != '0' || s[1] != '0';
    }
    if (is_bit_form(c, 'H')) return true;
    if (!is_bit_form(c, 'K')) return false;
    const Cell* rest = right_of(c);
    if (atom_is_char(rest, 'K') || is_bit_form(rest, 'H')) return true;
    if (!is_numeral(rest)) return false;
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
    if (is_atom(rest)) return !(is_numeral(rest) && is_numb_atom(rest));
    return !is_bit_form(rest, 'H');
}

int64_t to_int64(const Cell* c) {
    std::optional<Integer> v = integer_of(c);
    return v ? static_cast<int64_t>(v->low64()) : 0;
}

uint64_t to_uint64(const Cell* c) {
    if (is_numeral(c) && !is_numb_atom(c)) {
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

CellRef make_real(double d) {
    std::string bytes(9, ' ');
    std::memcpy(&bytes[1], &d, sizeof d);
    return CellRef::atom(std::move(bytes));
}

double real_of(const Cell* c) {
    double d = 0.0;
    if (has_tag(c, Tag::Real)) std::memcpy(&d, atom_chars(c) + 1, sizeof d);
    return d;
}

std::string numeral_text(const Cell* c) {
    if (is_atom(c)) return std::string(atom_bytes(c));
    std::optional<mpz_class> image = image_of_cell(c);
    return image ? numeral_of_image(*image) : std::string();
}

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
    if (!is_numb_numeral(numeral)) n = parse_hint_numeral(numeral);
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
