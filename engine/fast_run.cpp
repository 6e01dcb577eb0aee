// Running compiled bodies: frames of slots on one heap stack, tail calls that replace their frame,
// word arithmetic, and the hand-over of a subterm to the exact reducer as the graph it would hold.
// Every node is evaluated where the reducer would evaluate it in value context (no argument
// frames waiting above), which is why a nested reduction of that graph comes to the same thing.
#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "core/classify.h"
#include "core/tables.h"
#include "core/values.h"
#include "engine/fast.h"
#include "engine/fast_code.h"
#include "engine/fast_values.h"
#include "engine/reducer.h"
#include "library/registry.h"
#include "platform/stop.h"

namespace {

using fast::Code;
using fast::Function;
using fast::Node;
using fast::NodeKind;
using fast::Value;

FastCounters tier_counters;

#ifdef QUIB_FUZZING
// Compiled calls and the reducer's steps in hand-overs, together, before a fuzzing run gives up.
constexpr uint64_t kFuzzingBudget = 200000;
#endif

constexpr size_t kStackBudget = size_t{64} << 20;
constexpr size_t kFallbackStackBudget = size_t{1} << 20;

// A reduction that ended on the cycle mark ends the whole run with it.
struct CycleMark {
    CellRef mark;
};

bool is_cycle_mark(const Cell* c) {
    if (!is_atom(c) || tag_of(c) != ')') return false;
    return definition_state(atom_bytes(c).substr(1)) == DefinitionState::Evaluating;
}

// Programs read errno: nothing the tier does for itself may change it.
struct ErrnoKept {
    int saved = errno;
    ~ErrnoKept() { errno = saved; }
};

// Native stack the tier may use before it hands deeper work to the reducer, whose stack is on
// the heap: half of what this thread has left, and never more than the budget.
size_t stack_budget() {
    ErrnoKept kept;  // the main thread's attributes are read from a file, which may set errno
    pthread_attr_t attr;
    void* low = nullptr;
    size_t size = 0;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return kFallbackStackBudget;
    int failed = pthread_attr_getstack(&attr, &low, &size);
    pthread_attr_destroy(&attr);
    uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    uintptr_t bottom = reinterpret_cast<uintptr_t>(low);
    if (failed || here <= bottom || here - bottom > size) return kFallbackStackBudget;
    return std::min<size_t>(kStackBudget, (here - bottom) / 2);
}

using fast::boolean_value;
using fast::cell_of;
using fast::word_value;

// The builtin's answer on two canonical integers, when a machine word holds it.
[[gnu::always_inline]] inline bool word_answer(WordOp op, int64_t a, int64_t b, Value& out) {
    int64_t r;
    switch (op) {
        case WordOp::Plus:
            if (__builtin_add_overflow(a, b, &r)) return false;
            out = word_value(r);
            return true;
        case WordOp::Dash:
            if (__builtin_sub_overflow(a, b, &r)) return false;
            out = word_value(r);
            return true;
        case WordOp::Mult:
            if (__builtin_mul_overflow(a, b, &r)) return false;
            out = word_value(r);
            return true;
        case WordOp::Less: out = boolean_value(a < b); return true;
        case WordOp::Gteq: out = boolean_value(a >= b); return true;
        case WordOp::Same: out = boolean_value(a == b); return true;
        case WordOp::Diff: out = boolean_value(a != b); return true;
        default: return false;
    }
}

// A comparison's answer on two words: 1 for K, 0 for H, -1 when it is no comparison.
int word_test(WordOp op, int64_t a, int64_t b) {
    switch (op) {
        case WordOp::Less: return a < b;
        case WordOp::Gteq: return a >= b;
        case WordOp::Same: return a == b;
        case WordOp::Diff: return a != b;
        default: return -1;
    }
}

// The frames of all calls, one above the other. Every slot above the top is empty, so a frame is
// reserved by moving the top, and the room, once grown, stays for the next calls.
class SlotStack {
public:
    size_t size() const { return top_; }
    Value& operator[](size_t i) { return data_[i]; }

