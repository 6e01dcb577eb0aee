// (stub, replaced by the arithmetic work)
#include "library/values.h"
char kind_of(Cell*) { AssertionFailure("b", __LINE__); }
const char* type_name(char) { AssertionFailure("b", __LINE__); }
bool is_integer_arg(const Cell*) { AssertionFailure("b", __LINE__); }
bool is_non_negative(const Cell*) { AssertionFailure("b", __LINE__); }
int64_t to_int64(const Cell*) { AssertionFailure("b", __LINE__); }
uint64_t to_uint64(const Cell*) { AssertionFailure("b", __LINE__); }
CellRef make_integer(int64_t) { AssertionFailure("b", __LINE__); }
CellRef make_decimal(int64_t) { AssertionFailure("b", __LINE__); }
CellRef make_real(double) { AssertionFailure("b", __LINE__); }
double real_of(const Cell*) { AssertionFailure("b", __LINE__); }
std::string hint_text(const Cell*) { AssertionFailure("b", __LINE__); }
std::string numb_text(const Cell*) { AssertionFailure("b", __LINE__); }
BitImage bit_image_of_numeral(std::string_view) { AssertionFailure("b", __LINE__); }
std::string numeral_of_bit_image(const BitImage&) { AssertionFailure("b", __LINE__); }
CellRef numeral_remainder(std::string_view) { AssertionFailure("b", __LINE__); }
