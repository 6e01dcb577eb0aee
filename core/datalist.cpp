// Data lists: list-literal texts and data pairs, their front and last element, and flattening.
//
// A one-byte element stands for the tree code the character table pairs with it. A byte the table
// does not hold (the line feed) has no tree code; it is taken as the one-element list holding that
// byte, "[" byte "]", and written back as the bare byte when such a list is appended, so taking a
// literal apart and flattening it again gives the same bytes.
#include "core/datalist.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/chars.h"
#include "core/classify.h"
#include "core/fold.h"

namespace {

bool is_bracket(char ch) { return ch == '[' || ch == ']'; }

// An atom is data exactly when it is a list literal; pairs carry the classification's marker.
bool is_data_value(Cell* d) { return is_atom(d) ? has_tag(d, Tag::List) : is_data(d); }

// Shortest and longest tree code the character table holds.
std::pair<size_t, size_t> tree_code_lengths() {
    static const std::pair<size_t, size_t> lengths = [] {
        std::pair<size_t, size_t> range{SIZE_MAX, 0};
        for (const auto& [key, value] : CharacterTable()) {
            if (key.size() < 2) continue;
            range.first = std::min(range.first, key.size());
            range.second = std::max(range.second, key.size());
        }
        return range;
    }();
    return lengths;
}

// Spares the table lookup for the elements flattening meets most, which are no tree codes.
bool may_be_tree_code(std::string_view element) {
    auto [shortest, longest] = tree_code_lengths();
    if (element.size() < shortest || element.size() > longest) return false;
    for (char ch : element)
        if (!is_bracket(ch)) return false;
    return true;
}

// The one byte an element is written as, or 0 when it is written out whole.
char abbreviation(std::string_view element) {
    if (element.size() < 3 || element.front() != '[') return 0;
    if (may_be_tree_code(element))
        if (const std::string* display = character_table_find(element); display && display->size() == 1)
            return (*display)[0];
    if (element.size() == 3 && element.back() == ']' && !is_bracket(element[1]) &&
        !character_table_find(element.substr(1, 1)))
        return element[1];
    return 0;
}

// Writes the element that starts at `from` in `out` in its canonical spelling.
void abbreviate_tail(std::string& out, size_t from) {
    if (char ch = abbreviation(std::string_view(out).substr(from))) {
        out.resize(from);
        out.push_back(ch);
    }
}

uint64_t flatten_tasks = 0;

// The list-literal text of a data value, built with an explicit task stack so that long
// left-nested chains take neither native stack nor quadratic copying.
std::string flatten_text(Cell* d) {
    QUIB_CHECK(is_data_value(d));
    enum class Step : uint8_t { Visit, OpenTail, CloseTail };
    struct Task {
        Step step;
        Cell* cell;
    };
    std::string out;
    std::vector<Task> tasks{{Step::Visit, d}};
    std::vector<size_t> element_starts;
    while (!tasks.empty()) {
        Task task = tasks.back();
        tasks.pop_back();
        ++flatten_tasks;
        switch (task.step) {
            case Step::Visit:
                if (is_atom(task.cell)) {
                    out += atom_bytes(task.cell);
                } else {
                    // front without its "]", the last element, then "]" again
                    tasks.push_back({Step::CloseTail, nullptr});
                    tasks.push_back({Step::Visit, right_of(task.cell)});
                    tasks.push_back({Step::OpenTail, nullptr});
                    tasks.push_back({Step::Visit, left_of(task.cell)});
                }
                break;
            case Step::OpenTail:
                if (!out.empty() && out.back() == ']') out.pop_back();
                element_starts.push_back(out.size());
                break;
            case Step::CloseTail:
                abbreviate_tail(out, element_starts.back());
                element_starts.pop_back();
                out.push_back(']');
                break;
        }
    }
    return out;
}

// The bytes an element adds to the list it ends: one when it is abbreviated, else its length.
// Only a short element can be abbreviated, and only a short one is flattened to find out.
size_t element_length(Cell* e, size_t length) {
    if (length > std::max<size_t>(3, tree_code_lengths().second)) return length;
    std::string flat = is_atom(e) ? std::string(atom_bytes(e)) : flatten_text(e);
    return abbreviation(flat) ? 1 : length;
}

// The length of the flattened text, or `cap` when it would be longer.
size_t flat_length(Cell* d, size_t cap) {
    auto atom = [&](Cell* c) {
        return is_atom(c) ? std::optional<size_t>(std::min(cap, atom_bytes(c).size())) : std::nullopt;
    };
    // the front's "]" gives way to the element and comes back after it
    auto pair = [&](Cell* c, size_t front, size_t last) {
        return std::min(cap, front + element_length(right_of(c), last));
    };
    return fold_graph<size_t>(d, atom, pair);
}

}  // namespace

