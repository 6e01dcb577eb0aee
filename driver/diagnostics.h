// Opt-in diagnostics (QUIB_DIAGNOSE=1): lines starting with "quib: " after the run's output and
// report, placing the report in the file, warning about the text, and listing calls that answered Z.
#pragma once

#include <string>
#include <string_view>

#include "core/report.h"
#include "front/loader.h"

std::string diagnostic_lines(std::string_view file, std::string_view text, const SourceNotes& notes,
                             const ErrorRecord& record);
