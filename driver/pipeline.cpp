// The program pipeline: Prelude, program, run, and the one report.
#include "driver/pipeline.h"

#include <cstdio>

#include "compile/run.h"
#include "core/tables.h"
#include "core/values.h"
#include "driver/diagnostics.h"
#include "library/calls.h"
#include "platform/ending.h"

namespace {

void write_error(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stderr); }

}  // namespace

ErrorRecord load_and_run(std::string_view text, int64_t argv_address, SourceNotes* notes) {
    LoadPrelude();
    ErrorRecord record;
    LoadProgram(record, text, notes);
    if (IsEmpty(record)) runProgram(record, argv_address);
    return record;
}

int32_t RunPipeline(std::string_view text, char** argv) {
    SourceNotes notes;
    ErrorRecord record =
        load_and_run(text, static_cast<int64_t>(reinterpret_cast<intptr_t>(argv)), diagnosing() ? &notes : nullptr);
    int32_t status = INT32_MIN;
    if (IsEmpty(record)) {
        const CellRef* result = find_definition("");
        if (!result || !*result) AssertionFailure("quib", __LINE__);
        status = static_cast<int32_t>(static_cast<uint32_t>(to_int64(result->get())));
    } else {
        flush_standard_output();
        write_error("\x1b[m" + ColourReport(FormatReport(record)));
    }
    if (diagnosing()) {
        flush_standard_output();
        write_error(diagnostic_lines(argv[1], text, notes, record));
    }
    return status;
}