    void push_back(Value&& v) {
        if (top_ == room_) grow(top_ + 1);
        data_[top_++].fill(std::move(v));
    }
    void push_back(const Value& v) { push_back(Value(v)); }
    // Makes room for `count` more values, to be pushed with push_reserved: evaluating one in
    // between may grow the stack, but never takes the room back.
    void reserve(size_t count) {
        if (top_ + count > room_) grow(top_ + count);
    }
    void push_reserved(Value&& v) { data_[top_++].fill(std::move(v)); }
    void push_reserved(const Value& v) { push_reserved(Value(v)); }
    // Puts the top at `top`, emptying the slots above it: a frame released, or the first one made.
    void resize(size_t top) {
        for (size_t i = top; i < top_; ++i) data_[i].clear();
        if (top > room_) grow(top);
        top_ = top;
    }
    // A tail call: the frame at `base` is let go of, and the `params` values pushed from `args`
    // on become the first slots of a frame of `frame_size`, whose base is returned. The new frame
    // stays where it was pushed, above the emptied slots, until more than kSlide of them lie above
    // `floor`, the first frame's base: only then is it moved down there, so most tail calls move
    // nothing, and a nested call above it wastes little room.
    size_t replace_frame(size_t floor, size_t base, size_t args, size_t params, size_t frame_size) {
        Value* data = data_.get();
        for (size_t i = base; i < args; ++i) data[i].clear();
        if (args - floor > kSlide) {
            // Moving up from the bottom, each slot written is empty: below args, or a pushed
            // value's already moved down.
            for (size_t i = 0; i < params; ++i) data[floor + i].fill(std::move(data[args + i]));
            args = floor;
        }
        reserve_frame(args, frame_size);
        return args;
    }
    // Releases the frame at `base` and puts the top at `floor`: the slots between, left behind by
    // replace_frame, are empty.
    void release_frame(size_t floor, size_t base) {
        for (size_t i = base; i < top_; ++i) data_[i].clear();
        top_ = floor;
    }
    // Makes the values pushed from `base` on the first slots of a frame of `frame_size`.
    void reserve_frame(size_t base, size_t frame_size) {
        if (base + frame_size > room_) grow(base + frame_size);
        top_ = base + frame_size;
    }

private:
    static constexpr size_t kSlide = 8;

    [[gnu::noinline]] void grow(size_t need) {
        size_t room = std::max<size_t>({need, 2 * room_, 64});
        auto bigger = std::make_unique<Value[]>(room);
        for (size_t i = 0; i < top_; ++i) bigger[i] = std::move(data_[i]);
        data_ = std::move(bigger);
        room_ = room;
    }

    std::unique_ptr<Value[]> data_;
    size_t top_ = 0;
    size_t room_ = 0;
};

class Tier {
public:
    Tier() : stack_start_(reinterpret_cast<uintptr_t>(__builtin_frame_address(0))), budget_(stack_budget()) {}

    CellRef run(const CellRef& main, CellRef argument) {
        Code* code = compiler_.main_code(main);
        if (!code) {
            ++tier_counters.handovers;
            return evaluate(apply(CellRef::atom("I"), apply(main, std::move(argument))));
        }
        try {
            slots_.resize(code->frame_size);
            slots_[0] = fast::value_of(std::move(argument));
            Value v = exec(code->entry, 0, true);
            return cell_of(v);
        } catch (CycleMark& cycle) {
            return std::move(cycle.mark);
        }
    }

private:
    static constexpr size_t kNoFrame = ~size_t{0};

    fast::Compiler compiler_;
    SlotStack slots_;
    uintptr_t stack_start_;
    size_t budget_;
#ifdef QUIB_FUZZING
    uint64_t first_calls_ = tier_counters.calls;
    uint64_t first_steps_ = reduction_steps();
#endif

    // Counts a compiled call, where a stop signal is seen: every loop of the tier goes through
    // calls. A fuzzing run past its budget ends as the reducer's does.
    void count_call() {
        ++tier_counters.calls;
        poll_stop_signal();
#ifdef QUIB_FUZZING
        if (tier_counters.calls - first_calls_ + reduction_steps() - first_steps_ > kFuzzingBudget)
            throw CycleMark{CellRef::atom(")")};
#endif
    }

    bool stack_exhausted() const {
        char here;  // its address is where the stack is: asking for the frame's would cost every
                    // caller a frame pointer
        return stack_start_ - reinterpret_cast<uintptr_t>(&here) > budget_;
    }

