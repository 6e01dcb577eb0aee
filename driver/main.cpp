// Entry point: the command line, reading the program file, and the exit status.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "core/report.h"
#include "driver/pipeline.h"
#include "library/calls.h"
#include "platform/crash.h"
#include "platform/ending.h"
#include "platform/net.h"
#include "platform/platform.h"

namespace {

// The whole file as bytes; nothing when it cannot be opened or read to its end
// (a directory opens but cannot be read).
std::optional<std::string> ReadProgramFile(const char* path) {
    std::FILE* f = std::fopen(path, "r");
    if (!f) return std::nullopt;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, 4095, f)) > 0) text.append(buffer, n);
    bool failed = std::ferror(f) != 0;
    if (std::fclose(f) != 0 && !failed) AssertionFailure("quib", __LINE__);
    if (failed) return std::nullopt;
    return text;
}

// A "#!" first line is for the shell that starts the script: it becomes spaces up to its line
// feed, so that every later byte keeps its position.
void blank_script_line(std::string& text) {
    if (!text.starts_with("#!")) return;
    std::fill(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(text.find('\n'), text.size())), ' ');
}

// Linux keeps 8 bits of the status: the failure word's top bit becomes the byte's top bit.
int process_status(int32_t status) {
    if (status == INT32_MIN) return kReportStatus;
    return status & 0xFF;
}

}  // namespace

int run(int argc, char** argv);

int main(int argc, char** argv) {
    // Every walk over a program-sized structure keeps its own stack, so depth never reaches the
    // native one; what still recurses is bounded (the ten precedence levels, tree codes, the bit
    // tree of one real). The large stack is a margin for those and for the C library's calls.
    int status = run_with_large_stack([&] { return run(argc, argv); });
    return finish_standard_output() ? status : kReportStatus;
}

int run(int argc, char** argv) {
    install_crash_message(running_builtin);
    install_out_of_memory_ending();
    net_startup();
    const char* diagnose = std::getenv("QUIB_DIAGNOSE");
    set_diagnosing(diagnose && *diagnose && std::strcmp(diagnose, "0") != 0);
    if (argc == 0) AssertionFailure("quib", __LINE__);
    if (argc == 1) {
        std::fputs("Error.\n Type: Usage\nUsage: quib file arg0 arg1 arg2 ...\n\\/\n", stderr);
        return 1;
    }
    std::optional<std::string> text = ReadProgramFile(argv[1]);
    if (!text) {
        std::string report =
            "Error.\n Type: Start\n Name: \"" + EscapeName(argv[1]) + "\"\nCould not read program file.\n\\/\n";
        std::fwrite(report.data(), 1, report.size(), stderr);
        return process_status(INT32_MIN);
    }
    blank_script_line(*text);
    return process_status(RunPipeline(*text, argv));
}
