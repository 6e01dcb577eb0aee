// Entry point: the command line, reading the program file, and the exit status.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "core/report.h"
#include "driver/pipeline.h"
#include "library/calls.h"
#include "platform/crash.h"
#include "platform/ending.h"
#include "platform/net.h"
#include "platform/platform.h"
#include "platform/stop.h"

namespace {

constexpr const char* kVersion = "quib 1.0\n";
constexpr const char* kHelp =
    "Usage: quib file arg0 arg1 arg2 ...\n"
    "Runs the program in file; arg0 and the rest are its arguments, and its integer result is the\n"
    "exit status.\n"
    "  quib - arg0 ...   reads the program from standard input\n"
    "  quib --help, -h   shows this text\n"
    "  quib --version    shows the version\n"
    "QUIB_DIAGNOSE=1 adds lines that help find mistakes; the manual page quib(1) lists the rest.\n";

// The whole content as bytes, or the errno of the failure (a directory opens but cannot be read).
struct ProgramFile {
    std::string text;
    int error = 0;
};

ProgramFile read_stream(std::FILE* f) {
    ProgramFile file;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, 4095, f)) > 0) file.text.append(buffer, n);
    if (std::ferror(f)) file.error = errno ? errno : EIO;
    return file;
}

ProgramFile ReadProgramFile(const char* path) {
    std::FILE* f = std::fopen(path, "r");
    if (!f) return ProgramFile{{}, errno};
    ProgramFile file = read_stream(f);
    if (std::fclose(f) != 0 && !file.error) AssertionFailure("quib", __LINE__);
    return file;
}

// "-", "--help", "-h" and "--version" are options only when no file has that name.
bool is_option(const char* argument, const char* option) {
    struct stat entry;
    return std::strcmp(argument, option) == 0 && lstat(argument, &entry) != 0;
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
    poll_stop_signal();  // a signal that came after the run's last step ends the process all the same
    return finish_standard_output() ? status : kReportStatus;
}

int run(int argc, char** argv) {
    install_crash_message(running_builtin);
    install_out_of_memory_ending();
    install_stop_signals();
    net_startup();
    const char* diagnose = std::getenv("QUIB_DIAGNOSE");
    set_diagnosing(diagnose && *diagnose && std::strcmp(diagnose, "0") != 0);
    if (argc == 0) AssertionFailure("quib", __LINE__);
    if (argc == 1) {
        std::fputs("Error.\n Type: Usage\nUsage: quib file arg0 arg1 arg2 ...\n\\/\n", stderr);
        return 1;
    }
    if (is_option(argv[1], "--help") || is_option(argv[1], "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (is_option(argv[1], "--version")) {
        std::fputs(kVersion, stdout);
        return 0;
    }
    ProgramFile file = is_option(argv[1], "-") ? read_stream(stdin) : ReadProgramFile(argv[1]);
    if (file.error) {
        std::string report =
            "Error.\n Type: Start\n Name: \"" + EscapeName(argv[1]) + "\"\nCould not read program file.\n\\/\n";
        if (diagnosing())
            report += ColourReport("quib: " + std::string(argv[1]) + ": " + std::strerror(file.error) + "\n");
        std::fwrite(report.data(), 1, report.size(), stderr);
        return process_status(INT32_MIN);
    }
    blank_script_line(file.text);
    return process_status(RunPipeline(file.text, argv));
}