    // The node's subterm with the frame's values in place of its variables, exactly as the
    // reducer's substitutions would have left it (the order of the variables does not matter:
    // every pair on a path to a variable is copied, every other one shared).
    CellRef instantiate(const Node* n, size_t base) {
        CellRef g(n->tmpl);
        for (auto [letter, slot] : n->free) g = substitute(g, cell_of(slots_[base + slot]), letter);
        return g;
    }

    // The arguments an application has still to take while its head is evaluated: the reducer
    // holds them as frames below the head, and a lazy combinator there takes them unevaluated, so
    // a subterm handed over in the head's tail position is handed over applied to them all.
    // `taken` then tells the applications that the result is the whole one's.
    struct Waiting {
        const Node* node;
        size_t base;
        size_t first;  // the first of node's arguments not taken yet
        Waiting* below;
        bool taken = false;
    };

    CellRef with_waiting(CellRef g, Waiting* waiting) {
        if (waiting) classify(g.get());  // a pair on it is classified from its parts'
        for (Waiting* w = waiting; w; w = w->below) {
            for (size_t i = w->first; i < w->node->parts.size(); ++i)
                g = classified_pair(std::move(g), instantiate(w->node->parts[i], w->base));
            w->taken = true;
        }
        return g;
    }

    CellRef reduce(CellRef g, Waiting* waiting = nullptr) {
        g = with_waiting(std::move(g), waiting);
        ++tier_counters.handovers;
        CellRef r = evaluate(std::move(g));
        if (is_cycle_mark(r.get())) throw CycleMark{std::move(r)};
        return r;
    }

    Value handover(const Node* n, size_t base, Waiting* waiting = nullptr) {
        return fast::value_of(reduce(instantiate(n, base), waiting));
    }

    // Once settled, the body is the value itself, and stays; until then the reducer settles it, or
    // meets the cycle.
    Value global(const Node* n, size_t base, Waiting* waiting = nullptr) {
        if (n->settled) return *n->settled;
        if (!is_normal_form(n->definition->get())) return handover(n, base, waiting);
        n->settled = std::make_unique<Value>(fast::value_of(*n->definition));
        return *n->settled;
    }

    [[gnu::always_inline]] Value read(const Node* n, size_t base) {
        Value& slot = slots_[base + n->slot];
        return n->last ? std::move(slot) : slot;
    }

    // Variables and literals need no evaluation of their own; builtin calls, partial applications
    // and closures nest no deeper than the compiled body, so only calls need the stack check of exec.
    [[gnu::always_inline]] Value argument(const Node* n, size_t base) {
        if (__builtin_expect(n->kind == NodeKind::Var, 1)) return read(n, base);
        switch (n->kind) {
            case NodeKind::Lit: return n->lit;
            case NodeKind::Prim: return prim(n, base);
            case NodeKind::Partial: return partial(n, base);
            case NodeKind::Lambda: return closure(n, &slots_[base]);
            case NodeKind::Global: return global(n, base);
            case NodeKind::Apply:
                if (const Node* last = answered_argument(n, base)) {
                    count_call();
                    discard(n->parts[1], base);
                    return last->kind == NodeKind::Var ? read(last, base) : exec(last, base, false);
                }
                return exec(n, base, false);
            default: return exec(n, base, false);
        }
    }

    // Evaluates a builtin call's arguments first to last.
    void arguments(const Node* n, size_t base, Value* args) {
        for (size_t i = 0; i < n->parts.size(); ++i) args[i] = argument(n->parts[i], base);
    }

    // The reducer's redex, which the handler consumes: only it may hold the arguments now, so
    // that a handler sees the reference counts that allow it to work in place.
    CellRef call_builtin(const Node* n, Value* args) {
        CellRef app(n->head);
        for (size_t i = 0; i < n->parts.size(); ++i) {
            app = classified_pair(std::move(app), fast::take_cell(args[i]));
        }
        return invoke_builtin(*n->builtin, std::move(app));
    }

