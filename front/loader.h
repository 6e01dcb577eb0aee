// Loading the Prelude and a program's definitions into the definition table.
#pragma once

#include <string_view>

#include "core/report.h"

// The Prelude text, exactly as loaded.
std::string_view PreludeText();
void LoadPrelude();
void LoadProgram(ErrorRecord& record, std::string_view text);
