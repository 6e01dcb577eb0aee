// The fast tier's machine: each compiled body flattened into instructions over the slot stack,
// run by one loop with an explicit stack of frames on the heap, so that no evaluation recurses
// on the native stack however deep the program goes.
//
// Registers: the instruction, the base of the running call's frame of slots and the floor where
// that call's first frame began. Every instruction leaves its value on top of the slot stack; a
// call's operands become its callee's frame where they lie, and its value takes their place.
//
// Frames: a Return for each call that is not a tail call, and an Application for each
// application of a function value in progress. An instruction in tail position hands a subterm
// to the reducer applied to the arguments that wait for its call's value (the application below
// a Return marked kWaits, and on through the applications in tail position of theirs): the
// reducer holds them as argument frames, and a lazy head there takes them unevaluated. The
// answer then stands for all of those applications.
#include <algorithm>
#include <vector>

#include "core/classify.h"
#include "core/values.h"
#include "engine/fast_tier.h"

namespace fast {

namespace {

constexpr uint32_t kNone = ~uint32_t{0};
constexpr uint32_t kWaits = uint32_t{1} << 31;

// A call that is not a tail call: where its caller goes on, and the caller's registers.
struct Return {
    const Instr* pc;
    uint32_t base;   // kNone below the main expression's call
    uint32_t floor;  // with kWaits set when the call's value is applied to arguments that wait
};

// An application of a function value in progress. While the call whose Return has kWaits runs,
// its arguments from `next` on wait as the reducer's argument frames would.
struct Application {
    const Node* node;
    const Instr* end;  // the instruction after the application
    uint32_t base;     // the frame its arguments read
    uint32_t mark;     // the slot of the function applied
    uint32_t top;      // where the values for the function begin
    uint8_t next;      // the first argument not taken
    uint8_t until;     // the argument after the last one the function takes now
    bool tail;         // in tail position of its call
    bool chosen = false;  // the argument being evaluated is the application's value
};

bool is_leaf(const Node* n) { return n->kind == NodeKind::Var || n->kind == NodeKind::Lit; }

// Flattens a compiled body into the machine's instructions.
class Flattener {
public:
    explicit Flattener(std::vector<Instr>& ops) : ops_(ops) {}

    void emit(const Node* n, bool tail) {
        switch (n->kind) {
            case NodeKind::Var: add(n->last ? Op::Move : Op::Var, n).slot = n->slot; break;
            case NodeKind::Lit: add(Op::Lit, n); break;
            case NodeKind::Lambda: add(Op::Closure, n); break;
            case NodeKind::Global: add(Op::Global, n, tail); break;
            case NodeKind::Generic: add(Op::Generic, n, tail); break;
            case NodeKind::Prim:
                if (n->op != WordOp::None && n->parts.size() == 2 && is_leaf(n->parts[0]) && is_leaf(n->parts[1])) {
                    add(Op::WordPrim, n, tail);
                    break;
                }
                if (int place = literal_place(n); place >= 0) {
                    // The literal is read where the operation is: no slot held for it meanwhile.
                    emit(n->parts[1 - place], false);
                    add(Op::LitPrim, n, tail).index = static_cast<uint8_t>(place);
                    break;
                }
                parts(n->parts);
                add(Op::Prim, n, tail);
                break;
            case NodeKind::Call:
                parts(n->parts);
                add(Op::Call, n, tail);
                break;
            case NodeKind::Partial: {
                // Arguments waiting below would be taken by the lazy head unevaluated.
                size_t check = ops_.size();
                if (n->lazy && tail) add(Op::LazyCheck, n, tail);
                parts(n->parts);
                add(Op::Partial, n);
                if (n->lazy && tail) aim(check, &Instr::join, ops_.size());
                break;
            }
            case NodeKind::Bind:
                emit(n->parts[0], false);
                add(Op::Store, n).slot = n->slot;
                emit(n->parts[1], tail);
                return;
            case NodeKind::Select: select(n, tail); return;
            case NodeKind::Apply: application(n, tail); break;
        }
        if (tail) add(Op::Return, n);
    }

private:
    std::vector<Instr>& ops_;