    // The words of two operands that are slots or literals, read in place; false for any other
    // operands.
    bool peek_words(const Node* n, size_t base, int64_t& a, int64_t& b) {
        const Value* x = peek(n->parts[0], base);
        const Value* y = peek(n->parts[1], base);
        if (!x || !y || !x->is_word() || !y->is_word()) return false;
        a = x->word();
        b = y->word();
        return true;
    }
    // Empties the slots the node's operands read for the last time, once their words are used
    // in place: what moving them out would have done.
    void drop_last_reads(const Node* n, size_t base) {
        drop_if_last(n->parts[0], base);
        drop_if_last(n->parts[1], base);
    }
    void drop_if_last(const Node* n, size_t base) {
        if (n->kind == NodeKind::Var && n->last) slots_[base + n->slot].clear();
    }
    const Value* peek(const Node* n, size_t base) {
        if (n->kind == NodeKind::Var) return &slots_[base + n->slot];
        return n->kind == NodeKind::Lit ? &n->lit : nullptr;
    }

    // Word arithmetic on slots and literals is done in line; anything else in full.
    Value prim(const Node* n, size_t base, Waiting* waiting = nullptr) {
        Value out;
        if (word_prim(n, base, out)) return out;
        return full_prim(n, base, waiting);
    }

    // Sets `out`, which is empty, to the builtin's answer when it is word arithmetic on slots and
    // literals; false, with nothing done, for any other call.
    [[gnu::always_inline]] bool word_prim(const Node* n, size_t base, Value& out) {
        int64_t a, b;
        if (n->op == WordOp::None || !peek_words(n, base, a, b) || !word_answer(n->op, a, b, out)) return false;
        drop_last_reads(n, base);
        return true;
    }

    Value full_prim(const Node* n, size_t base, Waiting* waiting) {
        if (n->parts.size() == 2) {  // the arithmetic, comparisons and many bindings: no room for eight
            Value args[2] = {argument(n->parts[0], base), argument(n->parts[1], base)};
            Value out;
            if (n->op != WordOp::None) {
                if (args[0].is_word() && args[1].is_word() && word_answer(n->op, args[0].word(), args[1].word(), out))
                    return out;
                if (fast::integer_answer(n->op, args[0], args[1], out)) return out;
            }
            return answer(n, args, waiting);
        }
        Value args[fast::kMaxBuiltinArity];
        arguments(n, base, args);
        return answer(n, args, waiting);
    }

    // A C binding takes words as they are: no numeral is written for it, no redex built.
    Value direct_answer(const Node* n, Value* args, Waiting* waiting) {
        // Only the arguments' entries are made: zeroing all of them would cost more than the call.
        union Entries {
            Entries() {}
            WordOrCell in[fast::kMaxBuiltinArity];
        } entries;
        WordOrCell* in = entries.in;
        for (size_t i = 0; i < n->parts.size(); ++i) {
            if (args[i].is_word())
                new (&in[i]) WordOrCell{args[i].word(), nullptr};
            else  // args[i] keeps the cell
                new (&in[i]) WordOrCell{0, args[i].cell() ? args[i].cell() : cell_of(args[i]).get()};
        }
        int64_t word = 0;
        CellRef r = invoke_direct(*n->builtin, in, word);
        if (!r) return word_value(word);
        if (!is_normal_form(r.get())) r = reduce(std::move(r), waiting);
        return fast::value_of(std::move(r));
    }

    Value answer(const Node* n, Value* args, Waiting* waiting) {
        if (n->builtin->direct) return direct_answer(n, args, waiting);
        CellRef r = call_builtin(n, args);
        if (!is_normal_form(r.get())) r = reduce(std::move(r), waiting);
        return fast::value_of(std::move(r));
    }

    // The branch the test chooses; null when the test answered neither K nor H, the result then
    // being the reducer's for the answer applied to both branches.
    const Node* select(const Node* n, size_t base, Value& result, Waiting* waiting) {
        const Node* test = n->parts[0];
        CellRef r;
        if (test->parts.size() == 2) {
            int64_t a, b;
            if (peek_words(test, base, a, b)) {
                if (int choice = word_test(test->op, a, b); choice >= 0) {
                    drop_last_reads(test, base);
                    return choice ? n->parts[1] : n->parts[2];
                }
            }
            Value args[2] = {argument(test->parts[0], base), argument(test->parts[1], base)};
            int choice = args[0].is_word() && args[1].is_word() ? word_test(test->op, args[0].word(), args[1].word())
                                                                : fast::integer_test(test->op, args[0], args[1]);
            if (choice >= 0) return choice ? n->parts[1] : n->parts[2];
            r = call_builtin(test, args);
        } else {
            Value args[fast::kMaxBuiltinArity];
            arguments(test, base, args);
            r = call_builtin(test, args);
        }
        if (atom_is_char(r.get(), 'K')) return n->parts[1];
        if (atom_is_char(r.get(), 'H')) return n->parts[2];
        result = fast::value_of(
            reduce(apply2(std::move(r), instantiate(n->parts[1], base), instantiate(n->parts[2], base)), waiting));
        return nullptr;
    }

