// Test aid: a cell tree in the (f x) notation, atoms as their bytes; iterative for deep trees.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "core/cell.h"

inline std::string TreeNotation(const Cell* root) {
    std::string out;
    std::vector<std::variant<const Cell*, const char*>> pending{root};
    while (!pending.empty()) {
        auto next = pending.back();
        pending.pop_back();
        if (const char* const* text = std::get_if<const char*>(&next)) {
            out += *text;
            continue;
        }
        const Cell* c = std::get<const Cell*>(next);
        if (is_atom(c)) {
            out += atom_bytes(c);
            continue;
        }
        out += '(';
        pending.push_back(")");
        pending.push_back(right_of(c));
        pending.push_back(" ");
        pending.push_back(left_of(c));
    }
    return out;
}

inline std::string TreeNotation(const CellRef& tree) { return TreeNotation(tree.get()); }