bool IsEmptyData(const Cell* d) { return atom_is(d, "[]"); }

// Never moves before index 1, so a text whose brackets do not balance cannot be read outside.
size_t LastElementStart(std::string_view text) {
    if (text.size() < 3) return 1;
    size_t i = text.size() - 2;
    if (text[i] != ']') return i;
    int64_t depth = 1;
    while (i > 1 && depth > 0) {
        --i;
        if (text[i] == ']') ++depth;
        if (text[i] == '[') --depth;
    }
    return i;
}

std::string LiteralFront(std::string_view text) {
    std::string front(text.substr(0, LastElementStart(text)));
    front.push_back(']');
    return front;
}

std::string LiteralLast(std::string_view text) {
    size_t start = LastElementStart(text);
    size_t end = text.size() >= 2 ? text.size() - 1 : text.size();
    std::string_view element = text.substr(start, end > start ? end - start : 0);
    if (element.size() != 1) return std::string(element);
    if (const std::string* code = character_table_find(element)) return *code;
    return "[" + std::string(element) + "]";
}

CellRef DataFront(Cell* d) {
    QUIB_CHECK(is_data_value(d) && !IsEmptyData(d));
    if (is_atom(d)) return CellRef::atom(LiteralFront(atom_bytes(d)));
    return CellRef(left_of(d));
}

CellRef DataLast(Cell* d) {
    QUIB_CHECK(is_data_value(d) && !IsEmptyData(d));
    if (is_atom(d)) return CellRef::atom(LiteralLast(atom_bytes(d)));
    return CellRef(right_of(d));
}

std::string AppendElement(std::string_view front, std::string_view element) {
    std::string out(front);
    if (!out.empty() && out.back() == ']') out.pop_back();
    size_t start = out.size();
    out += element;
    abbreviate_tail(out, start);
    out.push_back(']');
    return out;
}

CellRef FlattenData(Cell* d) {
    QUIB_CHECK(is_data_value(d));
    if (is_atom(d)) return CellRef(d);
    return CellRef::atom(flatten_text(d));
}

std::string ElementText(Cell* d) {
    QUIB_CHECK(is_data_value(d));
    std::string text = is_atom(d) ? std::string(atom_bytes(d)) : flatten_text(d);
    return text.size() >= 2 ? text.substr(1, text.size() - 2) : std::string();
}

std::optional<std::string> flat_text_within(Cell* d, size_t limit) {
    QUIB_CHECK(is_data_value(d));
    if (flat_length(d, limit + 1) > limit) return std::nullopt;
    return is_atom(d) ? std::string(atom_bytes(d)) : flatten_text(d);
}

bool literal_fits(std::string_view literal) {
    return literal.size() < cellbits::kExtentLimit || literal.find('\0') == std::string_view::npos;
}

uint64_t flatten_tasks_run() { return flatten_tasks; }

CellRef MakeListLiteral(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() + 2);
    bytes.push_back('[');
    bytes += text;
    bytes.push_back(']');
    return CellRef::atom(std::move(bytes));
}