    Instr& add(Op op, const Node* n, bool tail = false) {
        Instr& in = ops_.emplace_back();
        in.op = op;
        in.node = n;
        in.tail = tail;
        return in;
    }
    // Which operand of a word operation is a literal, the other needing work; -1 for any other.
    static int literal_place(const Node* n) {
        if (n->op == WordOp::None || n->parts.size() != 2) return -1;
        for (int place : {0, 1})
            if (n->parts[place]->kind == NodeKind::Lit && !is_leaf(n->parts[1 - place])) return place;
        return -1;
    }

    void parts(const std::vector<Node*>& nodes) {
        for (const Node* part : nodes) emit(part, false);
    }

    // The test, the branch for K, then the one for H; a value handed over goes on at the join.
    void select(const Node* n, bool tail) {
        const Node* test = n->parts[0];
        bool words = test->op != WordOp::None && test->parts.size() == 2 && is_leaf(test->parts[0]) &&
                     is_leaf(test->parts[1]);
        if (!words) parts(test->parts);
        size_t at = ops_.size();
        add(words ? Op::WordSelect : Op::Select, n, tail);
        emit(n->parts[1], tail);
        size_t jump = ops_.size();
        if (!tail) add(Op::Jump, n);
        aim(at, &Instr::target, ops_.size());
        emit(n->parts[2], tail);
        if (tail) add(Op::Return, n);  // after a value handed over
        aim(at, &Instr::join, ops_.size() - (tail ? 1 : 0));
        if (!tail) aim(jump, &Instr::target, ops_.size());
    }

    // ApplyBegin, the head's code when it is a call, then for each argument: ApplyResult,
    // ApplyFunc, the argument's code, ApplyTake. An ApplyTake's target is the next argument's
    // code; every instruction of the application joins at its end.
    void application(const Node* n, bool tail) {
        size_t begin = ops_.size();
        size_t own_select = begin;
        add(Op::ApplyBegin, n, tail);
        if (const Node* head = n->parts[0]; head->kind == NodeKind::Call) {
            parts(head->parts);
            add(Op::Call, head).head = true;
        } else if (head->kind == NodeKind::Select) {
            parts(head->parts[0]->parts);
            own_select = ops_.size();
            add(Op::ApplySelect, n, tail);
        }
        aim(begin, &Instr::target, ops_.size());
        std::vector<size_t> own{begin, own_select};
        std::vector<size_t> funcs;
        for (size_t i = 1; i < n->parts.size(); ++i) {
            add(Op::ApplyResult, n);
            own.push_back(ops_.size());
            funcs.push_back(ops_.size());
            add(Op::ApplyFunc, n).index = static_cast<uint8_t>(i);
            if (i > 1) aim(own[own.size() - 2], &Instr::target, ops_.size());
            emit(n->parts[i], false);
            own.push_back(ops_.size());
            add(Op::ApplyTake, n).index = static_cast<uint8_t>(i);
        }
        for (size_t at : own) aim(at, &Instr::join, ops_.size());
        // An ApplyFunc's target is the next argument's ApplyFunc, or the end.
        for (size_t i = 0; i < funcs.size(); ++i)
            aim(funcs[i], &Instr::target, i + 1 < funcs.size() ? funcs[i + 1] : ops_.size());
    }

    // Points the instruction at `at` to the one at `to`.
    void aim(size_t at, int32_t Instr::*field, size_t to) {
        ops_[at].*field = static_cast<int32_t>(static_cast<ptrdiff_t>(to) - static_cast<ptrdiff_t>(at));
    }
};

class Machine : TierBase {
public:
    CellRef run(const CellRef& main, CellRef argument) {
        Code* code = compiler_.main_code(main);
        if (!code) return reduce_main(main, std::move(argument));
        try {
            slots_.resize(code->frame_size);
            slots_[0] = value_of(std::move(argument));
            returns_.push_back(Return{nullptr, kNone, 0});
            base_ = floor_ = 0;
            Value v = execute(ops_of(code));
            return cell_of(v);
        } catch (CycleMark& cycle) {
            return std::move(cycle.mark);
        }
    }

private:
    HeapStack<Return> returns_;
    HeapStack<Application> applications_;
    size_t base_ = 0;
    size_t floor_ = 0;
    // The applications, with the calls above them, that the last reduction in tail position
    // answered: let go of at the Return that follows it, once the instruction has put its own
    // slots in order.
    size_t answered_ = 0;

