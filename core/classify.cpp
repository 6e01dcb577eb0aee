// Cell classification, cached in the header's top byte and extent; each cell is classified once.
#include "core/classify.h"

#include <array>
#include <vector>

#include "core/atoms.h"
#include "core/chars.h"
#include "core/tables.h"

namespace {

using namespace cellbits;

constexpr int kArityCeiling = 11;
constexpr int kArityFloor = -51;

using classbits::data_marked;
using classbits::free_of;
using classbits::stored_arity;
using classbits::unreduced_bit;

inline void write_arity(Cell* c, int n, bool unreduced_flag) {
    QUIB_CHECK(n >= -kArityBias && n <= kArityCeiling);
    uint8_t top = static_cast<uint8_t>((top_byte(c) & kAtomBit) | (n + kArityBias));
    if (unreduced_flag) top |= kUnreducedBit;
    set_top_byte(c, top);
}

void classify_atom(Cell* c) {
    const char* s = atom_chars(c);
    unsigned char first = static_cast<unsigned char>(s[0]);
    if (is_mark_tag(first)) {
        write_arity(c, 1, false);
        return;
    }
    if (first == tag_byte(Tag::List)) {
        set_top_byte(c, kAtomBit | kDataMarker);
        return;
    }
    std::string_view bytes = atom_bytes(c);
    if (!is_classification_name(bytes)) {
        write_arity(c, 1, false);
        return;
    }
    if (const CellRef* body = find_definition(bytes)) {
        write_arity(c, leading_lambdas(body->get()), false);
        return;
    }
    // Only lambda variables may be undefined: the checks reject every other undefined name.
    QUIB_CHECK(is_lambda_variable(bytes));
    write_arity(c, kArityCeiling, false);
    set_extent(c, uint64_t{1} << (first - 'a'));
}

// Both parts are classified already.
// An unclassified pair has top byte and extent zero, so the answer is written as one word.
void classify_pair(Cell* c) {
    Cell* l = left_of(c);
    Cell* r = right_of(c);
    uint8_t tl = top_byte(l), tr = top_byte(r);
    bool dl = (tl & kClassMask) == kDataMarker, dr = (tr & kClassMask) == kDataMarker;
    uint64_t count = c->header & kCountMask;
    if (dl && dr) {
        uint64_t el = extent_of(l), er = extent_of(r);
        uint64_t extent = (el >= 2 && er >= 2 && el + er < kExtentLimit) ? el + er : 0;
        c->header = count | (extent << kExtentShift) | (uint64_t{kDataMarker} << 56);
        return;
    }
    int n;
    if (dl) {
        n = 0;
    } else {
        int al = (tl & kArityMask) - kArityBias;
        n = (al == kArityCeiling || al <= kArityFloor) ? al : al - 1;
    }
    uint32_t fl = free_of(l), fr = free_of(r);
    uint32_t mask;
    bool flag = false;
    Cell* ll = is_pair(l) ? left_of(l) : nullptr;
    if (ll && has_tag(ll, Tag::Lambda)) {
        mask = fr & ~fl;  // a lambda node: the body's variables without its own
    } else {
        int nr = dr ? 1 : (tr & kArityMask) - kArityBias;
        flag = (!dl && (tl & kUnreducedBit)) || (!dr && (tr & kUnreducedBit)) || nr < 1;
        if (ll && has_tag(ll, Tag::Binding))
            mask = fr;  // (({ v) B): the bound expression
        else if (ll && is_pair(ll) && has_tag(left_of(ll), Tag::Binding))
            mask = (fr & ~free_of(right_of(ll))) | fl;  // ((({ v) B) body)
        else
            mask = fl | fr;
    }
    uint64_t top = static_cast<uint64_t>(n + kArityBias) | (flag ? kUnreducedBit : 0);
    c->header = count | (uint64_t{mask} << kExtentShift) | (top << 56);
}

}  // namespace

int leading_lambdas(const Cell* body) {
    int count = 0;
    for (; count < kArityCeiling && shape(body) == Shape::Lambda; ++count) body = right_of(body);
    return count;
}

bool is_classification_name(std::string_view name) { return is_name_atom(name); }

void classify_new_pair(Cell* c) { classify_pair(c); }

// Post-order walk with an explicit stack: long application chains and data lists are deep.
void classify_graph(Cell* c) {
    if (is_classified(c)) return;
    if (is_atom(c)) {
        classify_atom(c);
        return;
    }
    static std::vector<Cell*> pending;
    size_t base = pending.size();
    pending.push_back(c);
    while (pending.size() > base) {
        Cell* x = pending.back();
        if (is_classified(x)) {
            pending.pop_back();
            continue;
        }
        if (is_atom(x)) {
            classify_atom(x);
            pending.pop_back();
            continue;
        }
        Cell* l = left_of(x);
        Cell* r = right_of(x);
        bool ready = true;
        if (!is_classified(r)) {
            pending.push_back(r);
            ready = false;
        }
        if (!is_classified(l)) {
            pending.push_back(l);
            ready = false;
        }
        if (ready) {
            classify_pair(x);
            pending.pop_back();
        }
    }
}

namespace {

// Heads whose arguments are not evaluated before the contraction: the Prelude's combinators
// that select or rearrange, and the two lazy connectives.
constexpr std::array<bool, 256> kLazyHeads = [] {
    std::array<bool, 256> lazy{};
    for (unsigned char c : std::string_view("&ABCDEFHIJKLNQRTUVXZ|")) lazy[c] = true;
    return lazy;
}();

}  // namespace

bool is_lazy_head(Cell* c) {
    classify(c);
    while (is_pair(c) && !data_marked(c)) {
        c = left_of(c);
        classify(c);
    }
    return is_lazy_tag(tag_of(c));
}

bool is_lazy_tag(unsigned char tag) { return kLazyHeads[tag]; }

Shape shape(const Cell* c) {
    if (!is_pair(c)) return Shape::Other;
    const Cell* l = left_of(c);
    if (!is_pair(l)) return Shape::Other;
    if (atom_is_char(left_of(l), '\\')) return Shape::Lambda;
    const Cell* ll = left_of(l);
    if (is_pair(ll) && atom_is_char(left_of(ll), '{')) return Shape::Binding;
    return Shape::Other;
}

void reset_classification_caches() { reset_letter_atoms(); }
