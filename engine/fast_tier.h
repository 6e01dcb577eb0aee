// The fast tier's steps below its machine's loop: the heap stack of frames of slots, word
// arithmetic, the builtin calls, the objects a node makes, and the hand-over of a subterm to the
// exact reducer as the graph it would hold.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/cell.h"
#include "engine/fast.h"
#include "engine/fast_code.h"
#include "engine/fast_values.h"
#include "engine/reducer.h"
#include "platform/stop.h"

namespace fast {

#ifdef QUIB_FUZZING
// Compiled calls and the reducer's steps in hand-overs, together, before a fuzzing run gives up.
constexpr uint64_t kFuzzingBudget = 200000;
#endif

// A reduction that ended on the cycle mark ends the whole run with it.
struct CycleMark {
    CellRef mark;
};

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
inline int word_test(WordOp op, int64_t a, int64_t b) {
    switch (op) {
        case WordOp::Less: return a < b;
        case WordOp::Gteq: return a >= b;
        case WordOp::Same: return a == b;
        case WordOp::Diff: return a != b;
        default: return -1;
    }
}

// Room for a stack that may grow to millions of entries: grown in place where the allocator can
// (large blocks are remapped, not copied), so that growing never holds two copies at once.
void* grow_room(void* data, size_t bytes);

// A stack of plain records (a machine's frames), grown like the slots.
template <class T>
class HeapStack {
public:
    HeapStack() = default;
    HeapStack(const HeapStack&) = delete;
    HeapStack& operator=(const HeapStack&) = delete;
    ~HeapStack() { std::free(data_); }

    size_t size() const { return size_; }
    T& operator[](size_t i) { return data_[i]; }
    T& back() { return data_[size_ - 1]; }
    void push_back(const T& t) {
        if (size_ == room_) grow();
        data_[size_++] = t;
    }
    void pop_back() { --size_; }

private:
    [[gnu::noinline]] void grow() {
        room_ = std::max<size_t>(2 * room_, 64);
        data_ = static_cast<T*>(grow_room(data_, room_ * sizeof(T)));
    }

    T* data_ = nullptr;
    size_t size_ = 0;
    size_t room_ = 0;
};

// The frames of all calls, one above the other. Every slot from the top up to `clean_` is empty,
// so a frame is reserved by moving the top (emptying only slots never used before), and the room,
// once grown, stays for the next calls. Values hold no pointers into themselves, so the room is
// grown by moving its bytes.
class SlotStack {
public:
    SlotStack() = default;
    SlotStack(const SlotStack&) = delete;
    SlotStack& operator=(const SlotStack&) = delete;
    ~SlotStack() {
        for (size_t i = 0; i < top_; ++i) data_[i].clear();
        std::free(data_);
    }

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
        if (top > top_) {
            reserve_frame(top_, top - top_);
            return;
        }
        for (size_t i = top; i < top_; ++i) data_[i].clear();
        lower_top(top);
    }
    // A tail call: the frame at `base` is let go of, and the `params` values pushed from `args`
    // on become the first slots of a frame of `frame_size`, whose base is returned. The new frame
    // stays where it was pushed, above the emptied slots, until more than kSlide of them lie above
    // `floor`, the first frame's base: only then is it moved down there, so most tail calls move
    // nothing, and a nested call above it wastes little room.
    size_t replace_frame(size_t floor, size_t base, size_t args, size_t params, size_t frame_size) {
        for (size_t i = base; i < args; ++i) data_[i].clear();
        if (args - floor > kSlide) {
            // Moving up from the bottom, each slot written is empty: below args, or a pushed
            // value's already moved down.
            for (size_t i = 0; i < params; ++i) data_[floor + i].fill(std::move(data_[args + i]));
            args = floor;
        }
        reserve_frame(args, frame_size);
        return args;
    }
    // Releases the frame at `base` and puts the top at `floor`: the slots between, left behind by
    // replace_frame, are empty.
    void release_frame(size_t floor, size_t base) {
        for (size_t i = base; i < top_; ++i) data_[i].clear();
        lower_top(floor);
    }
    // Makes the values pushed from `base` on the first slots of a frame of `frame_size`.
    void reserve_frame(size_t base, size_t frame_size) {
        size_t top = base + frame_size;
        if (top > room_) grow(top);
        clean_ = std::max(clean_, top_);
        if (top > clean_) {
            std::memset(static_cast<void*>(data_ + clean_), 0, (top - clean_) * sizeof(Value));
            clean_ = top;
        }
        top_ = top;
    }

private:
    static constexpr size_t kSlide = 8;

    void lower_top(size_t top) {
        clean_ = std::max(clean_, top_);
        top_ = top;
    }
    [[gnu::noinline]] void grow(size_t need) {
        room_ = std::max<size_t>({need, 2 * room_, 64});
        data_ = static_cast<Value*>(grow_room(data_, room_ * sizeof(Value)));
    }

