// The graph reducer: a machine whose state is a continuation and an expression.
// Continuation frames live on a heap stack, so the native stack stays flat however deep the work.
// The machine's frames always mean the Prelude's B and T, whatever a program defines.
#include "engine/reducer.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "core/atoms.h"
#include "core/builtins.h"
#include "core/classify.h"
#include "core/convert.h"
#include "core/tables.h"
#include "core/values.h"
#include "engine/heads.h"
#include "library/calls.h"
#include "library/registry.h"
#include "platform/ending.h"
#include "platform/stop.h"

namespace {

enum class FrameKind : uint8_t { Argument, Function, Binding };

// Argument x: apply the arriving value to x. Function g: apply g to the value.
// Binding (v, r): r with v replaced by the value.
struct Frame {
    FrameKind kind;
    char variable;
    CellRef cell;
};

// What a saturated head does, one contraction rule each.
enum class HeadKind { Binding, Lambda, Numeral, Text, Real, Settle, Name, Data };

HeadKind head_kind(const Cell* h) {
    if (!is_atom(h)) return HeadKind::Data;
    if (is_numeral(h)) return HeadKind::Numeral;
    switch (static_cast<Tag>(tag_of(h))) {
        case Tag::Binding: return atom_is_char(h, '{') ? HeadKind::Binding : HeadKind::Name;
        case Tag::Lambda: return atom_is_char(h, '\\') ? HeadKind::Lambda : HeadKind::Name;
        case Tag::Text: return HeadKind::Text;
        case Tag::Real: return HeadKind::Real;
        case Tag::Settle: return HeadKind::Settle;
        case Tag::List: return HeadKind::Data;
        default: return HeadKind::Name;
    }
}

uint64_t steps_taken = 0;

// QUIB_STEP_LIMIT=N (off when unset or 0) lets a test harness tell non-termination from slowness
// without a clock: the run stops after N steps with its own report and status.
uint64_t read_step_limit() {
    const char* text = std::getenv("QUIB_STEP_LIMIT");
    const uint64_t limit = text ? std::strtoull(text, nullptr, 10) : 0;
    return limit ? limit : UINT64_MAX;
}
const uint64_t step_limit = read_step_limit();

[[noreturn]] void stop_at_step_limit() {
    flush_all_output();
    std::fprintf(stderr, "quib: step limit %llu reached\n", static_cast<unsigned long long>(step_limit));
    write_stop_trail();
    std::fflush(stderr);
    _exit(finish_standard_output() ? kStepLimitStatus : kReportStatus);
}

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
            if (steps_taken >= step_limit) stop_at_step_limit();
            poll_stop_signal();
            if (is_normal_form(expr_.get())) {
                if (stack_.empty()) return std::move(expr_);
                return_value();
                continue;
            }
            step();
        }
    }

private:
    using Head = NameHead;
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
        if (shape(e) == Shape::Binding) {
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
        Cell* spine[kMaxSpine];
        int depth = 0;
        Cell* h = expr_.get();
        while (is_pair(h) && !is_data(h)) {
            if (depth == kMaxSpine) return false;
            spine[depth++] = h;
            h = left_of(h);
        }
        if (!is_atom(h) || !is_name_tag(tag_of(h))) return false;
        Cell* body = alias_value(head_of(h));
        if (!body) return false;
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
        Cell* args[kMaxSpine];
        int m = 0;
        Cell* h = e;
        while (is_pair(h) && !is_data(h)) {
            if (m < kMaxSpine) args[m] = right_of(h);
            ++m;
            h = left_of(h);
        }
        QUIB_CHECK(m <= kMaxSpine);
        std::reverse(args, args + m);  // args[0] is a1, the innermost argument

        switch (head_kind(h)) {
            case HeadKind::Binding: bind(e, args); return;
            case HeadKind::Lambda:
                expr_ = substitute(CellRef(args[1]), CellRef(args[2]), atom_chars(args[0])[0]);
                return;
            case HeadKind::Numeral: expr_ = numeral_applied(h, args[0]); return;
            case HeadKind::Text: expr_ = text_applied(h); return;
            case HeadKind::Real: expr_ = real_applied(h, args[0]); return;
            case HeadKind::Settle: settle(atom_bytes(h).substr(1), args[0]); return;
            case HeadKind::Name: call_name(h, args, m); return;
            case HeadKind::Data: expr_ = data_applied(h, args[0]); return;
        }
    }

    // e = ((({ v) d) r): bind d in r once it is in normal form.
    void bind(Cell* e, Cell** args) {
        Cell* d = args[1];
        if (!is_normal_form(d)) {
            push_binding(e);
            return;
        }
        expr_ = substitute(CellRef(args[2]), CellRef(d), atom_chars(args[0])[0]);
    }

    // A builtin's handler, unless the program defined the name itself; else the definition.
    void call_name(Cell* h, Cell** args, int m) {
        const Head& head = head_of(h);
        if (head.builtin) {
            expr_ = invoke_builtin(*head.builtin, std::move(expr_));
            return;
        }
        apply_definition(h, head.definition, args, m);
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
        return heads_.emplace(std::string(name), name_head(name)).first->second;
    }

    void apply_definition(Cell* head_atom, const CellRef* found, Cell** args, int m) {
        QUIB_CHECK(found != nullptr);
        if (__builtin_expect(diagnosing(), 0)) note_definition_entered(head_atom);
        CellRef body = *found;
        char params[kMaxSpine];
        int j = 0;
        while (shape(body.get()) == Shape::Lambda) {
            QUIB_CHECK(j < kMaxSpine);
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
        DefinitionState state = definition_state(name);
        if (state == DefinitionState::Unevaluated) {
            set_definition_state(name, DefinitionState::Evaluating);
            expr_ = apply(CellRef::atom("]" + std::string(name)), std::move(body));
        } else if (state == DefinitionState::Settled) {
            expr_ = std::move(body);
        } else {
            // Demanded while its own value is being computed: the run ends with the cycle mark.
            stack_.clear();
            expr_ = CellRef::atom(")" + std::string(name));
        }
    }

    void settle(std::string_view name, Cell* value) {
        QUIB_CHECK(find_definition(name) != nullptr);
        QUIB_CHECK(is_normal_form(value));
        CellRef w(value);
        if (shape(value) == Shape::Lambda) w = apply(letter_atom('I'), std::move(w));
        set_definition(name, w);
        QUIB_CHECK(definition_state(name) == DefinitionState::Evaluating);
        set_definition_state(name, DefinitionState::Settled);
        expr_ = std::move(w);
    }
};

}  // namespace

uint64_t reduction_steps() { return steps_taken; }

bool step_limit_set() { return step_limit != UINT64_MAX; }

CellRef evaluate(CellRef expression) {
    Machine machine;
    return machine.run(std::move(expression));
}
