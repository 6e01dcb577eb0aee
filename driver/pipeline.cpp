// The program pipeline: Prelude, program, run, and the one report.
#include "driver/pipeline.h"

#include <cstdio>

#include "compile/run.h"
#include "core/tables.h"
#include "core/values.h"
#include "front/loader.h"

ErrorRecord load_and_run(std::string_view text, int64_t argv_address) {
    LoadPrelude();
    ErrorRecord record;
    LoadProgram(record, text);
    if (IsEmpty(record)) runProgram(record, argv_address);
    return record;
}

int32_t RunPipeline(std::string_view text, char** argv) {
    ErrorRecord record = load_and_run(text, static_cast<int64_t>(reinterpret_cast<intptr_t>(argv)));
    if (IsEmpty(record)) {
        const CellRef* result = find_definition("");
        if (!result || !*result) AssertionFailure("quib", __LINE__);
        return static_cast<int32_t>(static_cast<uint32_t>(to_int64(result->get())));
    }
    std::fflush(stdout);
    std::string report = "\x1b[m" + ColourReport(FormatReport(record));
    std::fwrite(report.data(), 1, report.size(), stderr);
    return INT32_MIN;
}
