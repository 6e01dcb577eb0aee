// Text conversions between counted texts, data lists and printed expressions:
// the builtins init, rows, lisp and tail.
#include <array>
#include <cstring>
#include <optional>
#include <string>

#include "core/cell.h"
#include "core/datalist.h"
#include "core/printer.h"
#include "core/values.h"
#include "library/registry.h"

namespace {

CellRef literal_or_Z(std::string_view elements) {
    std::string literal;
    literal.reserve(elements.size() + 2);
    literal += '[';
    literal += elements;
    literal += ']';
    if (!literal_fits(literal)) return atom_Z();
    return CellRef::atom(std::move(literal));
}

// The bytes of a text as list elements: the three bytes that cannot stand alone are escaped.
std::string escaped_elements(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        size_t plain = bytes.find_first_of("\n[]");
        out.append(bytes.substr(0, plain));
        if (plain == std::string_view::npos) break;
        out += bytes[plain] == '\n' ? "[p]" : bytes[plain] == '[' ? "[q]" : "[r]";
        bytes.remove_prefix(plain + 1);
    }
    return out;
}

// The bytes a list literal spells, or nothing when it holds a nested list other than an escape.
std::optional<std::string> unescaped_bytes(std::string_view literal) {
    std::string out;
    for (size_t i = 1; i < literal.size() && literal[i] != ']'; ++i) {
        if (literal[i] != '[') {
            out += literal[i];
            continue;
        }
        if (i + 2 >= literal.size() || literal[i + 2] != ']') return std::nullopt;
        switch (literal[i + 1]) {
            case 'p': out += '\n'; break;
            case 'q': out += '['; break;
            case 'r': out += ']'; break;
            default: return std::nullopt;
        }
        i += 2;
    }
    return out;
}

// (head x) y as built by applying a one-letter combinator to two arguments.
bool take_apart2(Cell* c, char head, Cell*& x, Cell*& y) {
    if (!is_pair(c) || !is_pair(left_of(c)) || !atom_is_char(left_of(left_of(c)), head)) return false;
    x = right_of(left_of(c));
    y = right_of(c);
    return true;
}

// One bit leaf: `one` stands for 1, H for 0.
std::optional<unsigned> bit_leaf(Cell* c, char one) {
    if (atom_is_char(c, one)) return 1u;
    if (atom_is_char(c, 'H')) return 0u;
    return std::nullopt;
}

// (J (J b0 b1) (J b2 b3)): four bits of a byte, lowest first, leaves I/H.
std::optional<unsigned> nibble_of(Cell* c) {
    Cell *low, *high, *b0, *b1, *b2, *b3;
    if (!take_apart2(c, 'J', low, high) || !take_apart2(low, 'J', b0, b1) || !take_apart2(high, 'J', b2, b3))
        return std::nullopt;
    unsigned value = 0;
    int i = 0;
    for (Cell* leaf : {b0, b1, b2, b3}) {
        std::optional<unsigned> bit = bit_leaf(leaf, 'I');
        if (!bit) return std::nullopt;
        value |= *bit << i++;
    }
    return value;
}

// The eight-bit tree that a one-byte counted text unfolds into: ((V lo) hi).
std::optional<char> byte_of_tree(Cell* c) {
    Cell *lo, *hi;
    if (!take_apart2(c, 'V', lo, hi)) return std::nullopt;
    std::optional<unsigned> low = nibble_of(lo), high = nibble_of(hi);
    if (!low || !high) return std::nullopt;
    return static_cast<char>(*low | *high << 4);
}

// A complete tree of ((V lower) upper) nodes over 2^depth leaves K/H, lowest bit leftmost.
std::optional<uint64_t> bits_of_tree(Cell* c, int depth) {
    if (depth == 0) return bit_leaf(c, 'K');
    Cell *lower, *upper;
    if (!take_apart2(c, 'V', lower, upper)) return std::nullopt;
    std::optional<uint64_t> lo = bits_of_tree(lower, depth - 1), hi = bits_of_tree(upper, depth - 1);
    if (!lo || !hi) return std::nullopt;
    return *lo | *hi << (1 << (depth - 1));
}

