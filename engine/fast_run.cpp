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
#include "engine/fast_tier.h"
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

constexpr size_t kStackBudget = size_t{64} << 20;
constexpr size_t kFallbackStackBudget = size_t{1} << 20;

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

using fast::cell_of;
using fast::word_answer;
using fast::word_test;
using fast::word_value;

class Tier : fast::TierBase {
public:
    Tier() : stack_start_(reinterpret_cast<uintptr_t>(__builtin_frame_address(0))), budget_(stack_budget()) {}

    CellRef run(const CellRef& main, CellRef argument) {
        Code* code = compiler_.main_code(main);
        if (!code) return fast::reduce_main(main, std::move(argument));
        try {
            slots_.resize(code->frame_size);
            slots_[0] = fast::value_of(std::move(argument));
            Value v = exec(code->entry, 0, true);
            return cell_of(v);
        } catch (fast::CycleMark& cycle) {
            return std::move(cycle.mark);
        }
    }

private:
    static constexpr size_t kNoFrame = ~size_t{0};

    uintptr_t stack_start_;
    size_t budget_;

    bool stack_exhausted() const {
        char here;  // its address is where the stack is: asking for the frame's would cost every
                    // caller a frame pointer
        return stack_start_ - reinterpret_cast<uintptr_t>(&here) > budget_;
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

    CellRef reduce(CellRef g, Waiting* waiting = nullptr) { return TierBase::reduce(with_waiting(std::move(g), waiting)); }

    Value handover(const Node* n, size_t base, Waiting* waiting = nullptr) {
        return fast::value_of(reduce(instantiate(n, base), waiting));
    }

    // Once settled, the body is the value itself, and stays; until then the reducer settles it, or
    // meets the cycle.
    Value global(const Node* n, size_t base, Waiting* waiting = nullptr) {
        if (const Value* v = settled(n)) return *v;
        return handover(n, base, waiting);
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

    Value prim(const Node* n, size_t base, Waiting* waiting = nullptr) {
        Value out;
        if (word_prim(n, base, out)) return out;
        return full_prim(n, base, waiting);
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
            return answered(n, args, waiting);
        }
        Value args[fast::kMaxBuiltinArity];
        arguments(n, base, args);
        return answered(n, args, waiting);
    }

    Value answered(const Node* n, Value* args, Waiting* waiting) {
        Value word;
        CellRef r = answer(n, args, word);
        if (!r) return word;
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
        size_t first = slots_.size();
        push_arguments(n, base);
        return TierBase::partial(n, first);
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

CellRef fast::recursive_run(const CellRef& main, CellRef argument) {
    Tier tier;
    return tier.run(main, std::move(argument));
}
