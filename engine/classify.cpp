// (stub)
#include "engine/classify.h"
void classify(Cell*) { AssertionFailure("b", __LINE__); }
int arity(Cell*) { AssertionFailure("b", __LINE__); }
bool is_data(Cell*) { AssertionFailure("b", __LINE__); }
bool is_normal_form(Cell*) { AssertionFailure("b", __LINE__); }
uint32_t free_variables(Cell*) { AssertionFailure("b", __LINE__); }
bool is_lazy_head(Cell*) { AssertionFailure("b", __LINE__); }
bool unreduced(Cell*) { AssertionFailure("b", __LINE__); }
char shape(const Cell*) { AssertionFailure("b", __LINE__); }
bool is_classification_name(std::string_view) { AssertionFailure("b", __LINE__); }
void reset_classification_caches() {}
