// Loading the Prelude and a program's definitions into the definition table.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/cell.h"
#include "core/report.h"
#include "front/space.h"

void LoadPrelude();

// What a diagnosing load keeps about the program text; positions are raw-text offsets.
struct SourceNotes {
    SourceMap origin;  // of the normalised text
    size_t main_start = 0;
    CellRef main;                                                  // the main expression as parsed
    std::map<std::string, size_t, std::less<>> definition_starts;  // key -> its last item
    std::vector<std::pair<size_t, std::string>> warnings;          // position, message
};

// With `notes`, also fills them (used only when diagnosing).
void LoadProgram(ErrorRecord& record, std::string_view text, SourceNotes* notes = nullptr);
