// prepareProgram: the fixed sequence of rewriting passes and checks before a run.
#pragma once

#include "driver/report.h"

void prepareProgram(ErrorRecord& record);
