// Rewriting passes and helpers applied to definitions before a run.
// Every walk here is iterative: definition bodies may nest a million levels deep.
#pragma once

#include <map>
#include <set>
#include <string>

#include "core/cell.h"
#include "core/values.h"

// The C structure layouts programs read under the name "_".
std::string layout_text();
// Quote expansion writes a quote's source text only when a later step needs it: nested quotes
// each hold the text of all inside them, so writing them all at once is quadratic in the depth.
// Until then each quote holds a stand-in atom, known by its cell, that nothing looks into.
class QuoteTexts {
public:
    // A quote whose printed source would pass `text_limit` bytes gets "Z" for its text, as a
    // builtin does for a text too large to build.
    explicit QuoteTexts(size_t text_limit = kMaxBuiltBytes) : text_limit_(text_limit) {}
    // (` x) becomes (V stand-in x'), the stand-in remembering x as it stood.
    CellRef expand(const CellRef& body);
    // The body with every stand-in replaced by its text atom "[" + printed x + "]".
    CellRef write(const CellRef& body);
    // The same for the quotes of a lone atom only: their texts, such as "[}]", can be names.
    CellRef write_quoted_atoms(const CellRef& body);
    // printExpression of e with the texts of the quotes it prints before its cut.
    std::string print(const CellRef& e);

private:
    struct Quote {
        CellRef stand_in;
        CellRef source;
        CellRef text;  // written on first need, then shared by every place holding the stand-in
    };
    const CellRef& text_of(Quote& quote);
    template <class Wanted>
    CellRef write_where(const CellRef& body, Wanted wanted);
    size_t text_limit_;
    std::map<const Cell*, Quote> quotes_;
};
// Expansion with the texts written at once.
CellRef quote_expansion(const CellRef& body);
CellRef pair_pattern_expansion(const CellRef& body);

// Binder keys and referenced names as ordered sets of texts (bytewise order).
using NameSet = std::set<std::string, std::less<>>;
struct Binders {
    NameSet places;   // binder keys that are not lambda variables
    NameSet letters;  // lambda variables in binder positions
};
Binders collect_binders(const CellRef& body);
NameSet reference_names(const CellRef& body);
// Each atom whose bytes are a key becomes its atom, whatever scope it stands in.
using Renaming = std::map<std::string, CellRef, std::less<>>;
CellRef rename_all(const CellRef& body, const Renaming& renaming);
// Whether an atom's bytes would be looked up as a definition (the references collection).
bool is_reference_name(std::string_view text);
