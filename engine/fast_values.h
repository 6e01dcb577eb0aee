// The fast tier's values: machine words, big integers in binary, and function objects (partial
// applications and closures) whose cells are made only when needed.
#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>

#include "core/builtins.h"
#include "core/cell.h"
#include "engine/fast.h"

namespace fast {

struct Node;
struct Code;

// What copies of a value share: an integer beyond a machine word, or a function. Counted without
// atomics (the tier runs on one thread); `cell` is made once, when a cell is first needed.
struct Object {
    explicit Object(bool function) : is_function(function) {}
    uint32_t refs = 0;
    bool is_function;
    bool closure = false;  // a function's kind, kept in room the header has anyway
    CellRef cell;
};

// An integer beyond a machine word, in binary; its numeral is written only for its cell.
struct BigInteger : Object {
    explicit BigInteger(mpz_class value) : Object(false), z(std::move(value)) {}
    mpz_class z;
};

struct Function;

inline void retain(Object* o) {
    if (o) ++o->refs;
}
// Frees the object and what only it held, without recursion: a list built of partial
// applications may be a million deep.
void destroy(Object* o);
inline void release(Object* o) {
    if (o && --o->refs == 0) destroy(o);
}

// A value in normal form: an integer whose numeral is canonical travels as a machine word or, when
// too big for one, in binary; a partial application of a compiled definition or a closure of a
// compiled lambda is an object (its cells made only when needed, then kept); anything else is its
// cell.
// Two words: the integer or the object, and the kind in the low bits of the cell pointer (cells
// are aligned to 8 bytes). A word keeps its numeral's cell once made; an object's lives in the
// object. A moved-from or new value is all zero bits in the second word and holds nothing.
class Value {
public:
    Value() = default;
    Value(Value&& o) noexcept : payload_(o.payload_), bits_(o.bits_) { o.bits_ = 0; }
    Value& operator=(Value&& o) noexcept {
        if (this != &o) {
            Value old(std::move(*this));
            fill(std::move(o));
        }
        return *this;
    }
    Value(const Value& o) : payload_(o.payload_), bits_(o.bits_) { hold(); }
    Value& operator=(const Value& o) {
        if (this != &o) *this = Value(o);
        return *this;
    }
    ~Value() {
        if (bits_ > kWord) let_go();
    }

    // Moves o into this value, which is empty: unlike assignment, nothing to let go of.
    [[gnu::always_inline]] void fill(Value&& o) {
        payload_ = o.payload_;
        bits_ = o.bits_;
        o.bits_ = 0;
    }
    // Empties the value, as a new one is.
    void clear() {
        if (bits_ > kWord) let_go();
        bits_ = 0;
    }

    // The value of a new object, which it holds.
    static Value of(Object* o) {
        Value v;
        v.payload_.obj = o;
        v.bits_ = o->is_function ? kFunction : kBig;
        retain(o);
        return v;
    }
    static Value word_of(int64_t w) {
        Value v;
        v.payload_.word = w;
        v.bits_ = kWord;
        return v;
    }
    // The value that is this cell and nothing more.
    static Value cell_only(CellRef c) {
        Value v;
        v.keep_cell(std::move(c));
        return v;
    }

    bool is_word() const { return (bits_ & kKindMask) == kWord; }
    int64_t word() const { return payload_.word; }
    Object* obj() const { return bits_ & kObject ? payload_.obj : nullptr; }
    BigInteger* big() const { return (bits_ & kKindMask) == kBig ? static_cast<BigInteger*>(payload_.obj) : nullptr; }
    Function* fn() const;
    // The cell made for the value so far, if any; not a reference of its own.
    Cell* cell() const {
        if (Object* o = obj()) return o->cell.get();
        return reinterpret_cast<Cell*>(bits_ & ~kKindMask);
    }
    // Keeps c as the cell of a word, or of a value that is only its cell.
    void keep_cell(CellRef c) {
        QUIB_CHECK(!obj() && !cell());
        auto bits = reinterpret_cast<uintptr_t>(c.get());
        QUIB_CHECK((bits & kKindMask) == 0);
        bits_ |= reinterpret_cast<uintptr_t>(c.release());
    }
    // Lets go of the value's own reference to its cell; an object's stays with the object.
    void forget_cell() {
        if (obj()) return;
        if (Cell* c = cell()) {
            bits_ &= kKindMask;
            drop_ref(c);
        }
    }
    // Empties the value and hands its object, if it is one, to the caller with its reference.
    Object* take_object() {
        Object* o = obj();
        if (o) bits_ = 0;
        return o;
    }

private:
    static constexpr uintptr_t kKindMask = 3;
    static constexpr uintptr_t kWord = 1;    // every higher second word holds a reference
    static constexpr uintptr_t kObject = 2;  // the bit both kinds of object have
    static constexpr uintptr_t kBig = 2;
    static constexpr uintptr_t kFunction = 3;

