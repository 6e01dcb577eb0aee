// The graph reducer: a machine whose state is a continuation and an expression.
// Continuation frames live on a heap stack, so the native stack stays flat however deep the work.
// The machine's frames always mean the Prelude's B and T, whatever a program defines.
#include "engine/reducer.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "core/atoms.h"
#include "core/builtins.h"
#include "core/chars.h"
#include "core/classify.h"
#include "core/datalist.h"
#include "core/tables.h"
#include "core/values.h"

namespace {

enum class FrameKind : uint8_t { Argument, Function, Binding };

// Argument x: apply the arriving value to x. Function g: apply g to the value.
// Binding (v, r): r with v replaced by the value.
struct Frame {
    FrameKind kind;
    char variable;
    CellRef cell;
};

// The machine's own atoms are the shared combinator letters.
CellRef atom(const char* s) { return s[1] == 0 ? letter_atom(s[0]) : CellRef::atom(s); }

bool is_numeral_tag(unsigned char t) { return t >= '0' && t <= '9'; }
// Atoms that may name a definition: not numerals, literals, texts, reals, marks or the binders.
bool is_name_tag(unsigned char t) {
    return !is_numeral_tag(t) && t != '[' && t != '(' && t != ' ' && t != ']' && t != ')' && t != '{' && t != '\\';
}

CellRef j_node(CellRef front, CellRef last) { return apply2(atom("J"), std::move(front), std::move(last)); }

// conv of a list-literal text in one pass: a stack of the lists begun and not yet closed, each
// holding the J-tree of its elements so far. A one-byte element stands for the tree code the
// character table pairs with it; a byte the table lacks stands for the code 401 + byte, a value
// no display character has, so that every element converts to a finite tree of its own.
CellRef convert_literal(std::string_view text) {
    std::vector<CellRef> open;
    CellRef done;
    for (unsigned char b : text) {
        if (b == '[') {
            open.push_back(atom("K"));
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
            const std::string* code = CharacterTableFind(std::string_view(reinterpret_cast<const char*>(&b), 1));
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

CellRef bit_of_byte(unsigned char c, int i) { return atom((c >> i) & 1 ? "I" : "H"); }

CellRef byte_tree(unsigned char c) {
    auto j = [](CellRef x, CellRef y) { return apply2(atom("J"), std::move(x), std::move(y)); };
    CellRef lo = j(j(bit_of_byte(c, 0), bit_of_byte(c, 1)), j(bit_of_byte(c, 2), bit_of_byte(c, 3)));
    CellRef hi = j(j(bit_of_byte(c, 4), bit_of_byte(c, 5)), j(bit_of_byte(c, 6), bit_of_byte(c, 7)));
    return apply2(atom("V"), std::move(lo), std::move(hi));
}

CellRef real_tree(const Cell* real) {
    uint64_t bits;
    std::memcpy(&bits, atom_chars(real) + 1, 8);
    std::vector<CellRef> level;
    for (int i = 0; i < 64; ++i) level.push_back(atom((bits >> i) & 1 ? "K" : "H"));
    while (level.size() > 1) {
        std::vector<CellRef> next;
        for (size_t i = 0; i < level.size(); i += 2)
            next.push_back(apply2(atom("V"), std::move(level[i]), std::move(level[i + 1])));
        level = std::move(next);
    }
    return std::move(level[0]);
}

// The counted text split into its first P bytes and the rest, P the largest power of two below L.
CellRef split_text(const Cell* text) {
    std::string_view payload = counted_payload(text);
    size_t p = 1;
    while (p * 2 < payload.size()) p *= 2;
    return apply2(atom("V"), make_counted_text(payload.substr(0, p)), make_counted_text(payload.substr(p)));
}

uint64_t steps_taken = 0;
#ifdef QUIB_FUZZING
constexpr uint64_t kFuzzingStepBudget = 100000;
#endif

class Machine {
public:
    CellRef run(CellRef e) {
        expr_ = std::move(e);
        [[maybe_unused]] const uint64_t first_step = steps_taken;
        for (;; ++steps_taken) {
#ifdef QUIB_FUZZING
            // A fuzzing build gives up after a step budget, ending as a cycle on the empty name.
            if (steps_taken - first_step > kFuzzingStepBudget) {
                stack_.clear();
                return CellRef::atom(")");
            }
#endif
            if (is_normal_form(expr_.get())) {
                if (stack_.empty()) return std::move(expr_);
                return_value();
                continue;
            }
            step();
        }
    }

private:
    struct Head {
        const BuiltinEntry* builtin;
        const CellRef* definition;
    };
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };

    struct HeadSlot {
        Cell* cell = nullptr;
        CellRef pin;
        const Head* head = nullptr;
    };
    static constexpr size_t kHeadCacheSize = 256;

    std::vector<Frame> stack_;
    CellRef expr_;
    HeadSlot head_cache_[kHeadCacheSize];
    std::unordered_map<std::string, Head, NameHash, std::equal_to<>> heads_;

    void push(FrameKind kind, CellRef cell, char variable = 0) {
        stack_.push_back(Frame{kind, variable, std::move(cell)});
    }

    void return_value() {
        Frame f = std::move(stack_.back());
        stack_.pop_back();
        switch (f.kind) {
            case FrameKind::Argument: expr_ = classified_pair(std::move(expr_), std::move(f.cell)); break;
            case FrameKind::Function: expr_ = classified_pair(std::move(f.cell), std::move(expr_)); break;
            case FrameKind::Binding: expr_ = substitute(f.cell, expr_, f.variable); break;
        }
    }

    // Evaluates the function part first, then applies it to the argument.
    void descend_function() {
        Cell* e = expr_.get();
        push(FrameKind::Argument, CellRef(right_of(e)));
        expr_ = CellRef(left_of(e));
    }
    // Evaluates the argument part under a frame that applies the function part to it.
    void descend_argument() {
        Cell* e = expr_.get();
        push(FrameKind::Function, CellRef(left_of(e)));
        expr_ = CellRef(right_of(e));
    }

    void step() {
        Cell* e = expr_.get();
        int n = arity(e);
        if (n < 0) {
            if (!replace_alias_head()) descend_function();
            return;
        }
        if (n > 0) {
            if (is_lazy_head(e) && pop_argument_frames(n)) {
                contract();
                return;
            }
            if (!is_normal_form(left_of(e)))
                descend_function();
            else
                descend_argument();
            return;
        }
        if (is_lazy_head(e) || !unreduced(e)) {
            contract();
            return;
        }
        if (shape(e) == 'i') {
            Cell* d = right_of(left_of(e));
            if (!is_normal_form(d)) {
                push_binding(e);
                return;
            }
            contract();
            return;
        }
        Cell* e1 = left_of(e);
        if (is_data(e1) || !unreduced(e1))
            descend_argument();
        else
            descend_function();
    }

    // e = ((({ v) d) r) with d unevaluated: evaluate d, then bind it in r.
    void push_binding(Cell* e) {
        Cell* v = right_of(left_of(left_of(e)));
        push(FrameKind::Binding, CellRef(right_of(e)), atom_chars(v)[0]);
        expr_ = CellRef(right_of(left_of(e)));
    }

    // An over-applied spine whose head names a parameterless definition already in normal form
    // (an operator bound to a builtin, say): the machine would descend to the head, take the
    // definition, and apply it to the arguments again on the way back. Rebuilding the spine
    // around the definition does the same in one step.
    bool replace_alias_head() {
        Cell* spine[16];
        int depth = 0;
        Cell* h = expr_.get();
        while (is_pair(h) && !is_data(h)) {
            if (depth == 16) return false;
            spine[depth++] = h;
            h = left_of(h);
        }
        if (!is_atom(h) || !is_name_tag(tag_of(h))) return false;
        const Head& head = head_of(h);
        if (head.builtin || !head.definition) return false;
        Cell* body = head.definition->get();
        if (shape(body) == 'u' || !is_normal_form(body)) return false;
        CellRef rebuilt(body);
        for (int i = depth - 1; i >= 0; --i) rebuilt = classified_pair(std::move(rebuilt), CellRef(right_of(spine[i])));
        expr_ = std::move(rebuilt);
        return true;
    }

    // Pops exactly n argument frames into the expression, or none when fewer are there.
    bool pop_argument_frames(int n) {
        if (stack_.size() < static_cast<size_t>(n)) return false;
        for (int i = 1; i <= n; ++i)
            if (stack_[stack_.size() - i].kind != FrameKind::Argument) return false;
        for (int i = 0; i < n; ++i) {
            expr_ = classified_pair(std::move(expr_), std::move(stack_.back().cell));
            stack_.pop_back();
        }
        return true;
    }

    void contract() {
        Cell* e = expr_.get();
        QUIB_CHECK(arity(e) == 0 && !is_data(e));
        QUIB_CHECK(free_variables(e) == 0);
        Cell* args[16];
        int m = 0;
        Cell* h = e;
        while (is_pair(h) && !is_data(h)) {
            if (m < 16) args[m] = right_of(h);
            ++m;
            h = left_of(h);
        }
        QUIB_CHECK(m <= 16);
        std::reverse(args, args + m);  // args[0] is a1, the innermost argument

        if (is_atom(h)) {
            unsigned char t = tag_of(h);
            if (t == '{' && atom_is_char(h, '{')) {
                Cell* d = args[1];
                if (!is_normal_form(d)) {
                    push_binding(e);
                    return;
                }
                expr_ = substitute(CellRef(args[2]), CellRef(d), atom_chars(args[0])[0]);
                return;
            }
            if (t == '\\' && atom_is_char(h, '\\')) {
                expr_ = substitute(CellRef(args[1]), CellRef(args[2]), atom_chars(args[0])[0]);
                return;
            }
            if (is_numeral_tag(t)) {
                if (atom_is_char(h, '0')) {
                    expr_ = apply(atom("K"), CellRef(args[0]));
                } else {
                    CellRef s = atom(t == '0' ? "K" : "H");
                    expr_ = apply2(atom("V"), std::move(s), numeral_remainder(atom_bytes(h)));
                }
                return;
            }
            if (t == '(') {
                size_t length = counted_length(h);
                if (length == 0)
                    expr_ = atom("Z");
                else if (length == 1)
                    expr_ = byte_tree(static_cast<unsigned char>(counted_payload(h)[0]));
                else
                    expr_ = split_text(h);
                return;
            }
            if (t == ' ') {
                expr_ = apply(real_tree(h), CellRef(args[0]));
                return;
            }
            if (t == ']') {
                settle(atom_bytes(h).substr(1), args[0]);
                return;
            }
            if (t != '[') {
                const Head& head = head_of(h);
                if (head.builtin) {
                    expr_ = head.builtin->handler(std::move(expr_));
                    return;
                }
                apply_definition(h, head.definition, args, m);
                return;
            }
        }
        // A data head with its one argument.
        Cell* a1 = args[0];
        if (IsEmptyData(h)) {
            expr_ = apply2(CellRef(a1), apply(atom("X"), atom("J")), atom("K"));
        } else if (is_atom(a1) && tag_of(a1) == 'G') {
            expr_ = apply2(atom("V"), DataFront(h), DataLast(h));
        } else {
            expr_ = apply2(CellRef(a1), apply(atom("X"), atom("J")), convert_data(h));
        }
    }

    // The head of a name atom, through a small cache keyed by the atom's address; the cache
    // holds a reference, so a cached address cannot be reused by another atom.
    const Head& head_of(Cell* h) {
        HeadSlot& slot = head_cache_[(reinterpret_cast<uintptr_t>(h) >> 4) & (kHeadCacheSize - 1)];
        if (slot.cell != h) {
            slot.head = &lookup_head(atom_bytes(h));
            slot.pin = CellRef(h);
            slot.cell = h;
        }
        return *slot.head;
    }

    // A head name's builtin (unless the program defined the name itself) and definition,
    // looked up once per run: definitions are only replaced in place while the machine runs.
    const Head& lookup_head(std::string_view name) {
        auto it = heads_.find(name);
        if (it != heads_.end()) return it->second;
        const BuiltinEntry* builtin = program_redefined_builtin(name) ? nullptr : find_builtin(name);
        return heads_.emplace(std::string(name), Head{builtin, find_definition(name)}).first->second;
    }

    void apply_definition(Cell* head_atom, const CellRef* found, Cell** args, int m) {
        QUIB_CHECK(found != nullptr);
        CellRef body = *found;
        char params[16];
        int j = 0;
        while (shape(body.get()) == 'u') {
            QUIB_CHECK(j < 16);
            params[j++] = atom_chars(right_of(left_of(body.get())))[0];
            body = body.right();
        }
        if (j > 0) {
            QUIB_CHECK(j == m);
            for (int i = j - 1; i >= 0; --i) body = substitute(body, CellRef(args[i]), params[i]);
            expr_ = std::move(body);
            return;
        }
        if (is_normal_form(body.get())) {
            expr_ = std::move(body);
            return;
        }
        std::string_view name = atom_bytes(head_atom);
        SettledTable& table = settled();
        auto it = table.find(name);
        if (it == table.end()) {
            table.emplace(std::string(name), false);
            expr_ = apply(CellRef::atom("]" + std::string(name)), std::move(body));
        } else if (it->second) {
            expr_ = std::move(body);
        } else {
            // Demanded while its own value is being computed: the run ends with the cycle mark.
            stack_.clear();
            expr_ = CellRef::atom(")" + std::string(name));
        }
    }

    void settle(std::string_view name, Cell* value) {
        auto def = definitions().find(name);
        QUIB_CHECK(def != definitions().end());
        QUIB_CHECK(is_normal_form(value));
        CellRef w(value);
        if (shape(value) == 'u') w = apply(atom("I"), std::move(w));
        def->second = w;
        auto flag = settled().find(name);
        QUIB_CHECK(flag != settled().end() && !flag->second);
        flag->second = true;
        expr_ = std::move(w);
    }
};

}  // namespace

uint64_t reduction_steps() { return steps_taken; }

CellRef evaluate(CellRef expression) {
    Machine machine;
    return machine.run(std::move(expression));
}
