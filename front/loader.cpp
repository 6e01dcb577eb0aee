// Loading the Prelude and a program: main expression under "", definitions under their keys.
#include "front/loader.h"

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
        definitions()[ShortSpelling(name)] = tree.right();
    }
    builtin_table();
}

void LoadProgram(ErrorRecord& record, std::string_view text) {
    record = ErrorRecord();
    if (!MatchBrackets(text, record)) return;
    DefinitionTable& table = definitions();
    for (const auto& [name, entry] : builtin_table()) table[name] = placeholder(entry.arity);

    std::string t = NormaliseSpace(text);
    SeparatorList items = SplitTopLevel(t, ",");
    table[""] = ParseExpression(FirstSegment(items, t));
    while (!items.empty()) {
        size_t start = items.front() + 1;
        CellRef tree = ParseExpression(NextSegment(items, t));
        if (!is_definition_item(tree.get())) continue;
        Cell* name_part = right_of(left_of(tree.get()));
        bool unshared = false;
        std::string name;
        if (is_atom(name_part)) {
            name = atom_bytes(name_part);
        } else if (atom_is_char(right_of(name_part), '}')) {
            // "N()\value": an empty call list marks an unshared definition.
            unshared = true;
            if (is_atom(left_of(name_part))) name = atom_bytes(left_of(name_part));
        } else {
            continue;
        }
        if (!IsDefinableName(name)) continue;
        std::string key = ShortSpelling(name);
        if (key == "\\" || key == "{") {
            record.Position = static_cast<int64_t>(start);
            record.Type = ReportType::Built;
            record.Text = "Built in function [" + key + "] cannot be re-defined.";
            return;
        }
        if (find_builtin(key)) redefined_builtins().insert(key);
        if (unshared) {
            table[key] = apply(CellRef::atom("I"), tree.right());
            settled()[key] = true;
        } else {
            table[key] = tree.right();
            settled().erase(key);
        }
    }
}