    const Instr* ops_of(Code* code) {
        if (code->ops.empty()) flatten(code);
        return code->ops.data();
    }
    [[gnu::noinline]] void flatten(Code* code) {
        const Node* entry = entry_of(code);
        Flattener(code->ops).emit(entry, true);
    }

    Value pop() {
        size_t top = slots_.size() - 1;
        Value v = std::move(slots_[top]);
        slots_.resize(top);
        return v;
    }

    Value execute(const Instr* pc) {
        for (;;) {
            const Instr& in = *pc;
            switch (in.op) {
                case Op::Var: slots_.push_back(slots_[base_ + in.slot]); ++pc; break;
                case Op::Move: {
                    Value v = std::move(slots_[base_ + in.slot]);  // not a reference: pushing may move the slots
                    slots_.push_back(std::move(v));
                    ++pc;
                    break;
                }
                case Op::Lit: slots_.push_back(in.node->lit); ++pc; break;
                case Op::Closure: slots_.push_back(closure(in.node, &slots_[base_])); ++pc; break;
                case Op::Global:
                    if (const Value* v = settled(in.node))
                        slots_.push_back(*v);
                    else
                        slots_.push_back(value_of(reduce_here(instantiate(in.node, base_), in.tail)));
                    ++pc;
                    break;
                case Op::Generic:
                    slots_.push_back(value_of(reduce_here(instantiate(in.node, base_), in.tail)));
                    ++pc;
                    break;
                case Op::WordPrim: {
                    Value out;
                    if (word_prim(in.node, base_, out)) {
                        slots_.push_back(std::move(out));
                    } else {
                        push_leaves(in.node);
                        prim(in);
                    }
                    ++pc;
                    break;
                }
                case Op::LitPrim: {
                    Value& other = slots_[slots_.size() - 1];
                    const Value& lit = in.node->parts[in.index]->lit;
                    Value out;
                    if (other.is_word() && lit.is_word() &&
                        word_answer(in.node->op, in.index ? other.word() : lit.word(),
                                    in.index ? lit.word() : other.word(), out)) {
                        other = std::move(out);
                    } else {
                        if (in.index == 0) {
                            Value v = pop();
                            slots_.push_back(lit);
                            slots_.push_back(std::move(v));
                        } else {
                            slots_.push_back(lit);
                        }
                        prim(in);
                    }
                    ++pc;
                    break;
                }
                case Op::Prim: prim(in); ++pc; break;
                case Op::Call: {
                    size_t top = slots_.size() - in.node->parts.size();
                    pc = call(in.node->callee, top, top, in.tail, pc + 1, in.head);
                    break;
                }
                case Op::Partial: {
                    Value v = partial(in.node, slots_.size() - in.node->parts.size());
                    slots_.push_back(std::move(v));
                    ++pc;
                    break;
                }
                case Op::LazyCheck:
                    if (returns_.back().floor & kWaits) {
                        slots_.push_back(value_of(reduce_here(instantiate(in.node, base_), true)));
                        pc += in.join;
                    } else {
                        ++pc;
                    }
                    break;
                case Op::WordSelect: {
                    const Node* test = in.node->parts[0];
                    int64_t a, b;
                    if (peek_words(test, base_, a, b)) {
                        if (int choice = word_test(test->op, a, b); choice >= 0) {
                            drop_last_reads(test, base_);
                            pc = choice ? pc + 1 : pc + in.target;
                            break;
                        }
                    }
                    push_leaves(test);
                    pc = choose(in, pc);
                    break;
                }
                case Op::Select: pc = choose(in, pc); break;
                case Op::Store: {
                    Value v = pop();
                    slots_[base_ + in.slot] = std::move(v);
                    ++pc;
                    break;
                }
                case Op::Jump: pc += in.target; break;
                case Op::Return:
                    if (answered_ != 0) {
                        pc = unwind();
                        break;
                    }
                    if (returns_.back().base == kNone) return pop();
                    pc = return_value();
                    break;
                case Op::ApplyBegin: pc = apply_begin(in, pc); break;
                case Op::ApplyResult: {
                    Value v = pop();
                    slots_[applications_.back().mark] = std::move(v);
                    ++pc;
                    break;
                }
                case Op::ApplySelect: pc = apply_select(in, pc); break;
                case Op::ApplyFunc: pc = apply_function(in, pc); break;
                case Op::ApplyTake: pc = apply_take(in, pc); break;
            }
        }
    }

