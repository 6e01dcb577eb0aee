// The program pipeline: load, run, and turn the outcome into the exit status.
#pragma once

#include <cstdint>
#include <string_view>

// Returns the 32-bit status (0x80000000 after a report).
int32_t RunPipeline(std::string_view text, char** argv);