// The bytes of a bit tree made by the reducer from a one-byte text or a real.
std::optional<std::string> bytes_of_tree(Cell* c) {
    if (std::optional<char> byte = byte_of_tree(c)) return std::string(1, *byte);
    if (std::optional<uint64_t> bits = bits_of_tree(c, 6)) {
        std::string bytes(8, '\0');
        std::memcpy(bytes.data(), &*bits, 8);
        return bytes;
    }
    return std::nullopt;
}

std::string_view real_bytes(Cell* c) { return atom_bytes(c).substr(1, 8); }

char low_byte(Cell* c) { return static_cast<char>(to_int64(c) & 0xFF); }

CellRef init_of(Cell* x) {
    switch (kind_of(x)) {
        case Kind::Post: return CellRef(x);
        case Kind::Real: return make_counted_text(real_bytes(x));
        case Kind::Hint: return make_counted_text(std::string(1, low_byte(x)));
        case Kind::Zits: {
            // A pair is flattened to bytes, not to an atom: a long list holding NUL bytes cannot be one.
            std::optional<std::string> flat;
            if (is_pair(x) && !(flat = flat_text_within(x, kMaxBuiltBytes))) return atom_Z();
            std::optional<std::string> bytes = unescaped_bytes(flat ? std::string_view(*flat) : atom_bytes(x));
            return bytes ? make_counted_text(*bytes) : atom_Z();
        }
        case Kind::Void: {
            std::optional<std::string> bytes = bytes_of_tree(x);
            return bytes ? make_counted_text(*bytes) : atom_Z();
        }
        default: return atom_Z();
    }
}

CellRef rows_of(Cell* x) {
    switch (kind_of(x)) {
        case Kind::Post: return literal_or_Z(escaped_elements(counted_payload(x)));
        case Kind::Real: return literal_or_Z(escaped_elements(real_bytes(x)));
        case Kind::Zits: return CellRef(x);
        case Kind::Hint: {
            // A NUL shows as a line feed, as in the display form of texts.
            char c = low_byte(x);
            return literal_or_Z(c == '\0' ? std::string(1, '\n') : escaped_elements(std::string_view(&c, 1)));
        }
        default: return atom_Z();
    }
}

// Shortens an unshared text in place, keeping the fewest length digits; false when the
// shorter text would fall into a smaller allocation class than the block it lives in.
bool shorten_in_place(Cell* text) {
    size_t old_length = atom_bytes(text).size();
    size_t n = counted_length(text) - 1;
    std::string prefix = counted_prefix(n);
    size_t new_length = prefix.size() + n;
    if (atom_block_bytes(new_length) != atom_block_bytes(old_length)) return false;
    char* s = atom_chars_mut(text);
    size_t payload = counted_payload_offset(text);
    std::memmove(s + prefix.size(), s + payload, n);
    std::memcpy(s, prefix.data(), prefix.size());
    std::memset(s + new_length, 0, old_length - new_length + 1);
    return true;
}

CellRef init_handler(CellRef, Cell* const* args) { return init_of(args[0]); }
CellRef rows_handler(CellRef, Cell* const* args) { return rows_of(args[0]); }

// The whole printed text: a shared graph that unfolds past the limit gives "Z", never a cut text.
CellRef lisp_handler(CellRef, Cell* const* args) {
    std::optional<std::string> printed = print_expression_within(CellRef(args[0]), kMaxBuiltBytes);
    return printed ? literal_or_Z(*printed) : atom_Z();
}

CellRef tail_handler(CellRef app, Cell* const* args) {
    Cell* x = args[0];
    if (kind_of(x) != Kind::Post) return atom_Z();
    size_t n = counted_length(x);
    if (n == 0) return atom_Z();
    // The reducer hands its only reference to the application over: when nothing else holds
    // the application, and nothing but the application holds the text, no one sees the change.
    if (ref_count(app.get()) == 1 && ref_count(x) == 1 && shorten_in_place(x)) return CellRef(x);
    return make_counted_text(counted_payload(x).substr(0, n - 1));
}

constexpr BuiltinRow kRows[] = {
    {"init", builtin<1, init_handler>},
    {"lisp", builtin<1, lisp_handler>},
    {"rows", builtin<1, rows_handler>},
    {"tail", builtin<1, tail_handler>},
};

}  // namespace

std::span<const BuiltinRow> text_rows() { return kRows; }
