// The fast tier's machine: one loop over an explicit stack of continuation frames on the heap,
// so that no evaluation recurses on the native stack however deep the program goes.
//
// Registers: the node being entered, the base of the running call's frame of slots and the
// floor where that call's first frame began, and the value just produced. Entering a node either
// produces its value at once or pushes a frame saying how to continue and enters a part; a value
// produced is given to the frame on top. Operands are pushed on the slot stack above the frames,
// and a call's operands become its callee's frame where they lie.
//
// A node is evaluated in tail position of its call when, once its own frame is gone, the frame on
// top is the call's Return. A subterm handed to the reducer there is handed over applied to the
// arguments of the applications waiting below (ApplyHead and ApplyCall frames, through the
// Returns of the calls in their tail positions): the reducer holds them as argument frames, and
// a lazy combinator there takes them unevaluated.
#include <vector>


#include "core/classify.h"
#include "core/values.h"
#include "engine/fast_tier.h"

namespace fast {

namespace {

enum class Resume : uint8_t {
    Return,     // a call's end: its frame released, the caller's registers back
    Operands,   // a node whose parts are being evaluated onto the slot stack, `next` the part
    Bind,       // the bound term of a Bind: into its slot, then the body
    ApplyHead,  // an Apply's head (a call) being evaluated; all its arguments wait
    ApplyCall,  // a call of an Apply's function running; its arguments from `next` on wait
    ApplyArg,   // an argument of an Apply being evaluated for the function it applies
};

constexpr uint32_t kNone = ~uint32_t{0};

struct Frame {
    const Node* node;  // Return: null
    uint32_t base;     // the frame of slots the node reads; Return: the caller's
    uint32_t mark;     // Return: the caller's floor; Apply*: the slot holding the function applied
    uint32_t top;      // ApplyArg: where the callee's frame begins
    Resume kind;
    uint8_t next;  // Operands: the part being evaluated; Apply*: the first argument not taken
    uint8_t end;   // ApplyArg: the argument after the last one the function takes now
};

// The parts a node evaluates onto the slot stack before it acts: a Select's are its test's.
const std::vector<Node*>& operand_parts(const Node* n) {
    return n->kind == NodeKind::Select ? n->parts[0]->parts : n->parts;
}

class Machine : TierBase {
public:
    CellRef run(const CellRef& main, CellRef argument) {
        Code* code = compiler_.main_code(main);
        if (!code) return reduce_main(main, std::move(argument));
        try {
            slots_.resize(code->frame_size);
            slots_[0] = value_of(std::move(argument));
            frames_.push_back(Frame{nullptr, kNone, 0, 0, Resume::Return, 0, 0});
            base_ = floor_ = 0;
            loop(code->entry);
            return cell_of(value_);
        } catch (CycleMark& cycle) {
            return std::move(cycle.mark);
        }
    }

private:
    std::vector<Frame> frames_;
    size_t base_ = 0;
    size_t floor_ = 0;
    Value value_;
    // The frames from this one up, answered by the last reduction: let go of once the node that
    // asked for it has put its own slots in order.
    size_t answered_ = kNone;

    void loop(const Node* n) {
        for (;;) {
            while (n) n = enter(n);
            if (answered_ != kNone) pop_answered();
            if (frames_.back().base == kNone) return;
            n = resume();
        }
    }

    void push_frame(Resume kind, const Node* n, uint8_t next = 0) {
        frames_.push_back(Frame{n, static_cast<uint32_t>(base_), 0, 0, kind, next, 0});
    }

    bool in_tail() const { return frames_.back().kind == Resume::Return; }

