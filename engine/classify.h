// Cell classification: arity, normal form, data, free variables, cached in the header.
#pragma once

#include <cstdint>

#include "engine/cell.h"

void classify(Cell* c);
// Arguments still wanted (data reads as 1; 11 means unknown).
int arity(Cell* c);
bool is_data(Cell* c);
bool is_normal_form(Cell* c);
// Free lambda variables, bit (letter - 'a'); empty for data, numerals and list literals.
uint32_t free_variables(Cell* c);
bool is_lazy_head(Cell* c);
bool unreduced(Cell* c);
// 'u' lambda node ((\ v) b), 'i' binding node ((({ v) d) r), 'o' anything else.
char shape(const Cell* c);
// Whether `name` (an atom's bytes) is a name in the classification sense.
bool is_classification_name(std::string_view name);
// Drops caches that depend on the definition table (after a reset).
void reset_classification_caches();
