// Translation passes over definition bodies: the layout definition, quote and pair-pattern
// expansion, binder and reference collection, renaming, and the name-list helpers.
#include "compile/translate.h"

#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/chars.h"
#include "core/datalist.h"
#include "core/fold.h"
#include "core/printer.h"

namespace {

// Rebuilds a graph bottom-up without native recursion. on_atom maps each atom; on_pair gets
// the original pair and its rebuilt parts. A cell reached along several paths is rebuilt once.
template <class OnAtom, class OnPair>
CellRef rebuild_bottom_up(Cell* root, OnAtom on_atom, OnPair on_pair) {
    auto atom = [&](Cell* c) { return is_atom(c) ? std::optional<CellRef>(on_atom(c)) : std::nullopt; };
    return fold_graph<CellRef>(root, atom, on_pair);
}

// The pair (l r), reusing the original when neither part changed.
CellRef rejoin(Cell* original, CellRef l, CellRef r) {
    if (l.get() == left_of(original) && r.get() == right_of(original)) return CellRef(original);
    return CellRef::pair(std::move(l), std::move(r));
}

CellRef keep_atom(Cell* c) { return CellRef(c); }

// Visits every pair once (shared ones included) and every atom on each path to it, without
// native recursion.
template <class Visit>
void visit_cells(Cell* root, Visit visit) {
    std::vector<Cell*> pending{root};
    std::unordered_set<Cell*> seen;
    while (!pending.empty()) {
        Cell* c = pending.back();
        pending.pop_back();
        if (is_pair(c) && ref_count(c) > 1 && !seen.insert(c).second) continue;
        if (!visit(c) || is_atom(c)) continue;
        pending.push_back(right_of(c));
        pending.push_back(left_of(c));
    }
}

// One C type: its size and the fields placed into it, in order.
struct LayoutField {
    const char* name;
    int size;
    int offset;
};
struct LayoutType {
    const char* name;
    int size;
    std::vector<LayoutField> fields;
};

// Splits the gap that holds each field into the bytes before it, the field, the bytes after it.
std::string descriptor(const LayoutType& type) {
    struct Chunk {
        std::string name;  // empty: a gap
        int size;
    };
    std::vector<Chunk> chunks{{"", type.size}};
    for (const LayoutField& field : type.fields) {
        int start = 0;
        size_t i = 0;
        while (i < chunks.size() && start + chunks[i].size <= field.offset) start += chunks[i++].size;
        QUIB_CHECK(i < chunks.size() && chunks[i].name.empty());
        int end = start + chunks[i].size;
        QUIB_CHECK(field.offset + field.size <= end);
        std::vector<Chunk> pieces;
        if (field.offset > start) pieces.push_back({"", field.offset - start});
        pieces.push_back({field.name, field.size});
        if (end > field.offset + field.size) pieces.push_back({"", end - field.offset - field.size});
        chunks.erase(chunks.begin() + static_cast<std::ptrdiff_t>(i));
        chunks.insert(chunks.begin() + static_cast<std::ptrdiff_t>(i), pieces.begin(), pieces.end());
    }
    std::string text = "[" + std::string(type.name);
    for (const Chunk& chunk : chunks) text += "[" + chunk.name + "[" + std::to_string(chunk.size) + "]]";
    return text + "]";
}

}  // namespace

std::string layout_text() {
    static const std::vector<LayoutType> kTypes = {
        {"addrinfo",
         48,
         {{"ai_flags", 4, 0},
          {"ai_family", 4, 4},
          {"ai_socktype", 4, 8},
          {"ai_protocol", 4, 12},
          {"ai_addrlen", 8, 16},
          {"ai_addr", 8, 32},
          {"ai_canonname", 8, 24},
          {"ai_next", 8, 40}}},
        {"dirent",
         296,
         {{"d_ino", 4, 0},
          {"d_off", 4, 4},
          {"d_namlen", 8, 16},
          {"d_reclen", 2, 8},
          {"d_type", 4, 24},
          {"d_name", 261, 28}}},
        {"fd_set", 520, {}},
        {"size_t", 8, {}},
        {"socklen_t", 4, {}},
        {"time_t", 8, {}},
    };
    std::string text = "[";
    for (const LayoutType& type : kTypes) text += descriptor(type);
    return text + "]";
}

// A quoted expression becomes (V "[source]" value): its text before expansion, then its value.
CellRef QuoteTexts::expand(const CellRef& body) {
    return rebuild_bottom_up(body.get(), keep_atom, [&](Cell* original, CellRef l, CellRef r) {
        Cell* f = left_of(original);
        if (is_atom(f) && tag_of(f) == '`') {
            // A list literal, so that the checks before the texts are written take it for data.
            CellRef stand_in = CellRef::atom("[quote]");
            quotes_.emplace(stand_in.get(), Quote{stand_in, CellRef(right_of(original)), CellRef()});
            return apply(apply(CellRef::atom("V"), std::move(stand_in)), std::move(r));
        }
        return rejoin(original, std::move(l), std::move(r));
    });
}

