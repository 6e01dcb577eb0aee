// Compiling definition bodies for the fast tier. A node is compiled only where the reducer's
// rules are known to come to the same thing; everything else stays a Generic node, which the
// exact reducer runs from the very graph it would hold there.
#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_set>

#include "core/chars.h"
#include "core/classify.h"
#include "core/tables.h"
#include "engine/fast_code.h"
#include "engine/heads.h"

namespace fast {

// A head as the reducer calls it: a builtin, or a definition with parameters, named directly or
// through a parameterless definition whose settled value is such a name (an operator).
struct Head {
    Cell* atom = nullptr;
    const BuiltinEntry* builtin = nullptr;
    const CellRef* definition = nullptr;
    int params = 0;
    bool lazy = false;  // contracted as soon as it has its arguments, none evaluated
};

namespace {

// The pairs inlined calls built, kept alive by the templates that hold them.
std::unordered_set<const Cell*>& built_pairs() {
    static std::unordered_set<const Cell*> pairs;
    return pairs;
}

CellRef built_pair(CellRef f, CellRef x) {
    CellRef p = classified_pair(std::move(f), std::move(x));
    built_pairs().insert(p.get());
    return p;
}

constexpr int kCompileDepth = 200;  // deeper subterms stay Generic: compiling must not recurse far
constexpr int kMaxFrame = 127;      // scopes hold slots as int8_t

bool is_variable_atom(const Cell* c) { return is_atom(c) && is_lambda_variable(atom_bytes(c)); }

// Whether a letter still has the Prelude's meaning: `params` parameters, answering the parameter
// numbered `answer` (counted from 0) or, when `answer_atom` is given, that atom.
bool keeps_prelude_shape(const char* name, int params, int answer, const char* answer_atom = nullptr) {
    const CellRef* def = find_definition(name);
    Cell* inner = nullptr;
    if (!def || find_builtin(name) || parameter_count(def->get(), &inner) != params || !is_atom(inner)) return false;
    if (answer_atom) return atom_bytes(inner) == answer_atom;
    Cell* lambda = def->get();
    std::string_view letters[kMaxParameters];
    for (int i = 0; i < params; ++i, lambda = right_of(lambda)) letters[i] = atom_bytes(right_of(left_of(lambda)));
    for (int i = answer + 1; i < params; ++i)
        if (letters[i] == letters[answer]) return false;  // shadowed by a later parameter
    return atom_bytes(inner) == letters[answer];
}

// The value of a parameterless definition settled to an application (an operator bound to a
// partial application, say) heading a spine of `args`: the reducer rebuilds the spine around it.
// Null for any other head.
Cell* pair_alias(Cell* h, int args) {
    if (!is_atom(h) || !is_name_tag(tag_of(h)) || args > kMaxSpine) return nullptr;
    Cell* value = alias_value(name_head(atom_bytes(h)));
    return value && is_pair(value) ? value : nullptr;
}

std::optional<Head> resolve_head(Cell* h, int args) {
    for (int hop = 0; hop < 2; ++hop) {
        bool lazy = is_lazy_name(h);
        if (!lazy && !is_called_name(h)) return std::nullopt;
        NameHead named = name_head(atom_bytes(h));
        if (const BuiltinEntry* builtin = named.builtin) {
            if (lazy || arity(h) != builtin->arity) return std::nullopt;
            return Head{h, builtin, nullptr, builtin->arity};
        }
        const CellRef* def = named.definition;
        if (!def) return std::nullopt;
        Cell* inner = nullptr;
        int params = parameter_count(def->get(), &inner);
        if (params > 0) {
            if (params > kMaxParameters || arity(h) != params) return std::nullopt;
            return Head{h, nullptr, def, params, lazy};
        }
        Cell* value = alias_value(named);
        if (hop > 0 || args > kMaxSpine || !value || !is_atom(value)) return std::nullopt;
        h = value;
    }
    return std::nullopt;
}

}  // namespace

bool is_built_pair(const Cell* c) { return !built_pairs().empty() && built_pairs().count(c) != 0; }

CellRef fresh_copy(Cell* c) {
    if (!is_built_pair(c)) return CellRef(c);
    return classified_pair(fresh_copy(left_of(c)), fresh_copy(right_of(c)));
}

Compiler::Compiler() {
    select_ready_ =
        keeps_prelude_shape("K", 2, 0) && keeps_prelude_shape("H", 1, 0, "I") && keeps_prelude_shape("I", 1, 0);
    Cell* inner = nullptr;
    const CellRef* brace = find_definition("{");
    bind_ready_ = brace && !find_builtin("{") && parameter_count(brace->get(), &inner) == 3;
}

// The built pairs die with the templates: their addresses may be reused.
Compiler::~Compiler() { built_pairs().clear(); }

Code* Compiler::main_code(const CellRef& main) {
    Cell* inner = nullptr;
    const CellRef* lambda = find_definition("\\");
    if (!keeps_prelude_shape("I", 1, 0) || !lambda || parameter_count(lambda->get(), &inner) != 3) return nullptr;
    // Any other main expression (a name, say) runs as a lambda applying it: its body's template
    // with the argument in place is the very application the reducer holds.
    CellRef lambda_of_main = main;
    if (parameter_count(main.get(), &inner) != 1) {
        CellRef a = CellRef::atom("a");
        lambda_of_main = apply(apply(CellRef::atom("\\"), a), apply(main, a));
    }
    main_ = Code{lambda_of_main, 1, 1, nullptr};
    prepare(main_);
    return &main_;
}

Code* Compiler::code_of(std::string_view name, const CellRef& body, int params) {
    auto it = codes_.find(name);
    if (it == codes_.end()) {
        it = codes_.emplace(std::string(name), Code{body, params, params, nullptr}).first;
        it->second.lazy = is_lazy_tag(static_cast<unsigned char>(name[0]));
    }
    return &it->second;
}

void Compiler::prepare(Code& code) {
    if (code.entry) return;
    std::memset(scope_, -1, sizeof scope_);
    Cell* body = code.body.get();
    for (int i = 0; i < code.params; ++i) {
        scope_[atom_chars(right_of(left_of(body)))[0] - 'a'] = static_cast<int8_t>(i);
        body = right_of(body);
    }
    code.frame_size = code.params;
    code.entry = compile(body, 0, code);
    std::bitset<256> read_later;
    mark_last_reads(code.entry, read_later);
}

// Walks the body backwards in evaluation order. A value read for the last time is moved out of
// its slot, so that a builtin may find itself the only holder and work in place, as it would
// under the reducer, where the other occurrences are gone by then.
void Compiler::mark_last_reads(Node* n, std::bitset<256>& read_later) {
    switch (n->kind) {
        case NodeKind::Var:
            n->last = !read_later[n->slot];
            read_later.set(n->slot);
            break;
        case NodeKind::Lit:
        case NodeKind::Global: break;
        case NodeKind::Generic:
        case NodeKind::Lambda:
            for (auto [letter, slot] : n->free) read_later.set(slot);
            break;
        case NodeKind::Prim:
        case NodeKind::Call:
        case NodeKind::Partial:
            for (size_t i = n->parts.size(); i-- > 0;) mark_last_reads(n->parts[i], read_later);
            // A lazy head's partial application may be handed over before its parts are read.
            if (n->lazy)
                for (auto [letter, slot] : n->free) read_later.set(slot);
            break;
        case NodeKind::Apply:
            // Whether the application is handed over is known only once its head is seen, before
            // any argument is read: every value it may be instantiated with stays in its slot,
            // also while its head's call is evaluated. An inlined argument may read fewer of them
            // than its subterm holds.
            for (size_t i = n->parts.size(); i-- > 1;) mark_last_reads(n->parts[i], read_later);
            for (auto [letter, slot] : n->free) read_later.set(slot);
            mark_last_reads(n->parts[0], read_later);
            if (n->parts[0]->kind == NodeKind::Var) n->parts[0]->last = false;
            break;
        case NodeKind::Select: {
            std::bitset<256> then_reads = read_later;
            mark_last_reads(n->parts[1], then_reads);
            mark_last_reads(n->parts[2], read_later);
            read_later |= then_reads;
            // When the test answers neither K nor H, both branches are instantiated after it.
            for (const Node* branch : {n->parts[1], n->parts[2]})
                for (auto [letter, slot] : branch->free) read_later.set(slot);
            mark_last_reads(n->parts[0], read_later);
            break;
        }
        case NodeKind::Bind:
            mark_last_reads(n->parts[1], read_later);
            read_later.reset(n->slot);
            mark_last_reads(n->parts[0], read_later);
            break;
    }
}

Node* Compiler::make(NodeKind kind, Cell* c) {
    Node& n = nodes_.emplace_back();
    n.kind = kind;
    n.tmpl = c;
    n.built = is_built_pair(c);
    uint32_t vars = free_variables(c);
    for (int i = 0; i < 26; ++i)
        if ((vars >> i) & 1 && scope_[i] >= 0) n.free.emplace_back(static_cast<char>('a' + i), scope_[i]);
    return &n;
}

Node* Compiler::compile(Cell* c, int depth, Code& code) {
    classify(c);
    if (depth > kCompileDepth) return make(NodeKind::Generic, c);
    if (free_variables(c) == 0 && is_normal_form(c) && !is_built_pair(c)) {
        if (shape(c) == Shape::Lambda) return closed_lambda(c, depth);
        if (Node* named = named_definition(c)) return named;
        Node* n = make(NodeKind::Lit, c);
        n->lit = value_of(CellRef(c));
        return n;
    }
    if (is_atom(c)) {
        if (is_bound_variable(c)) {
            Node* n = make(NodeKind::Var, c);
            n->slot = static_cast<uint8_t>(scope_[atom_chars(c)[0] - 'a']);
            return n;
        }
        return compile_name(c);
    }
    if (shape(c) == Shape::Binding) return compile_bind(c, depth, code);
    if (shape(c) == Shape::Lambda) return compile_lambda(c, depth);
    return compile_spine(c, depth, code);
}

// A name standing alone: a builtin without arguments is called straight away, a parameterless
// definition read from the table.
Node* Compiler::compile_name(Cell* c) {
    if (!is_called_name(c) || arity(c) != 0) return make(NodeKind::Generic, c);
    std::string_view name = atom_bytes(c);
    if (const BuiltinEntry* builtin = called_builtin(name)) {
        if (builtin->arity != 0) return make(NodeKind::Generic, c);
        Node* n = make(NodeKind::Prim, c);
        n->builtin = builtin;
        n->head = c;
        return n;
    }
    const CellRef* def = find_definition(name);
    Cell* inner = nullptr;
    if (!def || parameter_count(def->get(), &inner) != 0) return make(NodeKind::Generic, c);
    Node* n = make(NodeKind::Global, c);
    n->definition = def;
    return n;
}

bool Compiler::is_bound_variable(const Cell* c) const {
    return is_variable_atom(c) && scope_[atom_chars(c)[0] - 'a'] >= 0;
}

// The body is compiled into code of its own, whose frame holds the captured values and then the
// parameter.
Node* Compiler::compile_lambda(Cell* c, int depth) {
    Cell* variable = right_of(left_of(c));
    uint32_t vars = free_variables(c);
    for (int i = 0; i < 26; ++i)
        if ((vars >> i) & 1 && scope_[i] < 0) return make(NodeKind::Generic, c);
    if (!is_variable_atom(variable)) return make(NodeKind::Generic, c);
    Node* n = make(NodeKind::Lambda, c);
    int captured = static_cast<int>(n->free.size());
    Code& body = lambdas_.emplace_back(Code{CellRef(c), captured + 1, captured + 1, nullptr});
    int8_t outer[26];
    std::memcpy(outer, scope_, sizeof scope_);
    std::memset(scope_, -1, sizeof scope_);
    for (int i = 0; i < captured; ++i) scope_[n->free[i].first - 'a'] = static_cast<int8_t>(i);
    scope_[atom_chars(variable)[0] - 'a'] = static_cast<int8_t>(captured);
    body.entry = compile(right_of(c), depth + 1, body);
    std::memcpy(scope_, outer, sizeof scope_);
    std::bitset<256> read_later;
    mark_last_reads(body.entry, read_later);
    // A lambda right inside is made with this closure as its maker (Machine::apply_take).
    body.reducer_applies = body.entry->kind != NodeKind::Lambda && builds_from_captured(body.entry, captured);
    n->callee = &body;
    return n;
}

Code* Compiler::suspension(const Node* n) {
    auto it = suspensions_.find(n);
    if (it != suspensions_.end()) return it->second;
    int captured = static_cast<int>(n->free.size());
    Code& body = lambdas_.emplace_back(Code{CellRef(n->tmpl), captured, captured, nullptr});
    std::memset(scope_, -1, sizeof scope_);
    for (int i = 0; i < captured; ++i) scope_[n->free[i].first - 'a'] = static_cast<int8_t>(i);
    body.entry = compile(n->tmpl, 0, body);
    std::bitset<256> read_later;
    mark_last_reads(body.entry, read_later);
    suspensions_.emplace(n, &body);
    return &body;
}

// A lambda without free variables is one function value, its cell the lambda itself: applying
// it runs its compiled body.
Node* Compiler::closed_lambda(Cell* c, int depth) {
    Node* lambda = compile_lambda(c, depth);
    Node* n = make(NodeKind::Lit, c);
    if (lambda->kind != NodeKind::Lambda) {
        n->lit = value_of(CellRef(c));
        return n;
    }
    Function* f = new_function(0);
    f->closure = true;
    f->code = lambda->callee;
    f->node = lambda;
    f->cell = CellRef(c);
    n->lit = Value::of(f);
    return n;
}

// A definition with parameters named alone: a partial application with no values yet, whose cell
// is the name. Null for any other subterm.
Node* Compiler::named_definition(Cell* c) {
    Value f = named_function(c);
    if (!f.fn()) return nullptr;
    Node* n = make(NodeKind::Lit, c);
    f.fn()->node = n;
    n->lit = std::move(f);
    return n;
}

Value Compiler::named_function(Cell* atom) {
    std::optional<Head> head = is_atom(atom) ? resolve_head(atom, 0) : std::nullopt;
    if (!head || !head->definition || head->atom != atom) return Value();
    Function* f = new_function(0);
    Value v = Value::of(f);
    f->code = code_of(atom_bytes(atom), *head->definition, head->params);
    f->cell = CellRef(atom);
    return v;
}

// Whether a node of the body may make cells from its template with a captured value (slots below
// `captured`) in them that the reducer would share with the closure's own cell: a pair holding a
// captured value but neither the parameter nor a bound value, which the reducer's substitution
// leaves as it is in the closure's body. A closure made inside always may.
bool Compiler::builds_from_captured(const Node* n, int captured) {
    switch (n->kind) {
        case NodeKind::Var:
        case NodeKind::Lit:
        case NodeKind::Global: return false;
        case NodeKind::Lambda:
            for (auto [letter, slot] : n->free)
                if (slot < captured) return true;
            break;
        case NodeKind::Generic:
        case NodeKind::Partial:
        case NodeKind::Apply:
        case NodeKind::Select:
            if (shares_captured(n, captured)) return true;
            break;
        case NodeKind::Prim:
        case NodeKind::Call:
        case NodeKind::Bind: break;
    }
    for (const Node* part : n->parts)
        if (builds_from_captured(part, captured)) return true;
    return false;
}

// Whether the node's template has a pair holding a captured value but no variable the reducer
// substitutes afresh: the parameter, a bound value, or a variable a binding inside binds. A
// lambda inside holding a captured value counts as such a pair: its own variable is substituted
// only later.
bool Compiler::shares_captured(const Node* n, int captured) {
    uint32_t captured_letters = 0, own_letters = 0;
    for (auto [letter, slot] : n->free) (slot < captured ? captured_letters : own_letters) |= uint32_t{1} << (letter - 'a');
    if (captured_letters == 0) return false;
    std::vector<std::pair<Cell*, uint32_t>> pending{{n->tmpl, own_letters}};
    while (!pending.empty()) {
        auto [c, own] = pending.back();
        pending.pop_back();
        uint32_t vars = free_variables(c);
        if (!is_pair(c) || is_data(c) || !(vars & captured_letters)) continue;
        if (!(vars & own) || shape(c) == Shape::Lambda) return true;
        if (shape(c) == Shape::Binding) {
            // ((({ v) d) r): v is substituted afresh in r when the binding is contracted.
            Cell* v = right_of(left_of(left_of(c)));
            uint32_t bound = is_atom(v) && is_lambda_variable(atom_bytes(v)) ? uint32_t{1} << (atom_chars(v)[0] - 'a') : 0;
            pending.push_back({right_of(left_of(c)), own});
            pending.push_back({right_of(c), own | bound});
            continue;
        }
        pending.push_back({left_of(c), own});
        pending.push_back({right_of(c), own});
    }
    return false;
}

Node* Compiler::compile_bind(Cell* c, int depth, Code& code) {
    Cell* variable = right_of(left_of(left_of(c)));
    if (!bind_ready_ || !is_variable_atom(variable) || code.frame_size >= kMaxFrame) return make(NodeKind::Generic, c);
    Node* n = make(NodeKind::Bind, c);
    // The slot is taken before the bound term is compiled, so that its own wings count against the frame.
    n->slot = static_cast<uint8_t>(code.frame_size++);
    Node* bound = compile(right_of(left_of(c)), depth + 1, code);
    int letter = atom_chars(variable)[0] - 'a';
    int8_t outer = scope_[letter];
    scope_[letter] = static_cast<int8_t>(n->slot);
    Node* body = compile(right_of(c), depth + 1, code);
    scope_[letter] = outer;
    n->parts = {bound, body};
    return n;
}

// A call of a definition, partial or over-applied, its arguments evaluated first.
Node* Compiler::definition_call(Cell* c, const std::vector<Cell*>& spine, Cell* h, const Head& head, int depth,
                                Code& code) {
    int m = static_cast<int>(spine.size());
    auto compile_args = [&](Node* n, int count) {
        for (int i = 0; i < count; ++i) n->parts.push_back(compile(right_of(spine[i]), depth + 1, code));
    };
    // Through an alias the reducer rebuilds the spine: only a named definition is partial or
    // over-applied here.
    bool partial = m < head.params && head.atom == h;
    bool over = m > head.params && head.atom == h;
    if (over) {
        // The call's value applied to the other arguments.
        Node* n = make(NodeKind::Apply, c);
        Node* call = make(NodeKind::Call, spine[head.params - 1]);
        compile_args(call, head.params);
        call->callee = code_of(atom_bytes(head.atom), *head.definition, head.params);
        n->parts.push_back(call);
        for (int i = head.params; i < m; ++i) n->parts.push_back(compile(right_of(spine[i]), depth + 1, code));
        return n;
    }
    if (m != head.params && !partial) return make(NodeKind::Generic, c);
    Node* n = make(partial ? NodeKind::Partial : NodeKind::Call, c);
    compile_args(n, m);
    n->callee = code_of(atom_bytes(head.atom), *head.definition, head.params);
    return n;
}

// A lazy head takes its arguments unevaluated. Given all it takes, the reducer goes on with its
// body with them in place, and that is what is compiled. Otherwise it is called like a strict
// head where evaluating its arguments changes nothing; a partial application of it is made like
// a strict one unless arguments wait for it (Op::LazyCheck).
Node* Compiler::lazy_call(Cell* c, const std::vector<Cell*>& spine, Cell* h, const Head& head, int depth,
                          Code& code) {
    int m = static_cast<int>(spine.size());
    if (m >= head.params) {
        if (Cell* inlined = inlined_call(spine, head)) return compile(inlined, depth + 1, code);
    }
    Node* n = definition_call(c, spine, h, head, depth, code);
    const std::vector<Node*>& args =
        n->kind == NodeKind::Apply ? n->parts[0]->parts : n->parts;  // an over-applied call's own
    bool values = std::all_of(args.begin(), args.end(), is_value_node);
    if (n->kind == NodeKind::Apply)
        values = values && std::all_of(n->parts.begin() + 1, n->parts.end(), is_value_node);
    if (values || n->kind == NodeKind::Generic) return n;
    if (n->kind == NodeKind::Partial) {
        n->lazy = true;
        return n;
    }
    return make(NodeKind::Generic, c);
}

// The body of a lazy definition with the spine's arguments in place of its parameters, as the
// reducer's contraction leaves it, applied to any further arguments; null when the body is not a
// small combination of its parameters and names (a lambda in it would need renaming). Subterms
// holding no parameter are the body's own cells, shared, as the reducer shares them.
Cell* Compiler::inlined_call(const std::vector<Cell*>& spine, const Head& head) {
    constexpr int kMostCells = 64;
    Cell* body = head.definition->get();
    char letters[kMaxParameters];
    uint32_t parameters = 0;
    for (int i = 0; i < head.params; ++i, body = right_of(body)) {
        letters[i] = atom_chars(right_of(left_of(body)))[0];
        parameters |= uint32_t{1} << (letters[i] - 'a');
    }
    int cells = 0;
    std::vector<Cell*> pending{body};
    while (!pending.empty()) {
        Cell* x = pending.back();
        pending.pop_back();
        classify(x);
        if (++cells > kMostCells || shape(x) == Shape::Lambda || shape(x) == Shape::Binding) return nullptr;
        if (is_pair(x) && !is_data(x)) {
            pending.push_back(left_of(x));
            pending.push_back(right_of(x));
        }
    }
    // The argument of the last parameter of a letter: an inner parameter hides an outer one.
    auto argument_of = [&](char letter) -> Cell* {
        for (int i = head.params - 1; i >= 0; --i)
            if (letters[i] == letter) return right_of(spine[i]);
        return nullptr;
    };
    auto place = [&](auto& self, Cell* x) -> CellRef {
        if ((free_variables(x) & parameters) == 0) return CellRef(x);
        if (is_atom(x)) return CellRef(argument_of(atom_chars(x)[0]));
        return built_pair(self(self, left_of(x)), self(self, right_of(x)));
    };
    CellRef g = place(place, body);
    for (size_t i = head.params; i < spine.size(); ++i) g = built_pair(std::move(g), CellRef(right_of(spine[i])));
    inlined_.push_back(std::move(g));
    return inlined_.back().get();
}

Node* Compiler::compile_spine(Cell* c, int depth, Code& code) {
    std::vector<Cell*> spine;  // spine[i]: the application holding i + 1 arguments
    Cell* h = c;
    while (is_pair(h) && !is_data(h) && spine.size() <= static_cast<size_t>(kMaxSpine)) {
        spine.push_back(h);
        h = left_of(h);
    }
    int m = static_cast<int>(spine.size());
    std::reverse(spine.begin(), spine.end());
    if (is_bound_variable(h) && m <= kMaxSpine) {
        Node* n = make(NodeKind::Apply, c);
        n->parts.push_back(compile(h, depth + 1, code));
        for (int i = 0; i < m; ++i) n->parts.push_back(compile(right_of(spine[i]), depth + 1, code));
        return n;
    }
    if (Cell* value = pair_alias(h, m)) {
        // The reducer rebuilds the spine around the alias's value, afresh each time.
        CellRef g(value);
        for (Cell* pair : spine) g = built_pair(std::move(g), CellRef(right_of(pair)));
        inlined_.push_back(std::move(g));
        return compile(inlined_.back().get(), depth + 1, code);
    }
    std::optional<Head> head = is_pair(h) ? std::nullopt : resolve_head(h, m);
    if (!head) return make(NodeKind::Generic, c);
    auto compile_args = [&](Node* n, int count) {
        for (int i = 0; i < count; ++i) n->parts.push_back(compile(right_of(spine[i]), depth + 1, code));
    };
    if (head->definition) {
        if (head->lazy) return lazy_call(c, spine, h, *head, depth, code);
        return definition_call(c, spine, h, *head, depth, code);
    }
    int k = head->params;
    if (k == 0 || k > static_cast<int>(kMaxBuiltinArity) || (m != k && !(m >= k + 2 && select_ready_)))
        return make(NodeKind::Generic, c);
    Node* test = make(NodeKind::Prim, spine[k - 1]);
    test->builtin = head->builtin;
    test->head = head->atom;
    test->op = head->builtin->word_op;
    compile_args(test, k);
    if (m == k) return test;
    Node* n = make(NodeKind::Select, spine[k + 1]);
    n->parts = {test, compile(right_of(spine[k]), depth + 1, code), compile(right_of(spine[k + 1]), depth + 1, code)};
    if (m == k + 2) return n;
    // The branch chosen, applied to the other arguments.
    Node* apply = make(NodeKind::Apply, c);
    apply->parts.push_back(n);
    for (int i = k + 2; i < m; ++i) apply->parts.push_back(compile(right_of(spine[i]), depth + 1, code));
    return apply;
}

}  // namespace fast