    // Pushes the node's parts, evaluated first to last: the frame of a call.
    [[gnu::always_inline]] Code* push_arguments(const Node* n, size_t base) {
        slots_.reserve(n->parts.size());
        for (const Node* part : n->parts) slots_.push_reserved(argument(part, base));
        return n->callee;
    }

    Value partial(const Node* n, size_t base) {
        auto* f = fast::new_function(n->parts.size());
        Value v = Value::of(f);
        f->code = n->callee;
        f->node = n;
        for (const Node* arg : n->parts) f->values.push_back(argument(arg, base));
        fast::set_shortcut(*f);
        fast::object_made(v);
        return v;
    }

    // The closure a Lambda node makes in a frame: its slots below `split` are read from `low`, the
    // others from `high`. A closure applied to one argument answers the closure of its inner lambda,
    // which has it as `maker`: its cell shares what the maker's holds.
    static Value closure(const Node* n, const Value* low, size_t split = ~size_t{0}, const Value* high = nullptr,
                         Value maker = Value()) {
        auto* f = fast::new_function(n->free.size());
        Value v = Value::of(f);
        f->closure = true;
        f->code = n->callee;
        f->node = n;
        f->parent = std::move(maker);
        for (auto [letter, slot] : n->free) f->values.push_back(slot < split ? low[slot] : high[slot - split]);
        fast::set_shortcut(*f);
        fast::object_made(v);
        return v;
    }

    // Runs a saturated call whose frame is pushed at `top`, below any later argument: its value
    // is applied to them next.
    Value call(Code* code, size_t top, Waiting* waiting) {
        const Node* entry = entry_of(code);
        count_call();
        if (Value v; project(entry, top, v)) return v;
        slots_.reserve_frame(top, code->frame_size);
        Value v = exec(entry, top, true, waiting);
        slots_.resize(top);
        return v;
    }

    // The code's body, compiled the first time it is called.
    const Node* entry_of(Code* code) {
        if (const Node* entry = code->entry) return entry;
        return compiled_entry(code);
    }
    [[gnu::noinline]] const Node* compiled_entry(Code* code) {
        compiler_.prepare(*code);
        return code->entry;
    }

    // A body that is one of its parameters answers the value pushed for it at `top`, with no
    // frame made: Church numerals end in such bodies.
    bool project(const Node* entry, size_t top, Value& result) {
        if (entry->kind != NodeKind::Var) return false;
        result = std::move(slots_[top + entry->slot]);
        slots_.resize(top);
        return true;
    }

    // The common application, kept on the path of saturated calls: a function in a slot given
    // exactly the arguments it lacks, its frame pushed and its code returned; null for any other.
    // The function's values are pushed before any argument is evaluated, so the slot need not be
    // held: nothing is read from the function after that.
    [[gnu::always_inline]] Code* saturating_application(const Node* n, size_t base) {
        const Node* first = n->parts[0];
        if (first->kind != NodeKind::Var) return nullptr;
        Function* f = slots_[base + first->slot].fn();
        size_t count = n->parts.size() - 1;
        if (!f || f->lacks != count) return nullptr;
        if (f->shortcut != fast::Shortcut::Push) {
            return f->shortcut == fast::Shortcut::Inner
                       ? inner_application(n, base, f, 1)
                       : constant_application(n, base, fast::constant_answer(*f->code));
        }
        Code* code = f->code;
        slots_.reserve(f->values.size() + count);
        for (const Value& v : f->values) slots_.push_reserved(v);
        for (size_t i = 1; i <= count; ++i) slots_.push_reserved(argument(n->parts[i], base));
        return code;
    }

