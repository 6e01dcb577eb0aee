// The operator builtins + - * / % ^ < > = # $ ~, with cmpr and real: one dispatch on the value
// kinds, the text and list cases first, then exact integers, numbs and reals.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/datalist.h"
#include "core/numbers.h"
#include "core/share.h"
#include "core/values.h"
#include "library/registry.h"

namespace {

struct Operands {
    Cell* a;
    Cell* b;
    Kind ka;
    Kind kb;
};

Operands operands(Cell* const* args) { return {args[0], args[1], kind_of(args[0]), kind_of(args[1])}; }

bool is_text_or_list(Kind kind) { return kind == Kind::Post || kind == Kind::Zits; }

CellRef hint_result(const std::optional<Integer>& v) { return v ? make_hint_atom(*v) : atom_Z(); }
CellRef numb_result(const std::optional<Integer>& v) { return v ? CellRef::atom(numb_numeral(*v)) : atom_Z(); }

// A hint, a numb or a real as a double; nothing for other kinds.
std::optional<double> real_value(Cell* c, Kind kind) {
    if (kind == Kind::Real) return real_of(c);
    if (kind != Kind::Hint && kind != Kind::Numb) return std::nullopt;
    std::optional<Integer> v = integer_of(c);
    if (!v) return std::nullopt;
    return v->to_double();
}

// The bytes between the outer brackets; `storage` holds them when a pair had to be flattened.
// Nothing when the flattened list would pass the size limit.
std::optional<std::string_view> element_text(Cell* d, std::string& storage) {
    std::string_view t = atom_bytes(d);
    if (is_pair(d)) {
        std::optional<std::string> flat = flat_text_within(d, kMaxBuiltBytes);
        if (!flat) return std::nullopt;
        storage = std::move(*flat);
        t = storage;
    }
    return t.size() >= 2 ? t.substr(1, t.size() - 2) : std::string_view();
}

// ---- text and list cases ----

// A list literal of 2^26 bytes or more keeps no length and is read up to its first NUL,
// so a list that long holding a NUL byte cannot be made: the answer is "Z".
CellRef list_or_Z(std::string_view elements) {
    if (elements.size() + 2 >= cellbits::kExtentLimit && elements.find('\0') != std::string_view::npos) return atom_Z();
    return MakeListLiteral(elements);
}

// Drops |n| bytes: from the end for n <= 0, from the front for n > 0.
std::optional<std::string_view> cut(std::string_view text, const Integer& n) {
    if (n.bit_length() > 63 || n.magnitude_low64() > text.size()) return std::nullopt;
    size_t m = n.magnitude_low64();
    return n.sign() <= 0 ? text.substr(0, text.size() - m) : text.substr(m);
}

// A cut inside a nested element would leave brackets that do not balance.
bool at_element_boundary(std::string_view elements, size_t index) {
    int64_t depth = 0;
    for (size_t i = 0; i < index; ++i) depth += elements[i] == '[' ? 1 : elements[i] == ']' ? -1 : 0;
    return depth == 0;
}

std::optional<std::string> repeat(std::string_view text, const Integer& n) {
    if (n.sign() < 0) return std::nullopt;
    if (text.empty() || n.is_zero()) return std::string();
    if (!n.is_small() || static_cast<uint64_t>(n.small()) > kMaxBuiltBytes / text.size()) return std::nullopt;
    uint64_t count = static_cast<uint64_t>(n.small());
    std::string out;
    out.reserve(text.size() * count);
    for (int bit = 63 - __builtin_clzll(count); bit >= 0; --bit) {
        out.append(out.data(), out.size());
        if ((count >> bit) & 1) out += text;
    }
    return out;
}

CellRef plus_text_cases(const Operands& x) {
    if (x.ka == Kind::Post && x.kb == Kind::Post) {
        std::string joined(counted_payload(x.a));
        joined += counted_payload(x.b);
        return make_counted_text(joined);
    }
    std::string sa, sb;
    std::optional<std::string_view> a = element_text(x.a, sa), b = element_text(x.b, sb);
    if (!a || !b) return atom_Z();
    std::string joined(*a);
    joined += *b;
    return list_or_Z(joined);
}

CellRef cut_text_or_list(const Operands& x) {
    std::optional<Integer> n = integer_of(x.b);
    if (!n) return atom_Z();
    if (x.ka == Kind::Post) {
        std::optional<std::string_view> kept = cut(counted_payload(x.a), *n);
        return kept ? make_counted_text(*kept) : atom_Z();
    }
    std::string storage;
    std::optional<std::string_view> flat = element_text(x.a, storage);
    if (!flat) return atom_Z();
    std::string_view elements = *flat;
    std::optional<std::string_view> kept = cut(elements, *n);
    if (!kept) return atom_Z();
    size_t boundary = kept->data() == elements.data() ? kept->size() : elements.size() - kept->size();
    if (!at_element_boundary(elements, boundary)) return atom_Z();
    return list_or_Z(*kept);
}

CellRef repeat_text_or_list(const Operands& x) {
    std::optional<Integer> n = integer_of(x.b);
    if (!n) return atom_Z();
    std::string storage;
    std::optional<std::string_view> text = x.ka == Kind::Post ? counted_payload(x.a) : element_text(x.a, storage);
    if (!text) return atom_Z();
    std::optional<std::string> out = repeat(*text, *n);
    if (!out) return atom_Z();
    return x.ka == Kind::Post ? make_counted_text(*out) : list_or_Z(*out);
}

// ---- the numeric part ----

// What a hint meeting a numb becomes: the numb operation on both values, a real operation,
// or (for powers) the numb path only when the numb is the base.
enum class Mixed { Numb, Real, NumbBase };

struct NumericOp {
    std::optional<Integer> (*exact)(const Integer&, const Integer&);
    double (*real)(double, double);
    bool numb_with_numb;
    Mixed mixed;
};

CellRef real_operation(const Operands& x, const NumericOp& op) {
    std::optional<double> a = real_value(x.a, x.ka), b = real_value(x.b, x.kb);
    if (!a || !b) return atom_Z();
    return make_real(op.real(*a, *b));
}

std::optional<Integer> exact_operation(const Operands& x, const NumericOp& op) {
    std::optional<Integer> a = integer_of(x.a), b = integer_of(x.b);
    if (!a || !b) return std::nullopt;
    return op.exact(*a, *b);
}

CellRef numeric(const Operands& x, const NumericOp& op) {
    if (x.ka != x.kb) {
        if (is_text_or_list(x.ka) || is_text_or_list(x.kb)) return atom_Z();
        if (x.ka == Kind::Real || x.kb == Kind::Real) return real_operation(x, op);
        // one hint, one numb
        bool numb_path = op.mixed == Mixed::Numb || (op.mixed == Mixed::NumbBase && x.ka == Kind::Numb);
        return numb_path ? numb_result(exact_operation(x, op)) : real_operation(x, op);
    }
    switch (x.ka) {
        case Kind::Real: return real_operation(x, op);
        case Kind::Hint: return hint_result(exact_operation(x, op));
        case Kind::Numb: return op.numb_with_numb ? numb_result(exact_operation(x, op)) : atom_Z();
        default: return atom_Z();
    }
}

std::optional<Integer> exact_sum(const Integer& a, const Integer& b) { return a + b; }
std::optional<Integer> exact_difference(const Integer& a, const Integer& b) { return a - b; }
std::optional<Integer> exact_product(const Integer& a, const Integer& b) { return a * b; }

constexpr NumericOp kPlus{exact_sum, [](double a, double b) { return a + b; }, true, Mixed::Numb};
constexpr NumericOp kDash{exact_difference, [](double a, double b) { return a - b; }, true, Mixed::Numb};
constexpr NumericOp kMult{exact_product, [](double a, double b) { return a * b; }, true, Mixed::Numb};
constexpr NumericOp kOver{floor_quotient, [](double a, double b) { return a / b; }, false, Mixed::Real};
constexpr NumericOp kCent{cent_remainder, [](double a, double b) { return std::fmod(a, b); }, true, Mixed::Numb};
constexpr NumericOp kPowa{power, [](double a, double b) { return std::pow(a, b); }, false, Mixed::NumbBase};

bool has_void(const Operands& x) { return x.ka == Kind::Void || x.kb == Kind::Void; }

// A text that only this application holds (a freshly computed one, typically) is extended in
// place, so building a text by repeated appending is linear rather than quadratic.
CellRef plus(CellRef app, Cell* const* args) {
    Operands x = operands(args);
    if (has_void(x)) return atom_Z();
    if (x.ka == Kind::Post && x.kb == Kind::Post) {
        bool sole =
            ref_count(app.get()) == 1 && ref_count(left_of(app.get())) == 1 && ref_count(x.a) == 1 && x.a != x.b;
        return append_counted_text(x.a, sole, counted_payload(x.b));
    }
    if (x.ka == x.kb && is_text_or_list(x.ka)) return plus_text_cases(x);
    return numeric(x, kPlus);
}

CellRef dash(CellRef, Cell* const* args) {
    Operands x = operands(args);
    if (has_void(x)) return atom_Z();
    if (is_text_or_list(x.ka) && x.kb == Kind::Hint) return cut_text_or_list(x);
    if (x.ka == Kind::Zits && x.kb == Kind::Zits) return CellRef::pair_of(x.a, x.b);
    return numeric(x, kDash);
}

CellRef mult(CellRef, Cell* const* args) {
    Operands x = operands(args);
    if (has_void(x)) return atom_Z();
    if (is_text_or_list(x.ka) && x.kb == Kind::Hint) return repeat_text_or_list(x);
    return numeric(x, kMult);
}

CellRef over(CellRef, Cell* const* args) {
    Operands x = operands(args);
    return has_void(x) ? atom_Z() : numeric(x, kOver);
}

CellRef cent(CellRef, Cell* const* args) {
    Operands x = operands(args);
    return has_void(x) ? atom_Z() : numeric(x, kCent);
}

CellRef powa(CellRef, Cell* const* args) {
    Operands x = operands(args);
    return has_void(x) ? atom_Z() : numeric(x, kPowa);
}

// ---- comparisons ----

enum class Order { Less, Equal, Greater, Unordered, Unreadable };

Order order_of(int c) { return c < 0 ? Order::Less : c > 0 ? Order::Greater : Order::Equal; }

Order compare_bytes(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
    if (c) return order_of(c);
    return order_of((a.size() > b.size()) - (a.size() < b.size()));
}

// Two values of the same kind.
Order compare_same_kind(Cell* a, Cell* b, Kind kind) {
    switch (kind) {
        case Kind::Post: return compare_bytes(counted_payload(a), counted_payload(b));
        case Kind::Zits: {
            std::string sa, sb;
            std::optional<std::string_view> ta = element_text(a, sa), tb = element_text(b, sb);
            if (!ta || !tb) return Order::Unreadable;
            return compare_bytes(*ta, *tb);
        }
        case Kind::Real: {
            double x = real_of(a), y = real_of(b);
            if (x < y) return Order::Less;
            if (x > y) return Order::Greater;
            return x == y ? Order::Equal : Order::Unordered;
        }
        default: {
            std::optional<Integer> x = integer_of(a), y = integer_of(b);
            if (!x || !y) return Order::Unreadable;
            return order_of(compare(*x, *y));
        }
    }
}

// K when a sorts strictly before b (want_less) or not before b (otherwise).
CellRef ordering(Cell* const* args, bool want_less) {
    Operands x = operands(args);
    if (has_void(x)) return atom_Z();
    if (x.ka != x.kb) return boolean((x.ka < x.kb) == want_less);
    switch (compare_same_kind(x.a, x.b, x.ka)) {
        case Order::Less: return boolean(want_less);
        case Order::Equal:
        case Order::Greater: return boolean(!want_less);
        case Order::Unordered: return atom_H();
        case Order::Unreadable: break;
    }
    return atom_Z();
}

CellRef less(CellRef, Cell* const* args) { return ordering(args, true); }
CellRef gteq(CellRef, Cell* const* args) { return ordering(args, false); }

CellRef equality(Cell* const* args, bool want_same) {
    if (args[0] == args[1]) return boolean(want_same);
    Operands x = operands(args);
    if (has_void(x)) return atom_Z();
    if (x.ka != x.kb) return boolean(!want_same);
    // Valid numerals spell each value once, so two numeral atoms are equal exactly when their bytes are.
    if (is_atom(x.a) && is_atom(x.b) && (x.ka == Kind::Hint || x.ka == Kind::Numb))
        return boolean((atom_bytes(x.a) == atom_bytes(x.b)) == want_same);
    Order order = compare_same_kind(x.a, x.b, x.ka);
    if (order == Order::Unreadable) return atom_Z();
    return boolean((order == Order::Equal) == want_same);
}

CellRef same(CellRef, Cell* const* args) { return equality(args, true); }
CellRef diff(CellRef, Cell* const* args) { return equality(args, false); }

CellRef cmpr(CellRef, Cell* const* args) { return make_integer(-compare_cells(args[0], args[1])); }

// ---- $ and ~ ----

CellRef buck(CellRef, Cell* const* args) {
    Cell* a = args[0];
    switch (kind_of(a)) {
        case Kind::Post: {
            std::string_view text = counted_payload(a);
            if (text.empty()) return atom_Z();
            switch (text[0]) {
                case '\n': return CellRef::atom("[[p]]");
                case '[': return CellRef::atom("[[q]]");
                case ']': return CellRef::atom("[[r]]");
                default: return MakeListLiteral(text.substr(0, 1));
            }
        }
        case Kind::Real: return boolean(!std::signbit(real_of(a)));
        case Kind::Hint: return boolean(is_non_negative(a));
        case Kind::Numb: {
            std::optional<Integer> v = integer_of(a);
            return v ? boolean(v->sign() >= 0) : atom_Z();
        }
        case Kind::Zits: return IsEmptyData(a) ? atom_Z() : DataFront(a);
        default: return atom_Z();
    }
}

CellRef negate_hint(Cell* a) {
    if (is_pair(a)) {
        std::optional<Integer> v = integer_of(a);
        return v ? CellRef::atom(hint_numeral(-*v)) : atom_Z();
    }
    std::string_view text = atom_bytes(a);
    if (!all_digits(text)) return atom_Z();
    if (text == "0") return CellRef(a);
    if (text[0] == '0') return CellRef::atom(text.substr(1));
    std::string negated = "0";
    negated += text;
    return CellRef::atom(std::move(negated));
}

CellRef wave(CellRef, Cell* const* args) {
    Cell* a = args[0];
    switch (kind_of(a)) {
        case Kind::Post: {
            std::string_view text = counted_payload(a);
            return text.empty() ? atom_Z() : make_counted_text(text.substr(1));
        }
        case Kind::Real: return make_real(-real_of(a));
        case Kind::Hint: return negate_hint(a);
        case Kind::Numb: {
            std::optional<Integer> v = integer_of(a);
            return v ? CellRef::atom(numb_numeral(-*v)) : atom_Z();
        }
        case Kind::Zits: return IsEmptyData(a) ? atom_Z() : DataLast(a);
        default: return atom_Z();
    }
}

// A counted text converts when strtod reads all of its payload.
CellRef real_of_text(std::string_view payload) {
    if (payload.empty()) return atom_Z();
    std::string text(payload);
    char* end = nullptr;
    double d = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() ? make_real(d) : atom_Z();
}

CellRef real(CellRef, Cell* const* args) {
    Cell* a = args[0];
    Kind kind = kind_of(a);
    if (kind == Kind::Real) return CellRef(a);
    if (kind == Kind::Post) return real_of_text(counted_payload(a));
    std::optional<double> d = real_value(a, kind);
    return d ? make_real(*d) : atom_Z();
}

constexpr BuiltinRow kRows[] = {
    {"plus", on_words(builtin<2, plus>, WordOp::Plus)},
    {"dash", on_words(builtin<2, dash>, WordOp::Dash)},
    {"mult", on_words(builtin<2, mult>, WordOp::Mult)},
    {"over", on_words(builtin<2, over>, WordOp::Over)},
    {"cent", on_words(builtin<2, cent>, WordOp::Cent)},
    {"powa", builtin<2, powa>},
    {"less", on_words(builtin<2, less>, WordOp::Less)},
    {"gteq", on_words(builtin<2, gteq>, WordOp::Gteq)},
    {"same", on_words(builtin<2, same>, WordOp::Same)},
    {"diff", on_words(builtin<2, diff>, WordOp::Diff)},
    {"buck", builtin<1, buck>},
    {"wave", builtin<1, wave>},
    {"cmpr", builtin<2, cmpr>},
    {"real", builtin<1, real>},
};

}  // namespace

std::span<const BuiltinRow> arithmetic_rows() { return kRows; }
