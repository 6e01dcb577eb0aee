// Fuzz target: loading and checking a program text, without reducing it.
#include <cstddef>
#include <cstdint>

#include "compile/checks.h"
#include "front/loader.h"
#include "tests/fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text = InputText(data, size);
    RunOnLargeStack([text] {
        LoadPrelude();
        ErrorRecord record;
        LoadProgram(record, text);
        if (IsEmpty(record)) prepareProgram(record);
        if (!IsEmpty(record)) FormatReport(record);
    });
    return 0;
}
