// Loading the Prelude and a program: main expression under "", definitions under their keys.
#include "front/loader.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/builtins.h"
#include "core/chars.h"
#include "core/tables.h"
#include "front/brackets.h"
#include "front/parser.h"
#include "front/space.h"

namespace {

constexpr std::string_view kPrelude =
    ",A\\a\\aS BKK,B\\a\\b\\c\\a b(c),C\\a\\b\\c\\a c b,D\\a\\b\\c\\d\\a b c(d),"
    "E\\a\\b\\c\\d\\e\\a b c(d)e,F\\a\\b\\Vb a,G\\a\\VZ BW(BC)DDV(V XJ),H\\a\\I,I\\a\\a,"
    "J\\a\\b\\c\\Va b,K\\a\\b\\a,L\\a\\aK K(KH),M\\a\\a a,N\\a\\K,O\\a\\b\\b a(b),P\\a\\a XS I,"
    "Q\\a\\aZK,R\\a\\aZH,U\\a\\b\\Ua,S\\a\\b\\c\\a c b(c),T\\a\\b\\b a,V\\a\\b\\c\\c a b,"
    "W\\a\\b\\a b b,Z\\a\\Z,X\\a\\b\\c\\d\\Vb a(d)c,Y\\a\\b\\a Ya b,"
    "[\\]\\a\\b\\c\\ABCDEFGHIJKLMNOPQRSTUVWXYZ,[{]\\a\\b\\c\\Z,[&]\\q\\r\\q r H,[|]\\q\\r\\qKr,"
    "[!]\\VHK,[+]\\plus,[-]\\dash,[*]\\mult,[/]\\over,[%]\\cent,[^]\\powa,[<]\\less,[>]\\gteq,"
    "[=]\\same,[#]\\diff,[$]\\buck,[~]\\wave,[.]\\T,[@]\\T,[:]\\I,[?]\\I,[;]\\I,[']\\I,"
    "[\"]\\I,[,]\\I";

// ((\ X) V): the shape of a definition item.
bool is_definition_item(const Cell* tree) {
    return is_pair(tree) && is_pair(left_of(tree)) && atom_is_char(left_of(left_of(tree)), '\\');
}

// The lambda chain of n parameters named a, b, ... around the atom Z.
CellRef placeholder(int n) {
    CellRef body = CellRef::atom("Z");
    for (int i = n - 1; i >= 0; --i) {
        char name[2] = {static_cast<char>('a' + i), 0};
        body = apply(apply(CellRef::atom("\\"), CellRef::atom(name)), std::move(body));
    }
    return body;
}

// A definition item's name and whether it is unshared ("N()\value"); nothing for a piece that
// is not a definition item.
struct ItemName {
    std::string name;
    bool unshared;
};
std::optional<ItemName> read_item_name(const Cell* tree) {
    if (!is_definition_item(tree)) return std::nullopt;
    Cell* name_part = right_of(left_of(tree));
    if (is_atom(name_part)) return ItemName{std::string(atom_bytes(name_part)), false};
    if (!atom_is_char(right_of(name_part), '}')) return std::nullopt;
    // "N()\value": an empty call list marks an unshared definition.
    return ItemName{is_atom(left_of(name_part)) ? std::string(atom_bytes(left_of(name_part))) : "", true};
}

// An empty last piece starts at the end of the text.
size_t raw_offset(const SourceNotes& notes, size_t normalised) {
    if (normalised < notes.origin.size()) return notes.origin[normalised];
    return notes.origin.empty() ? 0 : notes.origin.back() + 1;
}

void warn(SourceNotes& notes, size_t normalised, std::string message) {
    notes.warnings.emplace_back(raw_offset(notes, normalised), std::move(message));
}

void note_carriage_returns(SourceNotes& notes, std::string_view text) {
    size_t first = text.find('\r');
    if (first == std::string_view::npos) return;
    size_t count = static_cast<size_t>(std::count(text.begin(), text.end(), '\r'));
    notes.warnings.emplace_back(first, "the file holds " + std::to_string(count) + " carriage return" +
                                           (count == 1 ? "" : "s") +
                                           "; each is part of the word before it (save the file with LF line ends)");
}

// A word of letters, digits and "_" before the piece's first backslash that is no name.
bool looks_like_misspelt_name(std::string_view word) {
    if (word.size() < 2 || IsDefinableName(word)) return false;
    bool letter = false, digitOrCapital = false;
    for (unsigned char c : word) {
        bool lower = (c >= 'a' && c <= 'z') || c == '_';
        bool upper = c >= 'A' && c <= 'Z';
        bool digit = c >= '0' && c <= '9';
        if (!lower && !upper && !digit) return false;
        letter |= lower || upper;
        digitOrCapital |= upper || digit;
    }
    return letter && digitOrCapital;
}

void note_skipped_item(SourceNotes& notes, std::string_view item, size_t start) {
    size_t slash = item.find('\\');
    if (slash == std::string_view::npos) return;
    std::string_view word = item.substr(0, slash);
    if (looks_like_misspelt_name(word))
        warn(notes, start,
             "this piece is not a definition: " + std::string(word) +
                 " holds a digit or a capital, so it is not a name");
    else
        warn(notes, start, "this piece is not a definition but holds a backslash");
}

void note_definition(SourceNotes& notes, const std::string& key, size_t start) {
    bool earlier = notes.definition_starts.count(key) != 0;
    notes.definition_starts[key] = raw_offset(notes, start);
    if (key.size() == 1 && key[0] >= 'a' && key[0] <= 'z')
        warn(notes, start,
             "definition " + key + " can never be called: a one-letter lower-case name is always a parameter");
    if (earlier) return;
    if (find_builtin(key))
        warn(notes, start, "definition " + key + " replaces the builtin " + key);
    else if (find_definition(key))
        warn(notes, start, "definition " + key + " replaces the Prelude's " + key);
}

}  // namespace