    // The last argument of an application that answers it: a closure answering a closed lambda
    // that answers its parameter, given two arguments (Church numerals' zero). Its value needs no
    // frame and no pass through exec. Null for any other application.
    const Node* answered_argument(const Node* n, size_t base) {
        if (n->parts.size() != 3 || n->parts[0]->kind != NodeKind::Var) return nullptr;
        const Function* f = slots_[base + n->parts[0]->slot].fn();
        return f && f->shortcut == fast::Shortcut::Second ? n->parts[2] : nullptr;
    }

    // A closure whose body is a closed lambda g, given two arguments: the first is evaluated and
    // dropped, and g (which lives in its node) is given the second. Church numerals' zero.
    Code* constant_application(const Node* n, size_t base, const Function* g) {
        discard(n->parts[1], base);
        slots_.reserve(g->values.size() + 1);
        for (const Value& v : g->values) slots_.push_reserved(v);
        slots_.push_reserved(argument(n->parts[2], base));
        return g->code;
    }

    // A closure whose body is a lambda, given the node's arguments i and i + 1: the inner lambda's
    // frame straight from the closure's values and the first of them, whose place is kept while it
    // is evaluated. The inner lambda's closure would be dropped at once, so none is made. Null,
    // with nothing evaluated, when the tier does not apply the inner lambda so.
    Code* inner_application(const Node* n, size_t base, const Function* f, size_t i) {
        const Node* body = f->code->entry;
        Code* inner = body->callee;
        if (!fast::runs_on_frame(*inner)) return nullptr;
        size_t split = f->values.size();
        size_t parameter_slot = kNoFrame;
        slots_.reserve(body->free.size() + 1);
        for (auto [letter, slot] : body->free) {
            if (slot < split) {
                slots_.push_reserved(f->values[slot]);
            } else {
                parameter_slot = slots_.size();
                slots_.push_reserved(Value());
            }
        }
        Value parameter = argument(n->parts[i], base);
        if (parameter_slot != kNoFrame) slots_[parameter_slot] = std::move(parameter);
        slots_.push_reserved(argument(n->parts[i + 1], base));
        return inner;
    }

    // Evaluates an argument whose value is not used: a slot or a literal has nothing to evaluate.
    void discard(const Node* n, size_t base) {
        if (n->kind == NodeKind::Var)
            drop_if_last(n, base);
        else if (n->kind != NodeKind::Lit)
            argument(n, base);
    }

    // What the reducer holds for the application of `head` to the node's arguments from the i-th
    // on, reduced there.
    Value hand_over_rest(const Node* n, size_t base, Value head, size_t i, Waiting* waiting) {
        if (i == 1 && n->parts[0]->kind == NodeKind::Var) return handover(n, base, waiting);
        CellRef g = cell_of(head);
        for (; i < n->parts.size(); ++i) g = classified_pair(std::move(g), instantiate(n->parts[i], base));
        return fast::value_of(reduce(std::move(g), waiting));
    }

    // Applies a function value (a frame slot, or an over-applied call's value) to the node's
    // arguments as the reducer does: each argument is evaluated when the application reaches it,
    // first to last, and a call saturated before the last one runs its body before the next is
    // taken. Either the frame of the code that ends the application is pushed above the others
    // and the code returned, or the result is set. Kept out of exec, where it would crowd the
    // path of saturated calls.
    [[gnu::noinline]] Code* apply_function(const Node* n, size_t base, Value& result, Waiting* waiting) {
        const Node* first = n->parts[0];
        Waiting here{n, base, 1, waiting};
        Value head = first->kind == NodeKind::Var ? slots_[base + first->slot] : exec(first, base, false, &here);
        size_t count = n->parts.size() - 1;
        for (size_t i = 1; i <= count;) {
            if (here.taken) {
                result = std::move(head);
                return nullptr;
            }
            Function* f = head.fn();
            if (!f || (f->closure && f->code->reducer_applies) || stack_exhausted()) {
                result = hand_over_rest(n, base, std::move(head), i, waiting);
                return nullptr;
            }
            size_t top = slots_.size();
            Code* code = f->code;
            if (!f->closure) {
                size_t missing = static_cast<size_t>(code->params) - f->values.size();
                size_t taken = std::min(missing, count + 1 - i);
                slots_.reserve(f->values.size() + taken);
                for (const Value& v : f->values) slots_.push_reserved(v);
                for (size_t end = i + taken; i < end; ++i) slots_.push_reserved(argument(n->parts[i], base));
                if (taken < missing) {
                    result = extension(std::move(head), top);
                    return nullptr;
                }
            } else if (const Node* body = code->entry; body->kind != NodeKind::Lambda) {
                slots_.reserve(f->values.size() + 1);
                for (const Value& v : f->values) slots_.push_reserved(v);
                slots_.push_reserved(argument(n->parts[i++], base));
            } else if (Code* inner = i < count ? inner_application(n, base, f, i) : nullptr) {
                code = inner;
                i += 2;
            } else {
                Value parameter = argument(n->parts[i++], base);
                head = closure(body, f->values.data(), f->values.size(), &parameter, std::move(head));
                continue;
            }
            if (i > count) return code;
            here.first = i;
            head = call(code, top, &here);
        }
        result = std::move(head);
        return nullptr;
    }

