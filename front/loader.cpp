// (stub)
#include "front/loader.h"
std::string_view PreludeText() { return {}; }
void LoadPrelude() { AssertionFailure("b", __LINE__); }
void LoadProgram(ErrorRecord&, std::string_view) { AssertionFailure("b", __LINE__); }