    // Produces the node's value or enters a part of it; returns the node to enter next, null once
    // value_ is set.
    const Node* enter(const Node* n) {
        switch (n->kind) {
            case NodeKind::Var: value_ = read(n, base_); return nullptr;
            case NodeKind::Lit: value_ = n->lit; return nullptr;
            case NodeKind::Lambda: value_ = closure(n, &slots_[base_]); return nullptr;
            case NodeKind::Global:
                if (const Value* v = settled(n))
                    value_ = *v;
                else
                    value_ = value_of(reduce_here(instantiate(n, base_)));
                return nullptr;
            case NodeKind::Generic: value_ = value_of(reduce_here(instantiate(n, base_))); return nullptr;
            case NodeKind::Prim:
                if (Value out; word_prim(n, base_, out)) {
                    value_ = std::move(out);
                    return nullptr;
                }
                return operands(n, 0);
            case NodeKind::Call:
            case NodeKind::Partial: return operands(n, 0);
            case NodeKind::Select: {
                const Node* test = n->parts[0];
                int64_t a, b;
                if (test->parts.size() == 2 && peek_words(test, base_, a, b)) {
                    if (int choice = word_test(test->op, a, b); choice >= 0) {
                        drop_last_reads(test, base_);
                        return choice ? n->parts[1] : n->parts[2];
                    }
                }
                return operands(n, 0);
            }
            case NodeKind::Bind:
                if (Value bound; leaf(n->parts[0], bound)) {
                    slots_[base_ + n->slot] = std::move(bound);
                    return n->parts[1];
                }
                push_frame(Resume::Bind, n);
                return n->parts[0];
            case NodeKind::Apply: return begin_apply(n);
        }
        return nullptr;
    }

    // The value of a part that needs no frame of its own: false, with nothing done, for others.
    [[gnu::always_inline]] bool leaf(const Node* n, Value& out) {
        switch (n->kind) {
            case NodeKind::Var: out = read(n, base_); return true;
            case NodeKind::Lit: out = n->lit; return true;
            case NodeKind::Lambda: out = closure(n, &slots_[base_]); return true;
            case NodeKind::Prim: return word_prim(n, base_, out);
            case NodeKind::Global:
                if (const Value* v = settled(n)) {
                    out = *v;
                    return true;
                }
                return false;
            default: return false;
        }
    }

    // Evaluates the node's parts from `i` on onto the slot stack, then acts.
    const Node* operands(const Node* n, size_t i) {
        const std::vector<Node*>& parts = operand_parts(n);
        for (; i < parts.size(); ++i) {
            Value v;
            if (!leaf(parts[i], v)) {
                push_frame(Resume::Operands, n, static_cast<uint8_t>(i));
                return parts[i];
            }
            slots_.push_back(std::move(v));
        }
        return act(n);
    }

    // A node whose operands lie on top of the slot stack.
    const Node* act(const Node* n) {
        size_t first = slots_.size() - operand_parts(n).size();
        switch (n->kind) {
            case NodeKind::Call: return call(n->callee, first, first);
            case NodeKind::Partial: value_ = partial(n, first); return nullptr;
            case NodeKind::Select: return choose(n, first);
            default: prim(n, first); return nullptr;
        }
    }

    void prim(const Node* n, size_t first) {
        Value* args = &slots_[first];
        Value out;
        if (integer_prim(n, args, out)) {
            value_ = std::move(out);
        } else {
            CellRef r = answer(n, args, out);
            if (!r)
                value_ = std::move(out);
            else
                value_ = value_of(is_normal_form(r.get()) ? std::move(r) : reduce_here(std::move(r)));
        }
        slots_.resize(first);
    }

    // The branch the test chooses; null when the test answered neither K nor H, the value then
    // being the reducer's for the answer applied to both branches.
    const Node* choose(const Node* n, size_t first) {
        const Node* test = n->parts[0];
        Value* args = &slots_[first];
        int choice = integer_choice(test, args);
        if (choice < 0) {
            CellRef r = call_builtin(test, args);
            if (atom_is_char(r.get(), 'K'))
                choice = 1;
            else if (atom_is_char(r.get(), 'H'))
                choice = 0;
            else
                value_ = value_of(reduce_here(apply2(std::move(r), instantiate(n->parts[1], base_),
                                                     instantiate(n->parts[2], base_))));
        }
        slots_.resize(first);
        if (choice < 0) return nullptr;
        return choice ? n->parts[1] : n->parts[2];
    }

