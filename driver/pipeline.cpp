// The program pipeline: Prelude, program, run, and the one report.
#include "driver/pipeline.h"

#include <cstdio>

#include "compile/run.h"
#include "core/tables.h"
#include "core/values.h"
#include "driver/diagnostics.h"
#include "library/calls.h"
#include "platform/ending.h"
#include "platform/stop.h"

namespace {

void write_error(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stderr); }

// The program a diagnosing run is running, for the trail written when it is cut short.
struct Diagnosed {
    std::string_view file;
    std::string_view text;
    const SourceNotes* notes = nullptr;
};
Diagnosed g_diagnosed;

void write_trail() { write_error(trail_lines(g_diagnosed.file, g_diagnosed.text, *g_diagnosed.notes)); }

}  // namespace

ErrorRecord load_and_run(std::string_view text, int64_t argv_address, SourceNotes* notes,
                         const std::function<void()>& loaded) {
    LoadPrelude();
    ErrorRecord record;
    LoadProgram(record, text, notes);
    if (loaded) loaded();
    if (IsEmpty(record)) runProgram(record, argv_address);
    return record;
}

int32_t RunPipeline(std::string_view text, char** argv) {
    SourceNotes notes;
    const int64_t argv_address = static_cast<int64_t>(reinterpret_cast<intptr_t>(argv));
    ErrorRecord record;
    if (diagnosing()) {
        // Warnings first: a run that never ends, or is stopped, still shows them.
        record = load_and_run(text, argv_address, &notes, [&] {
            write_error(warning_lines(argv[1], text, notes));
            g_diagnosed = Diagnosed{argv[1], text, &notes};
            set_stop_trail(write_trail);
        });
        set_stop_trail(nullptr);
    } else {
        record = load_and_run(text, argv_address);
    }
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
