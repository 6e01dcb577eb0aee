// The structural order of cells: atoms before pairs, atoms by bytes, pairs by parts.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/share.h"

namespace {

int compare_atoms(const Cell* a, const Cell* b) {
    std::string_view x = atom_bytes(a), y = atom_bytes(b);
    size_t n = std::min(x.size(), y.size());
    int c = n ? std::memcmp(x.data(), y.data(), n) : 0;
    if (c) return c < 0 ? -1 : 1;
    return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
}

}  // namespace

// Walks both graphs side by side with an explicit stack, so deep graphs cannot exhaust the native one.
int compare_cells(Cell* a, Cell* b) {
    std::vector<std::pair<Cell*, Cell*>> pending;
    pending.emplace_back(a, b);
    while (!pending.empty()) {
        auto [x, y] = pending.back();
        pending.pop_back();
        if (x == y) continue;
        bool xa = is_atom(x), ya = is_atom(y);
        if (xa != ya) return xa ? -1 : 1;
        if (xa) {
            int c = compare_atoms(x, y);
            if (c) return c;
            continue;
        }
        pending.emplace_back(right_of(x), right_of(y));
        pending.emplace_back(left_of(x), left_of(y));
    }
    return 0;
}
