// Run control: prepare, apply the main expression to the argument address, judge the result.
#pragma once

#include <cstdint>

#include "core/report.h"

void runProgram(ErrorRecord& record, int64_t argv_address);
