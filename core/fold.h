// Folding a cell graph bottom-up without native recursion, each shared pair once.
#pragma once

#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/cell.h"

// The value of root: `known(c)` gives a cell's value without looking inside it (it must for
// atoms), `combine(pair, left value, right value)` a pair's from its parts'. A pair reached along
// several paths is folded once and its value reused, so the work follows the graph, not the
// tree it unfolds to.
template <class T, class Known, class Combine>
T fold_graph(Cell* root, Known known, Combine combine) {
    struct Item {
        Cell* cell;
        bool parts_done;
    };
    std::vector<Item> pending{{root, false}};
    std::vector<T> values;
    std::unordered_map<Cell*, T> shared;
    while (!pending.empty()) {
        Item item = pending.back();
        pending.pop_back();
        Cell* c = item.cell;
        bool many_owners = is_pair(c) && ref_count(c) > 1;
        if (!item.parts_done) {
            if (many_owners) {
                auto it = shared.find(c);
                if (it != shared.end()) {
                    values.push_back(it->second);
                    continue;
                }
            }
            if (std::optional<T> value = known(c)) {
                values.push_back(std::move(*value));
                continue;
            }
            pending.push_back({c, true});
            pending.push_back({right_of(c), false});
            pending.push_back({left_of(c), false});
            continue;
        }
        T r = std::move(values.back());
        values.pop_back();
        T l = std::move(values.back());
        values.pop_back();
        T value = combine(c, std::move(l), std::move(r));
        if (many_owners) shared.emplace(c, value);
        values.push_back(std::move(value));
    }
    return std::move(values.back());
}