    // The two operands of a word instruction that was not given words, as a full one takes them.
    void push_leaves(const Node* n) {
        for (const Node* part : n->parts) slots_.push_back(part->kind == NodeKind::Var ? read(part, base_) : part->lit);
    }

    // A builtin on its operands on top, which its answer replaces.
    void prim(const Instr& in) {
        const Node* n = in.node;
        size_t first = slots_.size() - n->parts.size();
        Value* args = &slots_[first];
        Value out;
        if (!integer_prim(n, args, out)) {
            CellRef r = answer(n, args, out);
            if (r) out = value_of(is_normal_form(r.get()) ? std::move(r) : reduce_here(std::move(r), in.tail));
        }
        slots_.resize(first);
        slots_.push_back(std::move(out));
    }

    // The branch the test on top chooses: the next instruction for K, the target for H; when it
    // answers neither, the reducer's value for the answer applied to both branches, at the join.
    const Instr* choose(const Instr& in, const Instr* pc) {
        const Node* n = in.node;
        size_t first = slots_.size() - n->parts[0]->parts.size();
        CellRef answer;
        int choice = test_answer(n->parts[0], first, answer);
        Value handed;
        if (choice < 0) handed = value_of(reduce_here(branches_given(std::move(answer), n, base_), in.tail));
        slots_.resize(first);
        if (choice >= 0) return choice ? pc + 1 : pc + in.target;
        slots_.push_back(std::move(handed));
        return pc + in.join;
    }

    // The answer of a test on its operands on top, which it consumes: 1 for K, 0 for H, -1 for any
    // other answer, which is then in `answer`.
    int test_answer(const Node* test, size_t first, CellRef& answer) {
        Value* args = &slots_[first];
        if (int choice = integer_choice(test, args); choice >= 0) return choice;
        answer = call_builtin(test, args);
        if (atom_is_char(answer.get(), 'K')) return 1;
        if (atom_is_char(answer.get(), 'H')) return 0;
        return -1;
    }

    // What the reducer holds for a test's answer given the Select's two branches.
    CellRef branches_given(CellRef answer, const Node* select, size_t base) {
        CellRef g = apply2(std::move(answer), instantiate(select->parts[1], base), instantiate(select->parts[2], base));
        classify(g.get());  // a pair put on it is classified from its parts'
        return g;
    }

    // A saturated call of `code` whose frame is pushed at `top`; `floor` is where the call's own
    // room begins when it gets a frame of its own (below `top` only by emptied slots); `waits` when
    // the innermost application's arguments wait for its value. Returns where the machine goes on:
    // the callee's code, or `next` with the value on top.
    const Instr* call(Code* code, size_t top, size_t floor, bool tail, const Instr* next, bool waits = false) {
        const Instr* ops = ops_of(code);
        count_call();
        if (const Node* entry = code->entry; entry->kind == NodeKind::Var) {
            // A body that is one of its parameters: no frame made. Church numerals end so.
            Value v = std::move(slots_[top + entry->slot]);
            slots_.resize(floor);
            slots_.push_back(std::move(v));
            return next;
        }
        if (tail) {
            base_ = slots_.replace_frame(floor_, base_, top, code->params, code->frame_size);
        } else {
            returns_.push_back(
                Return{next, static_cast<uint32_t>(base_), static_cast<uint32_t>(floor_) | (waits ? kWaits : 0)});
            base_ = top;
            floor_ = floor;
            slots_.reserve_frame(top, code->frame_size);
        }
        return ops;
    }

    // The call's value, on top, in place of its frame for the caller.
    const Instr* return_value() {
        Value v = pop();
        const Instr* next = leave_call();
        slots_.push_back(std::move(v));
        return next;
    }