    // Runs a saturated call of `code` whose frame is pushed at `top`; `floor` is where the call's
    // own room begins, when it gets a frame of its own (below `top` only by emptied slots).
    const Node* call(Code* code, size_t top, size_t floor) {
        const Node* entry = entry_of(code);
        count_call();
        if (project(entry, top, value_)) {
            slots_.resize(floor);
            return nullptr;
        }
        if (in_tail()) {
            base_ = slots_.replace_frame(floor_, base_, top, code->params, code->frame_size);
        } else {
            frames_.push_back(Frame{nullptr, static_cast<uint32_t>(base_), static_cast<uint32_t>(floor_), 0,
                                    Resume::Return, 0, 0});
            base_ = top;
            floor_ = floor;
            slots_.reserve_frame(top, code->frame_size);
        }
        return entry;
    }

    // Gives value_ to the frame on top; returns the node to enter next, null when value_ is
    // given on to the frame below.
    const Node* resume() {
        Frame& f = frames_.back();
        switch (f.kind) {
            case Resume::Return:
                slots_.release_frame(floor_, base_);
                base_ = f.base;
                floor_ = f.mark;
                frames_.pop_back();
                return nullptr;
            case Resume::Operands: {
                const Node* n = f.node;
                size_t next = f.next + 1;
                frames_.pop_back();
                slots_.push_back(std::move(value_));
                return operands(n, next);
            }
            case Resume::Bind: {
                const Node* n = f.node;
                frames_.pop_back();
                slots_[base_ + n->slot] = std::move(value_);
                return n->parts[1];
            }
            case Resume::ApplyHead:
            case Resume::ApplyCall: slots_[f.mark] = std::move(value_); return apply_next();
            case Resume::ApplyArg: slots_.push_back(std::move(value_)); return take_arguments(f.next + 1);
        }
        return nullptr;
    }

    // Applies a function value (a slot's, or an over-applied call's) to the node's arguments as the
    // reducer does: each argument is evaluated when the application reaches it, first to last,
    // and a call saturated before the last one runs its body before the next is taken.
    const Node* begin_apply(const Node* n) {
        push_frame(Resume::ApplyHead, n, 1);
        frames_.back().mark = static_cast<uint32_t>(slots_.size());
        slots_.push_back(Value());
        const Node* first = n->parts[0];
        if (first->kind != NodeKind::Var) return first;  // a call
        slots_[frames_.back().mark] = slots_[base_ + first->slot];
        return apply_next();
    }

    // The frame on top is an Apply's, its function in its slot: takes the next arguments.
    const Node* apply_next() {
        Frame& f = frames_.back();
        const Node* n = f.node;
        size_t count = n->parts.size() - 1;
        Value& head = slots_[f.mark];
        if (f.next > count) return finish_apply(std::move(head));
        Function* fn = head.fn();
        if (!fn || (fn->closure && fn->code->reducer_applies)) return hand_over_rest();
        f.kind = Resume::ApplyArg;
        f.top = static_cast<uint32_t>(slots_.size());
        if (!fn->closure) {
            size_t missing = static_cast<size_t>(fn->code->params) - fn->values.size();
            f.end = static_cast<uint8_t>(f.next + std::min(missing, count + 1 - f.next));
        } else {
            f.end = static_cast<uint8_t>(f.next + 1);
        }
        if (!fn->closure || fn->code->entry->kind != NodeKind::Lambda) {
            slots_.reserve(fn->values.size());
            for (const Value& v : fn->values) slots_.push_reserved(v);
        }
        return take_arguments(f.next);
    }

    // Evaluates the Apply's arguments from `i` up to its frame's end onto the slot stack, then
    // gives them to the function.
    const Node* take_arguments(size_t i) {
        Frame& f = frames_.back();
        const Node* n = f.node;
        for (; i < f.end; ++i) {
            Value v;
            if (!leaf(n->parts[i], v)) {
                f.next = static_cast<uint8_t>(i);
                return n->parts[i];
            }
            slots_.push_back(std::move(v));
        }
        f.next = f.end;
        return apply_taken();
    }

