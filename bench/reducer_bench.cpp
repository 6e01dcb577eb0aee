// Reducer throughput: machine steps per second on combinator-heavy programs.
#include <chrono>
#include <cstdio>

#include "driver/pipeline.h"
#include "engine/reducer.h"

namespace {

struct Workload {
    const char* name;
    const char* program;
};

// Church numerals: 2^16 built from the Prelude's combinators, counted with a strict successor.
constexpr Workload kWorkloads[] = {
    {"church 2^16", "K(big (n\\n+1) 0),two\\f\\x\\f(f x),big\\two two two two"},
    {"combinators S K I", "K(loop 200000),loop\\n\\(n<1) 0 (S K K (loop(n-1)))"},
    {"nfib 20", "K(nfib 20),nfib\\n\\(n<2) 1 (nfib(n-1)+nfib(n-2)+1)"},
};

}  // namespace

int main() {
    for (const Workload& w : kWorkloads) {
        uint64_t before = reduction_steps();
        auto start = std::chrono::steady_clock::now();
        ErrorRecord record = load_and_run(w.program, 0);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        uint64_t steps = reduction_steps() - before;
        if (!IsEmpty(record)) {
            std::printf("%-20s failed: %s\n", w.name, record.Text.c_str());
            continue;
        }
        std::printf("%-20s %10llu steps %8.3f s %8.2f M steps/s\n", w.name, static_cast<unsigned long long>(steps),
                    seconds, steps / seconds / 1e6);
    }
    return 0;
}
