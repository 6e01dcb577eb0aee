// The structural order of cells: atoms before pairs, atoms by bytes, pairs by parts.
#include <algorithm>
#include <cstring>
#include <set>
#include <utility>
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
// Two cells found equal where either is shared are not compared again: graphs that share their
// parts would otherwise be walked once per path, which doubles with every level of sharing.
int compare_cells(Cell* a, Cell* b) {
    struct Task {
        Cell* x;
        Cell* y;
        bool parts_equal;  // both parts compared equal: remember the two cells as equal
    };
    std::vector<Task> pending{{a, b, false}};
    std::set<std::pair<Cell*, Cell*>> equal;
    while (!pending.empty()) {
        Task task = pending.back();
        pending.pop_back();
        Cell *x = task.x, *y = task.y;
        if (task.parts_equal) {
            equal.emplace(x, y);
            continue;
        }
        if (x == y) continue;
        bool xa = is_atom(x), ya = is_atom(y);
        if (xa != ya) return xa ? -1 : 1;
        if (xa) {
            int c = compare_atoms(x, y);
            if (c) return c;
            continue;
        }
        if (ref_count(x) > 1 || ref_count(y) > 1) {
            if (equal.count({x, y})) continue;
            pending.push_back({x, y, true});
        }
        pending.push_back({right_of(x), right_of(y), false});
        pending.push_back({left_of(x), left_of(y), false});
    }
    return 0;
}
