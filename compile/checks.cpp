// (stub, replaced by the compile work)
#include "compile/checks.h"
void prepareProgram(ErrorRecord&) { AssertionFailure("b", __LINE__); }
