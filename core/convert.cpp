// Values in function position: a numeral, counted text, real or data value applied to an
// argument becomes the tree of the Prelude's combinators it stands for.
#include "core/convert.h"

#include <cstring>
#include <vector>

#include "core/atoms.h"
#include "core/chars.h"
#include "core/datalist.h"
#include "core/values.h"

namespace {

CellRef j_node(CellRef front, CellRef last) { return apply2(letter_atom('J'), std::move(front), std::move(last)); }

// conv of a list-literal text in one pass: a stack of the lists begun and not yet closed, each
// holding the J-tree of its elements so far. A one-byte element stands for the tree code the
// character table pairs with it; a byte the table lacks stands for the code 401 + byte, a value
// no display character has, so that every element converts to a finite tree of its own.
CellRef convert_literal(std::string_view text) {
    std::vector<CellRef> open;
    CellRef done;
    for (unsigned char b : text) {
        if (b == '[') {
            open.push_back(letter_atom('K'));
            continue;
        }
        CellRef element;
        if (b == ']') {
            QUIB_CHECK(!open.empty());
            element = std::move(open.back());
            open.pop_back();
            if (open.empty()) {
                done = std::move(element);
                break;
            }
        } else {
            QUIB_CHECK(!open.empty());
            const std::string* code = character_table_find(std::string_view(reinterpret_cast<const char*>(&b), 1));
            element = convert_literal(code ? *code : TreeCode(401 + b));  // tree codes are shallow
        }
        open.back() = j_node(std::move(open.back()), std::move(element));
    }
    QUIB_CHECK(done);
    return done;
}

// conv: data as a tree of J nodes ending in K. A data pair is its front applied to its last
// element; both may be deep, so the walk keeps its own stack.
CellRef convert_data(Cell* d) {
    struct Task {
        Cell* cell;
        bool combine;  // both parts converted: join the two values on top
    };
    std::vector<Task> tasks{{d, false}};
    std::vector<CellRef> values;
    while (!tasks.empty()) {
        Task t = tasks.back();
        tasks.pop_back();
        if (t.combine) {
            CellRef last = std::move(values.back());
            values.pop_back();
            values.back() = j_node(std::move(values.back()), std::move(last));
        } else if (is_pair(t.cell)) {
            tasks.push_back({t.cell, true});
            tasks.push_back({right_of(t.cell), false});
            tasks.push_back({left_of(t.cell), false});
        } else {
            values.push_back(convert_literal(atom_bytes(t.cell)));
        }
    }
    return std::move(values.back());
}

// X J: what data hands its argument along with the J-tree of its elements.
CellRef list_walker() { return apply(letter_atom('X'), letter_atom('J')); }

CellRef bit_of_byte(unsigned char c, int i) { return letter_atom((c >> i) & 1 ? 'I' : 'H'); }

CellRef byte_tree(unsigned char c) {
    CellRef lo = j_node(j_node(bit_of_byte(c, 0), bit_of_byte(c, 1)), j_node(bit_of_byte(c, 2), bit_of_byte(c, 3)));
    CellRef hi = j_node(j_node(bit_of_byte(c, 4), bit_of_byte(c, 5)), j_node(bit_of_byte(c, 6), bit_of_byte(c, 7)));
    return apply2(letter_atom('V'), std::move(lo), std::move(hi));
}

CellRef real_tree(const Cell* real) {
    uint64_t bits;
    std::memcpy(&bits, atom_chars(real) + 1, 8);
    std::vector<CellRef> level;
    for (int i = 0; i < 64; ++i) level.push_back(letter_atom((bits >> i) & 1 ? 'K' : 'H'));
    while (level.size() > 1) {
        std::vector<CellRef> next;
        for (size_t i = 0; i < level.size(); i += 2)
            next.push_back(apply2(letter_atom('V'), std::move(level[i]), std::move(level[i + 1])));
        level = std::move(next);
    }
    return std::move(level[0]);
}

// The counted text split into its first P bytes and the rest, P the largest power of two below L.
CellRef split_text(const Cell* text) {
    std::string_view payload = counted_payload(text);
    size_t p = 1;
    while (p * 2 < payload.size()) p *= 2;
    return apply2(letter_atom('V'), make_counted_text(payload.substr(0, p)), make_counted_text(payload.substr(p)));
}

}  // namespace

CellRef numeral_applied(Cell* numeral, Cell* argument) {
    if (atom_is_char(numeral, '0')) return apply(letter_atom('K'), CellRef(argument));
    CellRef sign = letter_atom(atom_chars(numeral)[0] == '0' ? 'K' : 'H');
    return apply2(letter_atom('V'), std::move(sign), numeral_remainder(atom_bytes(numeral)));
}

CellRef text_applied(Cell* text) {
    size_t length = counted_length(text);
    if (length == 0) return letter_atom('Z');
    if (length == 1) return byte_tree(static_cast<unsigned char>(counted_payload(text)[0]));
    return split_text(text);
}

CellRef real_applied(Cell* real, Cell* argument) { return apply(real_tree(real), CellRef(argument)); }

CellRef data_applied(Cell* data, Cell* argument) {
    if (IsEmptyData(data)) return apply2(CellRef(argument), list_walker(), letter_atom('K'));
    if (atom_is_char(argument, 'G')) return apply2(letter_atom('V'), DataFront(data), DataLast(data));
    return apply2(CellRef(argument), list_walker(), convert_data(data));
}
