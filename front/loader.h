// Loading the Prelude and a program's definitions into the definition table.
#pragma once

#include <string_view>

#include "core/report.h"

void LoadPrelude();
void LoadProgram(ErrorRecord& record, std::string_view text);