    // Releases the running call's frame and takes back the caller's registers; returns where the
    // caller goes on.
    const Instr* leave_call() {
        const Return& r = returns_.back();
        slots_.release_frame(floor_, base_);
        base_ = r.base;
        floor_ = r.floor & ~kWaits;
        const Instr* next = r.pc;
        returns_.pop_back();
        return next;
    }

    // The value on top answers the applications of the last reduction and the calls above them:
    // it becomes the value of the lowest of those applications.
    const Instr* unwind() {
        Value v = pop();
        const Instr* next = nullptr;
        for (; answered_ > 0; --answered_) {
            leave_call();
            const Application& a = applications_.back();
            slots_.resize(a.mark);
            next = a.end;
            applications_.pop_back();
        }
        slots_.push_back(std::move(v));
        return next;
    }

    // The reducer's value for g where the instruction stands: in tail position, g applied to the
    // arguments waiting below, whose applications the value then answers for.
    CellRef reduce_here(CellRef g, bool tail) {
        if (!tail) return reduce(std::move(g));
        size_t r = returns_.size();
        size_t a = applications_.size();
        bool classified = false;
        // returns_[r - 1] is the call in whose tail position g stands, applications_[a - 1] the
        // application its value is for when it waits.
        while (r > 0 && a > 0 && (returns_[r - 1].floor & kWaits)) {
            const Application& w = applications_[a - 1];
            if (!classified) {
                classify(g.get());  // a pair on it is classified from its parts'
                classified = true;
            }
            for (size_t j = w.next; j < w.node->parts.size(); ++j)
                g = classified_pair(std::move(g), instantiate(w.node->parts[j], w.base));
            ++answered_;
            if (!w.tail) break;
            --r;
            --a;
        }
        return reduce(std::move(g));
    }

    // Applies a function value (a slot's, or a call's) to the node's arguments as the reducer
    // does: each argument is evaluated when the application reaches it, first to last, and a call
    // saturated before the last one runs its body before the next is taken.
    const Instr* apply_begin(const Instr& in, const Instr* pc) {
        const Node* n = in.node;
        uint32_t mark = static_cast<uint32_t>(slots_.size());
        applications_.push_back(Application{n, pc + in.join, static_cast<uint32_t>(base_), mark, 0, 1, 0, in.tail});
        slots_.push_back(Value());
        const Node* first = n->parts[0];
        if (first->kind != NodeKind::Var) return pc + 1;  // a call, whose value ApplyResult takes
        slots_[mark] = slots_[base_ + first->slot];
        return pc + in.target + 1;  // past ApplyResult
    }

    // The function in the application's slot, to be given the argument `index` and as many more
    // as it takes now: its values pushed first.
    const Instr* apply_function(const Instr& in, const Instr* pc) {
        Application& f = applications_.back();
        size_t count = f.node->parts.size() - 1;
        size_t i = in.index;
        f.next = static_cast<uint8_t>(i);
        Function* fn = function_applied(f.mark);
        if (fn && fn->code->lazy && !takes_as_given(f, *fn, i)) return choose_lazily(in, pc, *fn);
        if (!fn || (fn->closure && fn->code->reducer_applies)) return hand_over_rest(in, pc);
        f.top = static_cast<uint32_t>(slots_.size());
        if (!fn->closure) {
            size_t missing = static_cast<size_t>(fn->code->params) - fn->values.size();
            f.until = static_cast<uint8_t>(i + std::min(missing, count + 1 - i));
        } else {
            f.until = static_cast<uint8_t>(i + 1);
        }
        if (!fn->closure || fn->code->entry->kind != NodeKind::Lambda) {
            slots_.reserve(fn->values.size());
            for (const Value& v : fn->values) slots_.push_reserved(v);
        }
        return pc + 1;
    }

