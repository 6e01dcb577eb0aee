// Opt-in diagnostics (QUIB_DIAGNOSE=1): lines starting with "quib: " that warn about the text
// before the run, place the report in the file and list the calls that answered Z after it, and
// name the definitions entered last when the run is cut short.
#pragma once

#include <string>
#include <string_view>

#include "core/report.h"
#include "front/loader.h"

std::string warning_lines(std::string_view file, std::string_view text, const SourceNotes& notes);
std::string trail_lines(std::string_view file, std::string_view text, const SourceNotes& notes);
std::string diagnostic_lines(std::string_view file, std::string_view text, const SourceNotes& notes,
                             const ErrorRecord& record);
