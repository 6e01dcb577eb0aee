// prepareProgram: the rewriting passes and the checks, in their fixed order, over all definitions.
#include "compile/checks.h"

#include <map>
#include <set>
#include <vector>

#include "compile/translate.h"
#include "core/chars.h"
#include "core/classify.h"
#include "core/printer.h"
#include "core/share.h"
#include "core/tables.h"
#include "engine/heads.h"
#include "platform/files.h"

namespace {

constexpr const char* kTraceFile = "/tmp/redv.log";

ErrorRecord make_failure(ReportType type, std::string name, std::string text, std::string definition) {
    ErrorRecord record;
    record.Type = type;
    record.Name = std::move(name);
    record.Text = std::move(text);
    record.Definition = std::move(definition);
    return record;
}

// The trace is advisory: a file that cannot be written, or is not the user's own, costs the
// line, never the run. Fuzzing would add a line for many inputs, millions of times over.
void append_trace([[maybe_unused]] const std::string& line) {
#ifndef QUIB_FUZZING
    append_to_own_file(kTraceFile, line);
#endif
}

template <class Rewrite>
void rewrite_all(Rewrite rewrite) {
    rewrite_definitions([&](const std::string&, const CellRef& body) { return rewrite(body); });
}

bool valid_key(const Cell* key) { return is_atom(key) && IsDefinableName(atom_bytes(key)); }

// The first binder in e whose key is not a valid name, searched lambdas' keys and bodies,
// wings' keys, values and bodies, and everything else left part first.
Cell* find_funky_binder(Cell* e) {
    std::vector<Cell*> pending{e};
    std::set<Cell*> searched;
    while (!pending.empty()) {
        Cell* c = pending.back();
        pending.pop_back();
        if (is_atom(c)) continue;
        if (ref_count(c) > 1 && !searched.insert(c).second) continue;
        Cell* f = left_of(c);
        Cell* x = right_of(c);
        if (is_atom(f)) {
            pending.push_back(x);
            continue;
        }
        Cell* g = left_of(f);
        Cell* y = right_of(f);
        if (is_atom(g)) {
            if (atom_is_char(g, '\\')) {
                if (!valid_key(y)) return c;
                pending.push_back(x);
            } else {
                pending.push_back(x);
                pending.push_back(y);
            }
            continue;
        }
        Cell* h = left_of(g);
        Cell* z = right_of(g);
        if (atom_is_char(h, '{')) {
            if (!valid_key(z)) return c;
            pending.push_back(x);
            pending.push_back(y);
        } else {
            pending.push_back(x);
            pending.push_back(f);
        }
    }
    return nullptr;
}

// A binder pair (mark key) whose key has the given text.
Cell* find_binder_of(Cell* e, std::string_view key) {
    std::vector<Cell*> pending{e};
    while (!pending.empty()) {
        Cell* c = pending.back();
        pending.pop_back();
        if (is_atom(c)) continue;
        Cell* f = left_of(c);
        Cell* x = right_of(c);
        if (is_binder_tag(tag_of(f)) && atom_is(x, key)) return c;
        pending.push_back(x);
        pending.push_back(f);
    }
    return nullptr;
}

ErrorRecord funky_failure(const std::string& name, Cell* found, QuoteTexts& quotes) {
    std::string text = "Funky key in expression " + display_form(quotes.print(CellRef(found)));
    if (!name.empty()) text += " in function " + name;
    return make_failure(ReportType::Funky, "", text + ".", name);
}

// Renames the places of body to letters; false, with the failure set, when it cannot.
bool place_letters(const std::string& name, CellRef& body, QuoteTexts& quotes, ErrorRecord& failure) {
    Binders binders = collect_binders(body);
    if (binders.places.empty()) return true;
    // A place "[c]" renames the quotes whose text is "[c]" too.
    body = quotes.write_quoted_atoms(body);
    append_trace("First " + name + ": " + quotes.print(body) + "\n");
    if (binders.places.size() + binders.letters.size() > 26) {
        failure = make_failure(ReportType::Place, name,
                               name.empty() ? "Place error." : "Place error in function " + name + ".", name);
        return false;
    }
    Renaming renaming;
    for (const std::string& place : binders.places) {
        if (!IsDefinableName(place)) {
            // A key that is no name has no short spelling: report it as the later check would.
            Cell* found = find_funky_binder(body.get());
            failure = funky_failure(name, found ? found : find_binder_of(body.get(), place), quotes);
            return false;
        }
        char letter = 'a';
        while (binders.letters.count(std::string(1, letter))) ++letter;
        binders.letters.emplace(1, letter);
        CellRef atom = CellRef::atom(std::string(1, letter));
        renaming.emplace(place, atom);
        renaming.emplace(ShortSpelling(place), atom);  // keeps an earlier place's letter
    }
    body = rename_all(body, renaming);
    return true;
}

// Gives every place of every definition a lambda variable not bound elsewhere in it.
bool place_check(QuoteTexts& quotes, ErrorRecord& failure) {
    bool failed = false;
    rewrite_definitions([&](const std::string& name, const CellRef& body) {
        CellRef renamed = body;
        failed = failed || !place_letters(name, renamed, quotes, failure);
        return renamed;
    });
    return !failed;
}

// Follows references from the main program and the three seed names, then drops what nothing reached.
bool alive_check(ErrorRecord& failure) {
    std::set<std::string, std::less<>> reached{""};
    std::map<std::string, std::string, std::less<>> referrer{{"\\", ""}, {"{", ""}, {"_", ""}};
    if (const CellRef* main = find_definition(""))
        for (const std::string& n : reference_names(*main)) referrer[n] = "";
    while (!referrer.empty()) {
        auto first = referrer.begin();
        std::string n = first->first;
        std::string referrer_key = first->second;
        std::string by = referrer_key.empty() ? "TOP" : referrer_key;
        referrer.erase(first);
        reached.insert(n);
        const CellRef* body = find_definition(n);
        if (!body) {
            std::string shown = display_form(n);
            failure = make_failure(ReportType::Alive, shown,
                                   "Alive [" + shown + "] referenced by [" + by + "] but not defined.", referrer_key);
            return false;
        }
        for (const std::string& m : reference_names(*body))
            if (!reached.count(m)) referrer[m] = n;
    }
    std::vector<std::string> unreached;
    each_definition([&](const std::string& name, const CellRef&) {
        if (!reached.count(name)) unreached.push_back(name);
        return true;
    });
    for (const std::string& name : unreached) remove_definition(name);
    return true;
}

bool arity_check(ErrorRecord& failure) {
    return each_definition([&](const std::string& name, const CellRef& body) {
        if (leading_lambdas(body.get()) <= kMaxParameters) return true;
        failure = make_failure(ReportType::Arity, name, "Arity of function " + name + " may not exceed ten.", name);
        return false;
    });
}

void share_definitions() {
    empty_sharing_set();
    rewrite_all([](const CellRef& body) { return share(body); });
    prune_sharing_set();
}

bool funky_check(QuoteTexts& quotes, ErrorRecord& failure) {
    return each_definition([&](const std::string& name, const CellRef& body) {
        Cell* found = find_funky_binder(body.get());
        if (found) failure = funky_failure(name, found, quotes);
        return !found;
    });
}

bool local_check(ErrorRecord& failure) {
    return each_definition([&](const std::string& name, const CellRef& body) {
        uint32_t free = free_variables(body.get());
        if (!free) return true;
        char letter = static_cast<char>('a' + __builtin_ctz(free));
        if (name.empty())
            failure = make_failure(ReportType::Local, "", std::string("Local variable ") + letter + " unbound.", name);
        else
            failure =
                make_failure(ReportType::Local, name,
                             std::string("Local variable ") + letter + " unbound in function [" + name + "].", name);
        return false;
    });
}

}  // namespace

void prepareProgram(ErrorRecord& record) {
    set_definition("_", CellRef::atom(layout_text()));
    QuoteTexts quotes;
    rewrite_all([&](const CellRef& body) { return quotes.expand(body); });
    rewrite_all(pair_pattern_expansion);
    ErrorRecord failure;
    // Sharing changes neither what the Funky and Local checks find nor what they report, so they
    // run before the quotes' texts are written: a rejected program never needs those texts.
    bool passed = place_check(quotes, failure) && alive_check(failure) && arity_check(failure) &&
                  funky_check(quotes, failure) && local_check(failure);
    if (passed) {
        rewrite_all([&](const CellRef& body) { return quotes.write(body); });
        share_definitions();
        // Passes again; the run starts from classified bodies, as programs reading headers see.
        local_check(failure);
    }
    record = passed ? ErrorRecord() : failure;
}
