// Fuzz target: a whole run of a program text in the fuzzing build, where builtins that reach
// the outside world or raw memory answer "Z" and either engine stops after a budget of work.
#include <cstddef>
#include <cstdint>

#include "core/tables.h"
#include "core/values.h"
#include "driver/pipeline.h"
#include "engine/fast.h"
#include "tests/fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text = InputText(data, size);
    // Each input runs on both engines: the fast tier's compiled paths need the coverage as much.
    for (Engine engine : {Engine::Exact, Engine::Fast}) {
        set_fuzzing_engine(engine);
        RunOnLargeStack([text] {
            static char program[] = "quib";
            static char* argv[] = {program, program, nullptr};
            ErrorRecord record = load_and_run(text, static_cast<int64_t>(reinterpret_cast<intptr_t>(argv)));
            if (IsEmpty(record))
                to_int64(find_definition("")->get());
            else
                ColourReport(FormatReport(record));
        });
    }
    return 0;
}
