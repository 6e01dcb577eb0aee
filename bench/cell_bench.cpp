// Micro-benchmark: cell allocations and releases per second, for pairs and small atoms.
#include <chrono>
#include <cstdio>
#include <vector>

#include "core/cell.h"

namespace {

template <typename Make>
double per_second(const char* what, Make make) {
    constexpr int kRounds = 200;
    constexpr int kBatch = 100000;
    std::vector<CellRef> keep;
    keep.reserve(kBatch);
    auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kBatch; ++i) keep.push_back(make(i));
        keep.clear();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double rate = kRounds * double(kBatch) / seconds;
    std::printf("%-28s %8.1f M allocations+releases per second\n", what, rate / 1e6);
    return rate;
}

}  // namespace

int main() {
    CellRef k = CellRef::atom("K");
    per_second("pair of shared atoms", [&](int) { return CellRef::pair(k, k); });
    per_second("small atom (3 bytes)", [](int) { return CellRef::atom("abc"); });
    per_second("numeral atom (10 bytes)", [](int) { return CellRef::atom("1234567890"); });
    per_second("pair of fresh atoms", [](int) { return CellRef::pair(CellRef::atom("K"), CellRef::atom("x")); });
    return 0;
}