    void hold() {
        if (Object* o = obj())
            ++o->refs;
        else if (Cell* c = cell())
            add_ref(c);
    }
    void let_go() {
        if (Object* o = obj())
            release(o);
        else if (Cell* c = cell())
            drop_ref(c);
    }

    union {
        int64_t word;
        Object* obj;
    } payload_{0};
    uintptr_t bits_ = 0;
};

// A function's values, laid out right after it: each function is made with room for exactly the
// values it will hold, so the common ones (two or three arguments, one or two captured values)
// take no more bytes than they need.
class ValueList {
public:
    explicit ValueList(uint32_t room) : room_(room) {}
    ValueList(const ValueList&) = delete;
    ValueList& operator=(const ValueList&) = delete;

    size_t size() const { return size_; }
    size_t room() const { return room_; }
    Value* data() { return reinterpret_cast<Value*>(this + 1); }
    const Value* data() const { return reinterpret_cast<const Value*>(this + 1); }
    Value& operator[](size_t i) { return data()[i]; }
    const Value& operator[](size_t i) const { return data()[i]; }
    Value* begin() { return data(); }
    Value* end() { return data() + size_; }
    const Value* begin() const { return data(); }
    const Value* end() const { return data() + size_; }

    void push_back(Value v) {
        QUIB_CHECK(size_ < room_);
        data()[size_++].fill(std::move(v));
    }
    // Forgets the values, which the caller has emptied.
    void forget() { size_ = 0; }

private:
    uint32_t size_ = 0;
    uint32_t room_;
};

// A function value of the tier. Applying it runs its code on a frame of `values` and the new
// arguments. It turns into the cells the reducer would hold for it: a closure by substituting its
// captured values into the lambda (its new ones into its maker's body, where the maker's are), a
// partial application by the pairs of its arguments, on the
// cells of its `parent` or of its template's spine; one object is one cell, so identity holds.
struct Function final : Object {
    explicit Function(uint32_t room) : Object(true), values(room) {}
    union {
        Code* code = nullptr;  // the definition, or the lambda's body
        Function* next_spare;  // once freed, the next function of its room kept for reuse
    };
    const Node* node = nullptr;  // the Lambda node that made it, or the Partial one when no parent
    Value parent;                // a partial application extended by more arguments; a closure's maker
    ValueList values;            // the arguments so far, or the captured values: last, as they follow it
};
static_assert(sizeof(Function) == sizeof(Object) + 2 * sizeof(void*) + sizeof(Value) + sizeof(ValueList),
              "the values follow the function right after its list");

// A function with room for `room` values, none yet, no count and no cell, to be filled.
Function* new_function(size_t room);
// Frees every function, kept for reuse or not: only once no value is left.
void free_spare_functions();

inline Function* Value::fn() const {
    return (bits_ & kKindMask) == kFunction ? static_cast<Function*>(payload_.obj) : nullptr;
}

// The value of a cell in normal form.
Value value_of(CellRef c);
// The value of a canonical numeral that fits a machine word.
std::optional<int64_t> canonical_word(const Cell* c);
inline Value word_value(int64_t w) { return Value::word_of(w); }
Value boolean_value(bool b);
// The value's cell, made (numerals written) the first time it is asked for.
CellRef cell_of(Value& v);
// The value's cell, the value keeping no reference of its own to it: a builtin that consumes it
// sees the counts it would under the reducer.
CellRef take_cell(Value& v);
// Under QUIB_GRAPH each new object becomes its cells as soon as it is complete, so that every way
// of making them runs and is compared.
extern const bool make_cells_at_once;
inline void object_made(Value& v) {
    if (make_cells_at_once) cell_of(v);
}
// The builtin's answer on two integers (words or binary), when it is an integer or a boolean;
// false for other operands or when the builtin's answer is not one (a zero divisor).
bool integer_answer(WordOp op, const Value& a, const Value& b, Value& out);
// A comparison's answer on two integers: 1 for K, 0 for H, -1 when it is no comparison or the
// operands are not both integers.
int integer_test(WordOp op, const Value& a, const Value& b);
// The tier's counters, to be added to.
extern FastCounters tier_counters;
inline FastCounters& counters() { return tier_counters; }

}  // namespace fast
