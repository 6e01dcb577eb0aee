// The program pipeline: Prelude, program, run, and the one report.
#include "driver/pipeline.h"

#include <cstdio>

#include "compile/run.h"
#include "driver/diagnostics.h"
#include "driver/report.h"
#include "engine/tables.h"
#include "front/loader.h"
#include "library/calls.h"
#include "library/values.h"

namespace {

void WriteError(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stderr); }

}  // namespace

int32_t RunPipeline(std::string_view text, char** argv) {
    LoadPrelude();
    ErrorRecord record;
    SourceNotes notes;
    LoadProgram(record, text, diagnosing() ? &notes : nullptr);
    CellRef main;
    if (diagnosing() && IsEmpty(record)) main = *find_definition("");
    if (IsEmpty(record)) runProgram(record, static_cast<int64_t>(reinterpret_cast<intptr_t>(argv)));
    int32_t status = INT32_MIN;
    if (IsEmpty(record)) {
        const CellRef* result = find_definition("");
        if (!result || !*result) AssertionFailure("quib", __LINE__);
        status = static_cast<int32_t>(static_cast<uint32_t>(to_int64(result->get())));
    } else {
        std::fflush(stdout);
        WriteError("\x1b[m" + ColourReport(FormatReport(record)));
    }
    if (diagnosing()) {
        std::fflush(stdout);
        WriteError(DiagnosticLines(argv[1], text, notes, record, main));
    }
    return status;
}
