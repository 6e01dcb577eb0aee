// Cell classification: arity, normal form, data, free variables, cached in the header.
// Once a cell is classified every question is a read of its header, so the readers are inline.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/cell.h"

// Fills the header of c and of every unclassified cell below it.
void classify_graph(Cell* c);
inline void classify(Cell* c) {
    if (__builtin_expect(!is_classified(c), 0)) classify_graph(c);
}
// Classifies a new pair whose two parts are classified already (no walk).
void classify_new_pair(Cell* c);
// A new pair whose parts are classified, classified at once so that no later walk is needed.
inline CellRef classified_pair(CellRef l, CellRef r) {
    CellRef p = CellRef::pair(std::move(l), std::move(r));
    classify_new_pair(p.get());
    return p;
}

namespace classbits {
inline bool data_marked(const Cell* c) { return (top_byte(c) & cellbits::kClassMask) == cellbits::kDataMarker; }
inline int stored_arity(const Cell* c) { return (top_byte(c) & cellbits::kArityMask) - cellbits::kArityBias; }
inline bool unreduced_bit(const Cell* c) { return (top_byte(c) & cellbits::kUnreducedBit) != 0; }
// The extent holds free variables except for data and the atoms that keep their length there.
inline uint32_t free_of(const Cell* c) {
    if (data_marked(c) || (is_atom(c) && carries_length(tag_of(c)))) return 0;
    return extent_of(c);
}
}  // namespace classbits

// Arguments still wanted (data reads as 1; 11 means unknown).
inline int arity(Cell* c) {
    classify(c);
    return classbits::data_marked(c) ? 1 : classbits::stored_arity(c);
}
inline bool is_data(Cell* c) {
    classify(c);
    return classbits::data_marked(c);
}
inline bool is_normal_form(Cell* c) {
    classify(c);
    if (classbits::data_marked(c)) return true;
    return !classbits::unreduced_bit(c) && classbits::stored_arity(c) >= 1;
}
inline bool unreduced(Cell* c) {
    classify(c);
    return !classbits::data_marked(c) && classbits::unreduced_bit(c);
}
// Free lambda variables, bit (letter - 'a'); empty for data, numerals and list literals.
inline uint32_t free_variables(Cell* c) {
    classify(c);
    return classbits::free_of(c);
}
bool is_lazy_head(Cell* c);
// Whether a head atom with this first byte is contracted without evaluating its arguments.
bool is_lazy_tag(unsigned char tag);
// A lambda node ((\ v) b), a binding node ((({ v) d) r), or anything else.
enum class Shape : char { Lambda = 'u', Binding = 'i', Other = 'o' };
Shape shape(const Cell* c);
// Leading lambda nodes of a definition body, counted up to 11 (more than a definition may have).
int leading_lambdas(const Cell* body);
// Whether `name` (an atom's bytes) is a name in the classification sense.
bool is_classification_name(std::string_view name);
// Drops caches that depend on the definition table (after a reset).
void reset_classification_caches();
