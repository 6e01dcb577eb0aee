// (stub, replaced by the bindings work)
#include "library/registry.h"
std::span<const BuiltinRow> binding_rows() { return {}; }