    Value* data_ = nullptr;
    size_t top_ = 0;
    size_t clean_ = 0;  // the slots from the top up to here are empty; above, never used
    size_t room_ = 0;
};

// The machine's state but for its frames and registers, and the steps that do not decide what
// comes next.
class TierBase {
protected:
    Compiler compiler_;
    SlotStack slots_;

    // Counts a compiled call, where a stop signal is seen: every loop of the tier goes through
    // calls. A fuzzing run past its budget ends as the reducer's does.
    void count_call() {
        ++counters().calls;
        poll_stop_signal();
#ifdef QUIB_FUZZING
        if (counters().calls - first_calls_ + reduction_steps() - first_steps_ > kFuzzingBudget)
            throw CycleMark{CellRef::atom(")")};
#endif
    }

    // The node's subterm with the frame's values in place of its variables, exactly as the
    // reducer's substitutions would have left it (the order of the variables does not matter:
    // every pair on a path to a variable is copied, every other one shared).
    CellRef instantiate(const Node* n, size_t base);
    // The graph reduced by the exact reducer, whose cycle mark ends the run.
    CellRef reduce(CellRef g);

    // A Global's value once its body is in normal form, then kept; null while the reducer has
    // still to settle it.
    const Value* settled(const Node* n);

    [[gnu::always_inline]] Value read(const Node* n, size_t base) {
        Value& slot = slots_[base + n->slot];
        return n->last ? std::move(slot) : slot;
    }
    const Value* peek(const Node* n, size_t base) {
        if (n->kind == NodeKind::Var) return &slots_[base + n->slot];
        return n->kind == NodeKind::Lit ? &n->lit : nullptr;
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
    // Sets `out`, which is empty, to the builtin's answer when it is word arithmetic on slots and
    // literals; false, with nothing done, for any other call.
    [[gnu::always_inline]] bool word_prim(const Node* n, size_t base, Value& out) {
        int64_t a, b;
        if (n->op == WordOp::None || !peek_words(n, base, a, b) || !word_answer(n->op, a, b, out)) return false;
        drop_last_reads(n, base);
        return true;
    }
    // The arithmetic's answer on two evaluated operands when it is an integer or a boolean.
    [[gnu::always_inline]] static bool integer_prim(const Node* n, const Value* args, Value& out) {
        if (n->op == WordOp::None || n->parts.size() != 2) return false;
        if (args[0].is_word() && args[1].is_word() && word_answer(n->op, args[0].word(), args[1].word(), out))
            return true;
        return integer_answer(n->op, args[0], args[1], out);
    }
    // A comparison's answer on two evaluated operands: 1 for K, 0 for H, -1 when it has none.
    static int integer_choice(const Node* test, const Value* args) {
        if (test->parts.size() != 2) return -1;
        return args[0].is_word() && args[1].is_word() ? word_test(test->op, args[0].word(), args[1].word())
                                                      : integer_test(test->op, args[0], args[1]);
    }

    // The reducer's redex, which the handler consumes: only it may hold the arguments now, so
    // that a handler sees the reference counts that allow it to work in place.
    CellRef call_builtin(const Node* n, Value* args);
    // The builtin's answer on its evaluated arguments: null with `word` set when a C binding
    // answered a word, else the answer's cell, which may still need the reducer.
    CellRef answer(const Node* n, Value* args, Value& word);

    // The closure a Lambda node makes in a frame: its slots below `split` are read from `low`, the
    // others from `high`. A closure applied to one argument answers the closure of its inner lambda,
    // which has it as `maker`: its cell shares what the maker's holds.
    static Value closure(const Node* n, const Value* low, size_t split = ~size_t{0}, const Value* high = nullptr,
                         Value maker = Value());
    // The partial application a Partial node makes of the values pushed from `first` on, which
    // it takes.
    Value partial(const Node* n, size_t first);
    // The partial application `head` extended by the values pushed from `top` on, which it takes.
    Value extension(Value head, size_t top);

    // The code's body, compiled the first time it is called.
    const Node* entry_of(Code* code) {
        if (const Node* entry = code->entry) return entry;
        return compiled_entry(code);
    }

private:
    [[gnu::noinline]] const Node* compiled_entry(Code* code);
    Value direct_answer(const Node* n, Value* args, CellRef& r);

#ifdef QUIB_FUZZING
    uint64_t first_calls_ = counters().calls;
    uint64_t first_steps_ = reduction_steps();
#endif
};

// The reducer's result for the main expression applied to its argument, when the tier does not
// compile the main expression.
CellRef reduce_main(const CellRef& main, CellRef argument);
// The main expression's value on the machine with its own stack of continuation frames.
CellRef machine_run(const CellRef& main, CellRef argument);

}  // namespace fast
