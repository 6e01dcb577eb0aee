// Cell classification, cached in the header's top byte and extent; each cell is classified once.
#include "engine/classify.h"

#include <vector>

#include "engine/atoms.h"
#include "engine/tables.h"

namespace {

using namespace cellbits;

constexpr int kArityCeiling = 11;
constexpr int kArityFloor = -51;

using classbits::data_marked;
using classbits::stored_arity;
using classbits::unreduced_bit;

inline void write_arity(Cell* c, int n, bool unreduced_flag) {
    QUIB_CHECK(n >= -kArityBias && n <= kArityCeiling);
    uint8_t top = static_cast<uint8_t>((top_byte(c) & kAtomBit) | (n + kArityBias));
    if (unreduced_flag) top |= kUnreducedBit;
    set_top_byte(c, top);
}

inline uint32_t free_of(const Cell* c) {
    if (data_marked(c)) return 0;
    if (is_atom(c)) {
        unsigned char t = tag_of(c);
        if ((t >= '0' && t <= '9') || t == '[') return 0;
    }
    return extent_of(c);
}

inline bool is_lower_or_underscore(unsigned char b) { return (b >= 'a' && b <= 'z') || b == '_'; }

// Leading lambda nodes of a definition body, stopping at the ceiling.
int leading_lambdas(const Cell* body) {
    int count = 0;
    while (count < kArityCeiling && is_pair(body)) {
        const Cell* l = left_of(body);
        if (!is_pair(l) || !atom_is_char(left_of(l), '\\')) break;
        ++count;
        body = right_of(body);
    }
    return count;
}

void classify_atom(Cell* c) {
    const char* s = atom_chars(c);
    unsigned char first = static_cast<unsigned char>(s[0]);
    if (first == ')' || first == ']') {
        set_top_byte(c, static_cast<uint8_t>((top_byte(c) & 0xF5) | 0x35));
        return;
    }
    if (first == '[') {
        set_top_byte(c, 0xC0);
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
    QUIB_CHECK(bytes.size() == 1 && first >= 'a' && first <= 'z');
    write_arity(c, kArityCeiling, false);
    set_extent(c, uint64_t{1} << (first - 'a'));
}

// Both parts are classified already.
void classify_pair(Cell* c) {
    Cell* l = left_of(c);
    Cell* r = right_of(c);
    if (data_marked(l) && data_marked(r)) {
        set_top_byte(c, kDataMarker);
        uint64_t el = extent_of(l), er = extent_of(r);
        if (el >= 2 && er >= 2 && el + er < kExtentLimit) set_extent(c, el + er);
        return;
    }
    int n;
    if (data_marked(l)) {
        n = 0;
    } else {
        int al = stored_arity(l);
        n = (al == kArityCeiling || al <= kArityFloor) ? al : al - 1;
    }
    int nr = data_marked(r) ? 1 : stored_arity(r);
    uint32_t fl = free_of(l), fr = free_of(r);
    if (is_pair(l) && tag_of(left_of(l)) == '\\') {
        write_arity(c, n, false);
        set_extent(c, fr & ~fl);
        return;
    }
    bool flag = (!data_marked(l) && unreduced_bit(l)) || (!data_marked(r) && unreduced_bit(r)) || nr < 1;
    write_arity(c, n, flag);
    uint32_t mask;
    if (is_pair(l) && tag_of(left_of(l)) == '{') {
        mask = fr;
    } else if (is_pair(l) && is_pair(left_of(l)) && tag_of(left_of(left_of(l))) == '{') {
        mask = (fr & ~free_of(right_of(left_of(l)))) | fl;
    } else {
        mask = fl | fr;
    }
    set_extent(c, mask);
}

}  // namespace

bool is_classification_name(std::string_view name) {
    if (name.empty()) return false;
    unsigned char first = static_cast<unsigned char>(name[0]);
    if (is_lower_or_underscore(first)) {
        for (unsigned char b : name)
            if (!is_lower_or_underscore(b)) return false;
        return true;
    }
    if (name.size() != 1) return false;
    if ((first >= 1 && first <= 31) || (first >= 'A' && first <= 'Z') || first >= 127) return true;
    static constexpr std::string_view kOperators = "{,}~!@#$%^&*<>-|+/=\\.`'\":;?";
    return kOperators.find(static_cast<char>(first)) != std::string_view::npos;
}

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

bool is_lazy_head(Cell* c) {
    classify(c);
    while (is_pair(c) && !data_marked(c)) {
        c = left_of(c);
        classify(c);
    }
    switch (tag_of(c)) {
        case '&': case 'A': case 'B': case 'C': case 'D': case 'E': case 'F': case 'H': case 'I':
        case 'J': case 'K': case 'L': case 'N': case 'Q': case 'R': case 'T': case 'U': case 'V':
        case 'X': case 'Z': case '|':
            return true;
        default:
            return false;
    }
}

char shape(const Cell* c) {
    if (!is_pair(c)) return 'o';
    const Cell* l = left_of(c);
    if (!is_pair(l)) return 'o';
    if (atom_is_char(left_of(l), '\\')) return 'u';
    const Cell* ll = left_of(l);
    if (is_pair(ll) && atom_is_char(left_of(ll), '{')) return 'i';
    return 'o';
}

void reset_classification_caches() { reset_letter_atoms(); }