    // A lazy head given all it takes, some of it needing work, that answers one of its parameters
    // (K, I) or a constant (H): the arguments it drops are never evaluated, and the one it
    // answers is evaluated as the reducer goes on with it. Any other is the reducer's.
    const Instr* choose_lazily(const Instr& in, const Instr* pc, Function& fn) {
        Application& f = applications_.back();
        const Node* n = f.node;
        size_t count = n->parts.size() - 1;
        size_t i = in.index;
        size_t held = fn.values.size();
        size_t missing = static_cast<size_t>(fn.code->params) - held;
        const Node* body = entry_of(fn.code);
        if (count + 1 - i < missing || (body->kind != NodeKind::Var && body->kind != NodeKind::Lit))
            return hand_over_rest(in, pc);
        size_t after = i + missing;  // the first argument left for the answer
        const Node* chosen = body->kind == NodeKind::Var && body->slot >= held ? n->parts[i + body->slot - held] : nullptr;
        if (chosen && !is_value_node(chosen)) {
            // The ones before it are let go of; a later one may read a slot the chosen one reads.
            for (size_t j = i; n->parts[j] != chosen; ++j) drop_if_last(n->parts[j], f.base);
            if (after > count && !f.tail) {
                // The application's value, with nothing waiting for it: its code here.
                f.chosen = true;
                return following(pc, body->slot - held) + 1;
            }
            // Evaluated as a call of its own, in tail position of the application or with the
            // arguments after it waiting, as the reducer evaluates it with them as its frames.
            Code* code = compiler_.suspension(chosen);
            size_t top = slots_.size();
            slots_.reserve(chosen->free.size());
            for (auto [letter, slot] : chosen->free) slots_.push_reserved(slots_[f.base + slot]);
            if (after > count) {
                uint32_t mark = f.mark;
                slots_[mark].clear();
                applications_.pop_back();
                return call(code, top, mark, true, pc + in.join);
            }
            f.next = static_cast<uint8_t>(after);
            return call(code, top, top, false, following(pc, after - i) - 1, true);  // to ApplyResult
        }
        Value answer = body->kind == NodeKind::Lit ? body->lit
                       : chosen                    ? value_node(chosen, f.base)
                                                   : fn.values[body->slot];
        for (size_t j = i; j < after; ++j)
            if (n->parts[j] != chosen) drop_if_last(n->parts[j], f.base);
        slots_[f.mark] = std::move(answer);
        if (after > count) return finish_apply(pc + in.join);
        return following(pc, after - i);
    }

    // The ApplyFunc `k` arguments after the one at pc.
    static const Instr* following(const Instr* pc, size_t k) {
        for (; k > 0; --k) pc += pc->target;
        return pc;
    }

    // The value of a node that needs no evaluation.
    Value value_node(const Node* n, size_t base) {
        switch (n->kind) {
            case NodeKind::Var: return read(n, base);
            case NodeKind::Lit: return n->lit;
            case NodeKind::Lambda: return closure(n, &slots_[base]);
            default: {
                size_t first = slots_.size();
                for (const Node* part : n->parts) slots_.push_back(value_node(part, base));
                return partial(n, first);
            }
        }
    }

    // The branch the test on top chooses becomes the function applied: a value at once, any other
    // evaluated as a call of its own with the arguments waiting for it, as the reducer evaluates
    // it with them as its frames. A test answering neither K nor H leaves the application to the
    // reducer.
    const Instr* apply_select(const Instr& in, const Instr* pc) {
        Application& f = applications_.back();
        const Node* n = f.node;
        const Node* select = n->parts[0];
        size_t first = slots_.size() - select->parts[0]->parts.size();
        CellRef answer;
        int choice = test_answer(select->parts[0], first, answer);
        slots_.resize(first);
        if (choice < 0) {
            CellRef g = branches_given(std::move(answer), select, f.base);
            for (size_t i = 1; i < n->parts.size(); ++i) g = classified_pair(std::move(g), instantiate(n->parts[i], f.base));
            uint32_t mark = f.mark;
            bool tail = f.tail;
            applications_.pop_back();
            Value v = value_of(reduce_here(std::move(g), tail));
            slots_.resize(mark);
            slots_.push_back(std::move(v));
            return pc + in.join;
        }
        const Node* branch = select->parts[choice ? 1 : 2];
        if (is_value_node(branch)) {
            slots_[f.mark] = value_node(branch, f.base);
            return pc + 2;  // ApplyFunc of the first argument
        }
        Code* code = compiler_.suspension(branch);
        size_t top = slots_.size();
        slots_.reserve(branch->free.size());
        for (auto [letter, slot] : branch->free) slots_.push_reserved(slots_[f.base + slot]);
        return call(code, top, top, false, pc + 1, true);  // to ApplyResult
    }

