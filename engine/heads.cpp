// The head rules shared by the reducer and the fast tier's compiler.
#include "engine/heads.h"

#include "core/atoms.h"
#include "core/chars.h"
#include "core/classify.h"
#include "core/tables.h"

NameHead name_head(std::string_view name) { return NameHead{called_builtin(name), find_definition(name)}; }

const BuiltinEntry* called_builtin(std::string_view name) {
    return program_redefined_builtin(name) ? nullptr : find_builtin(name);
}

bool is_called_name(const Cell* h) {
    if (!is_atom(h)) return false;
    unsigned char t = tag_of(h);
    return is_classification_name(atom_bytes(h)) && t != '{' && t != '\\' && !is_lazy_tag(t);
}

bool is_lazy_name(const Cell* h) {
    if (!is_atom(h)) return false;
    unsigned char t = tag_of(h);
    return is_classification_name(atom_bytes(h)) && t != '{' && t != '\\' && is_lazy_tag(t);
}

Cell* alias_value(const NameHead& head) {
    if (head.builtin || !head.definition) return nullptr;
    Cell* body = head.definition->get();
    if (shape(body) == Shape::Lambda || !is_normal_form(body)) return nullptr;
    return body;
}

int parameter_count(Cell* body, Cell** inner) {
    int count = 0;
    while (shape(body) == Shape::Lambda) {
        Cell* parameter = right_of(left_of(body));
        if (!is_atom(parameter) || !is_lambda_variable(atom_bytes(parameter))) return -1;
        ++count;
        body = right_of(body);
    }
    *inner = body;
    return count;
}
