// prepareProgram: the fixed sequence of rewriting passes and checks before a run.
#pragma once

#include "core/report.h"

void prepareProgram(ErrorRecord& record);