    // The function in the slot, a name's definition in place of the name's atom; null when it is
    // none the tier applies.
    Function* function_applied(size_t mark) {
        Value& head = slots_[mark];
        if (Function* fn = head.fn()) return fn;
        Cell* atom = head.cell();
        if (!atom || !is_atom(atom)) return nullptr;
        Value named = compiler_.named_function(atom);
        if (!named.fn()) return nullptr;
        head = std::move(named);
        return head.fn();
    }

    // Whether a lazy head may take the application's arguments from `i` on as a strict one does:
    // those it takes now need no evaluation, or they leave it unsaturated with no argument waiting
    // that could saturate it, where the reducer evaluates them too. The others wait for its value.
    bool takes_as_given(const Application& f, const Function& fn, size_t i) {
        const Node* n = f.node;
        size_t missing = static_cast<size_t>(fn.code->params) - fn.values.size();
        size_t taken = std::min(missing, n->parts.size() - i);
        bool values = std::all_of(n->parts.begin() + i, n->parts.begin() + i + taken, is_value_node);
        if (values) return true;
        return taken < missing && !(f.tail && (returns_.back().floor & kWaits));
    }

    // The argument `index` is on top: on to the next one the function takes now, or the function
    // given them all.
    const Instr* apply_take(const Instr& in, const Instr* pc) {
        Application& f = applications_.back();
        size_t i = in.index;
        size_t count = f.node->parts.size() - 1;
        if (f.chosen) {
            Value v = pop();
            slots_[f.mark] = std::move(v);
            return finish_apply(pc + in.join);
        }
        if (i + 1 < f.until) return pc + in.target;
        Value& head = slots_[f.mark];
        Function* fn = head.fn();
        size_t top = f.top;
        Code* code = fn->code;
        if (!fn->closure && slots_.size() - top < static_cast<size_t>(code->params)) {
            head = extension(std::move(head), top);
        } else if (fn->closure && code->entry->kind == NodeKind::Lambda) {
            Value parameter = pop();
            head = closure(code->entry, fn->values.data(), fn->values.size(), &parameter, std::move(head));
        } else if (i == count) {
            // The last call: the application's value is the call's.
            uint32_t mark = f.mark;
            bool tail = f.tail;
            head.clear();
            applications_.pop_back();
            return call(code, top, mark, tail, pc + in.join);
        } else {
            f.next = static_cast<uint8_t>(i + 1);
            return call(code, top, top, false, pc + 1, true);
        }
        if (i < count) return pc + 2;  // ApplyFunc of the next argument
        return finish_apply(pc + in.join);
    }

    // The application's value: the function in its slot.
    const Instr* finish_apply(const Instr* next) {
        const Application& f = applications_.back();
        uint32_t mark = f.mark;
        Value v = std::move(slots_[mark]);
        slots_.resize(mark);
        applications_.pop_back();
        slots_.push_back(std::move(v));
        return next;
    }

    // What the reducer holds for the function applied to the arguments not taken yet, reduced
    // there: the application's value.
    const Instr* hand_over_rest(const Instr& in, const Instr* pc) {
        const Application& f = applications_.back();
        const Node* n = f.node;
        size_t i = in.index;
        size_t base = f.base;
        uint32_t mark = f.mark;
        bool tail = f.tail;
        CellRef g;
        if (i == 1 && n->parts[0]->kind == NodeKind::Var) {
            g = instantiate(n, base);
        } else {
            g = cell_of(slots_[mark]);
            for (; i < n->parts.size(); ++i) g = classified_pair(std::move(g), instantiate(n->parts[i], base));
        }
        Value head = std::move(slots_[mark]);
        applications_.pop_back();
        Value v = value_of(reduce_here(std::move(g), tail));
        slots_.resize(mark);
        slots_.push_back(std::move(v));
        return pc + in.join;
    }
};

}  // namespace

CellRef machine_run(const CellRef& main, CellRef argument) {
    Machine machine;
    return machine.run(main, std::move(argument));
}

}  // namespace fast