// The whole printed source: only reports cut their texts.
const CellRef& QuoteTexts::text_of(Quote& quote) {
    if (quote.text) return quote.text;
    std::optional<std::string> printed = print_expression_within(quote.source, text_limit_);
    std::string literal = printed ? "[" + *printed + "]" : std::string();
    quote.text = CellRef::atom(printed && literal_fits(literal) ? std::move(literal) : std::string("Z"));
    return quote.text;
}

template <class Wanted>
CellRef QuoteTexts::write_where(const CellRef& body, Wanted wanted) {
    if (quotes_.empty()) return body;
    auto written = [&](Cell* c) {
        auto it = quotes_.find(c);
        if (it == quotes_.end() || !wanted(it->second)) return CellRef(c);
        return text_of(it->second);
    };
    return rebuild_bottom_up(body.get(), written, rejoin);
}

CellRef QuoteTexts::write(const CellRef& body) {
    return write_where(body, [](const Quote&) { return true; });
}

CellRef QuoteTexts::write_quoted_atoms(const CellRef& body) {
    return write_where(body, [](const Quote& quote) { return is_atom(quote.source.get()); });
}

// The printer walks left parts first, once per path, writes at least one byte for every
// argument and a quote's text whole, and stops once its text passes kPrintLimit. A quote's
// text decides nothing about the bytes written before it: it never heads an application, and
// is one byte only as "Z", which may be joined to the "V" before it, so its first byte is the
// one counted for its pair. So the printer shows no quote met after those counted here.
std::string QuoteTexts::print(const CellRef& e) {
    size_t shown = 0;
    std::vector<const Cell*> pending{e.get()};
    while (!pending.empty() && shown <= kPrintLimit) {
        const Cell* c = pending.back();
        pending.pop_back();
        if (is_pair(c)) {
            ++shown;
            pending.push_back(right_of(c));
            pending.push_back(left_of(c));
            continue;
        }
        auto it = quotes_.find(c);
        if (it != quotes_.end()) shown += atom_bytes(text_of(it->second).get()).size() - 1;
    }
    return printExpression(write_where(e, [](const Quote& quote) { return static_cast<bool>(quote.text); }));
}

CellRef quote_expansion(const CellRef& body) {
    QuoteTexts texts;
    return texts.write(texts.expand(body));
}

// ((({ (k1 k2)) v) body) binds k2 to v, then k1 to v's first and k2 to v's second component.
CellRef pair_pattern_expansion(const CellRef& body) {
    return rebuild_bottom_up(body.get(), keep_atom, [](Cell* original, CellRef l, CellRef r) {
        CellRef e = rejoin(original, std::move(l), std::move(r));
        Cell* wing = left_of(e.get());
        if (!is_pair(wing) || !is_pair(left_of(wing))) return e;
        Cell* binder = left_of(wing);
        Cell* key = right_of(binder);
        if (!atom_is_char(left_of(binder), '{') || !is_pair(key)) return e;
        Cell* k1 = left_of(key);
        Cell* k2 = right_of(key);
        if (!is_atom(k1) || !is_atom(k2) || !IsDefinableName(atom_bytes(k1)) || !IsDefinableName(atom_bytes(k2)))
            return e;
        CellRef brace(left_of(binder));
        CellRef first(k1), second(k2);
        CellRef value(right_of(wing));
        CellRef rest(right_of(e.get()));
        CellRef whole = CellRef::atom(ShortSpelling(atom_bytes(k2)));
        CellRef take_second = apply3(brace, second, apply(whole, CellRef::atom("H")), std::move(rest));
        CellRef take_first = apply3(brace, std::move(first), apply(whole, CellRef::atom("K")), std::move(take_second));
        return apply3(brace, std::move(second), std::move(value), std::move(take_first));
    });
}

Binders collect_binders(const CellRef& body) {
    Binders found;
    visit_cells(body.get(), [&](Cell* c) {
        if (is_atom(c)) return false;
        Cell* f = left_of(c);
        Cell* x = right_of(c);
        if (!is_atom(f) || !is_binder_tag(tag_of(f)) || !is_atom(x)) return true;
        std::string_view key = atom_bytes(x);
        (is_lambda_variable(key) ? found.letters : found.places).emplace(key);
        return false;
    });
    return found;
}

CellRef rename_all(const CellRef& body, const Renaming& renaming) {
    return rebuild_bottom_up(
        body.get(),
        [&](Cell* c) {
            auto it = renaming.find(atom_bytes(c));
            return it == renaming.end() ? CellRef(c) : it->second;
        },
        rejoin);
}

bool is_reference_name(std::string_view text) {
    return is_name_atom(text) && !is_binder_tag(static_cast<unsigned char>(text[0])) && !is_lambda_variable(text);
}

NameSet reference_names(const CellRef& body) {
    NameSet names;
    visit_cells(body.get(), [&](Cell* c) {
        if (!is_atom(c)) return true;
        std::string_view text = atom_bytes(c);
        if (is_reference_name(text) && names.find(text) == names.end()) names.emplace(text);
        return true;
    });
    return names;
}
