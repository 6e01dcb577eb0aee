// The program pipeline: load, run, and turn the outcome into the exit status.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "core/report.h"
#include "front/loader.h"

// Loads the Prelude and the program, checks it and reduces the main expression applied to
// argv_address. An empty record means the result is an integer, kept under the name "".
// `notes`, when given, receive what diagnostics need to know about the program text; `loaded`,
// when given, is called once the program is loaded, before it is checked and run.
ErrorRecord load_and_run(std::string_view text, int64_t argv_address, SourceNotes* notes = nullptr,
                         const std::function<void()>& loaded = {});
// Returns the 32-bit status (0x80000000 after a report).
int32_t RunPipeline(std::string_view text, char** argv);