    // The function in the Apply's slot with the arguments it takes now pushed from the frame's top.
    const Node* apply_taken() {
        Frame& f = frames_.back();
        Value& head = slots_[f.mark];
        Function* fn = head.fn();
        size_t top = f.top;
        Code* code = fn->code;
        if (!fn->closure) {
            if (slots_.size() - top < static_cast<size_t>(code->params)) {
                head = extension(std::move(head), top);
                f.kind = Resume::ApplyCall;
                return apply_next();
            }
        } else if (const Node* body = code->entry; body->kind == NodeKind::Lambda) {
            Value parameter = std::move(slots_[top]);
            slots_.resize(top);
            head = closure(body, fn->values.data(), fn->values.size(), &parameter, std::move(head));
            f.kind = Resume::ApplyCall;
            return apply_next();
        }
        if (f.next > f.node->parts.size() - 1) {
            // The last call: the application's value is the call's.
            size_t mark = f.mark;
            slots_[mark].clear();
            frames_.pop_back();
            return call(code, top, mark);
        }
        f.kind = Resume::ApplyCall;
        const Node* entry = entry_of(code);
        count_call();
        if (project(entry, top, value_)) return nullptr;
        frames_.push_back(
            Frame{nullptr, static_cast<uint32_t>(base_), static_cast<uint32_t>(floor_), 0, Resume::Return, 0, 0});
        base_ = floor_ = top;
        slots_.reserve_frame(top, code->frame_size);
        return entry;
    }

    // The application's value: the function it came to.
    const Node* finish_apply(Value head) {
        size_t mark = frames_.back().mark;
        value_ = std::move(head);
        slots_.resize(mark);
        frames_.pop_back();
        return nullptr;
    }

    // What the reducer holds for the function applied to the arguments not taken yet, reduced
    // there.
    const Node* hand_over_rest() {
        Frame& f = frames_.back();
        const Node* n = f.node;
        size_t i = f.next;
        size_t base = f.base;
        size_t mark = f.mark;
        CellRef g;
        if (i == 1 && n->parts[0]->kind == NodeKind::Var) {
            g = instantiate(n, base);
        } else {
            g = cell_of(slots_[mark]);
            for (; i < n->parts.size(); ++i) g = classified_pair(std::move(g), instantiate(n->parts[i], base));
        }
        Value head = std::move(slots_[mark]);
        frames_.pop_back();
        value_ = value_of(reduce_here(std::move(g)));
        slots_.resize(mark);
        return nullptr;
    }

    // The reducer's value for g where the node producing it stands: in tail position, g applied
    // to the waiting arguments, whose frames the result then answers for.
    CellRef reduce_here(CellRef g) {
        size_t i = frames_.size() - 1;
        if (frames_[i].kind != Resume::Return || i == 0) return reduce(std::move(g));
        size_t stop = frames_.size();
        bool classified = false;
        while (i > 0 && frames_[i].kind == Resume::Return) {
            const Frame& w = frames_[i - 1];
            if (w.kind != Resume::ApplyHead && w.kind != Resume::ApplyCall) break;
            if (!classified) {
                classify(g.get());  // a pair on it is classified from its parts'
                classified = true;
            }
            for (size_t j = w.next; j < w.node->parts.size(); ++j)
                g = classified_pair(std::move(g), instantiate(w.node->parts[j], w.base));
            stop = i - 1;
            i -= 2;
        }
        if (stop < frames_.size()) answered_ = stop;
        return reduce(std::move(g));
    }

    // Lets go of the frames the last reduction answered.
    void pop_answered() {
        while (frames_.size() > answered_) {
            Frame& f = frames_.back();
            if (f.kind == Resume::Return) {
                slots_.release_frame(floor_, base_);
                base_ = f.base;
                floor_ = f.mark;
            } else {
                slots_.resize(f.mark);
            }
            frames_.pop_back();
        }
        answered_ = kNone;
    }
};

}  // namespace

CellRef machine_run(const CellRef& main, CellRef argument) {
    Machine machine;
    return machine.run(main, std::move(argument));
}

}  // namespace fast