    // The partial application `head` extended by the values pushed from `top` on, which it takes.
    Value extension(Value head, size_t top) {
        auto* g = fast::new_function(slots_.size() - top);
        Value v = Value::of(g);
        g->code = head.fn()->code;
        for (size_t i = top; i < slots_.size(); ++i) g->values.push_back(std::move(slots_[i]));
        g->parent = std::move(head);
        slots_.resize(top);
        fast::set_shortcut(*g);
        fast::object_made(v);
        return v;
    }

    // The value of n in the frame at base. An owned frame belongs to this evaluation, so a call
    // in tail position replaces it; otherwise a call gets a new frame above the others.
    Value exec(const Node* n, size_t base, bool owned, Waiting* waiting = nullptr) {
        Value result;  // the one value returned, set once (fill): built in the caller's place
        if (!owned && stack_exhausted()) {
            result.fill(handover(n, base, waiting));
            return result;
        }
        size_t floor = base;      // where the owned frame began
        bool made_frame = false;  // the owned frame is this evaluation's own, released at its end
        for (;;) {
            switch (n->kind) {
                case NodeKind::Var: result.fill(read(n, base)); break;
                case NodeKind::Lit: result.fill(Value(n->lit)); break;
                case NodeKind::Prim:
                    if (!word_prim(n, base, result)) result.fill(full_prim(n, base, waiting));
                    break;
                case NodeKind::Generic: result.fill(handover(n, base, waiting)); break;
                case NodeKind::Global: result.fill(global(n, base, waiting)); break;
                case NodeKind::Bind: {
                    Value bound = argument(n->parts[0], base);
                    slots_[base + n->slot] = std::move(bound);
                    n = n->parts[1];
                    continue;
                }
                case NodeKind::Select:
                    n = select(n, base, result, waiting);
                    if (n) continue;
                    break;
                case NodeKind::Partial: result.fill(partial(n, base)); break;
                case NodeKind::Lambda: result.fill(closure(n, &slots_[base])); break;
                case NodeKind::Call:
                case NodeKind::Apply: {
                    size_t top = slots_.size();
                    Code* code = n->kind == NodeKind::Call ? push_arguments(n, base) : saturating_application(n, base);
                    if (!code) code = apply_function(n, base, result, waiting);
                    if (!code) break;
                    const Node* entry = entry_of(code);
                    count_call();
                    if (project(entry, top, result)) break;
                    if (owned) {
                        base = slots_.replace_frame(floor, base, top, code->params, code->frame_size);
                    } else {
                        base = floor = top;
                        owned = made_frame = true;
                        slots_.reserve_frame(base, code->frame_size);
                    }
                    n = entry;
                    continue;
                }
            }
            break;
        }
        if (made_frame) slots_.release_frame(floor, base);
        return result;
    }
};

}  // namespace

CellRef fast_evaluate(const CellRef& main, CellRef argument) {
    CellRef result;
    {
        Tier tier;
        result = tier.run(main, std::move(argument));
    }
    fast::free_spare_functions();
    if (std::getenv("QUIB_FAST_STATS"))
        std::fprintf(stderr, "fast tier: %llu calls, %llu hand-overs, %llu big numerals written\n",
                     static_cast<unsigned long long>(tier_counters.calls),
                     static_cast<unsigned long long>(tier_counters.handovers),
                     static_cast<unsigned long long>(tier_counters.numerals));
    return result;
}

const FastCounters& fast_counters() { return tier_counters; }

FastCounters& fast::counters() { return tier_counters; }