void LoadPrelude() {
    reset_process_state();
    std::string t = NormaliseSpace(kPrelude);
    SeparatorList items = SplitTopLevel(t, ",");
    while (!items.empty()) {
        CellRef tree = ParseExpression(NextSegment(items, t));
        QUIB_CHECK(is_definition_item(tree.get()));
        std::string_view name = atom_bytes(right_of(left_of(tree.get())));
        QUIB_CHECK(IsDefinableName(name));
        set_definition(ShortSpelling(name), tree.right());
    }
    builtin_table();
}

void LoadProgram(ErrorRecord& record, std::string_view text, SourceNotes* notes) {
    record = ErrorRecord();
    if (notes) note_carriage_returns(*notes, text);
    if (!MatchBrackets(text, record)) return;
    for (const auto& [name, entry] : builtin_table()) set_definition(name, placeholder(entry.arity));

    std::string t = NormaliseSpace(text, notes ? &notes->origin : nullptr);
    if (notes) notes->main_start = raw_offset(*notes, 0);
    SeparatorList items = SplitTopLevel(t, ",");
    CellRef main = ParseExpression(FirstSegment(items, t));
    if (notes) notes->main = main;
    set_definition("", std::move(main));
    while (!items.empty()) {
        size_t start = items.front() + 1;
        std::string item = NextSegment(items, t);
        CellRef tree = ParseExpression(item);
        std::optional<ItemName> item_name = read_item_name(tree.get());
        if (!item_name || !IsDefinableName(item_name->name)) {
            if (notes) note_skipped_item(*notes, item, start);
            continue;
        }
        std::string key = ShortSpelling(item_name->name);
        if (key == "\\" || key == "{") {
            record.Position = static_cast<int64_t>(start);
            record.Type = ReportType::Built;
            record.Text = "Built in function [" + key + "] cannot be re-defined.";
            record.Definition = key;
            if (notes) notes->definition_starts[key] = raw_offset(*notes, start);
            return;
        }
        if (notes) note_definition(*notes, key, start);
        if (find_builtin(key)) note_redefined_builtin(key);
        if (item_name->unshared) {
            set_definition(key, apply(CellRef::atom("I"), tree.right()));
            set_definition_state(key, DefinitionState::Settled);
        } else {
            set_definition(key, tree.right());
            set_definition_state(key, DefinitionState::Unevaluated);
        }
    }
}
