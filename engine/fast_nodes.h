// The fast tier's compiled form: each definition body once, as a tree of pre-resolved nodes
// over a frame of slots (parameters, then bound names), and the compiler that makes it.
#pragma once

#include <gmpxx.h>

#include <bitset>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
struct Value {
    int64_t word = 0;
    Object* obj = nullptr;
    CellRef cell;
    bool is_word = false;

    Value() = default;
    Value(Value&& o) noexcept : word(o.word), obj(o.obj), cell(std::move(o.cell)), is_word(o.is_word) {
        o.obj = nullptr;
    }
    Value& operator=(Value&& o) noexcept {
        if (this != &o) {
            Object* old = obj;
            word = o.word;
            obj = o.obj;
            o.obj = nullptr;
            cell = std::move(o.cell);
            is_word = o.is_word;
            release(old);
        }
        return *this;
    }
    Value(const Value& o) : word(o.word), obj(o.obj), cell(o.cell ? CellRef(o.cell) : CellRef()), is_word(o.is_word) {
        retain(obj);
    }
    Value& operator=(const Value& o) {
        if (this != &o) *this = Value(o);
        return *this;
    }
    ~Value() { release(obj); }

    // Moves o into this value, which is empty: unlike assignment, nothing to let go of.
    [[gnu::always_inline]] void fill(Value&& o) {
        word = o.word;
        is_word = o.is_word;
        obj = o.obj;
        o.obj = nullptr;
        cell = CellRef::adopt(o.cell.release());
    }
    // Empties the value, as a new one is.
    void clear() {
        release(obj);
        obj = nullptr;
        cell = CellRef();
        is_word = false;
    }

    // The value of a new object, which it holds.
    static Value of(Object* o) {
        Value v;
        v.obj = o;
        retain(o);
        return v;
    }
    BigInteger* big() const { return obj && !obj->is_function ? static_cast<BigInteger*>(obj) : nullptr; }
    Function* fn() const;
};

// A function's values: a few held inline, so that making a partial application or a closure
// allocates nothing; more move to the heap, whose room is kept when the list is emptied.
class ValueList {
public:
    static constexpr size_t kInline = 4;
    ValueList() = default;
    ValueList(const ValueList&) = delete;
    ValueList& operator=(const ValueList&) = delete;
    ~ValueList() { delete[] heap_; }

    size_t size() const { return size_; }
    Value* data() { return heap_ ? heap_ : inline_; }
    const Value* data() const { return heap_ ? heap_ : inline_; }
    Value& operator[](size_t i) { return data()[i]; }
    const Value& operator[](size_t i) const { return data()[i]; }
    Value* begin() { return data(); }
    Value* end() { return data() + size_; }
    const Value* begin() const { return data(); }
    const Value* end() const { return data() + size_; }

    void reserve(size_t n) {
        if (n > room()) grow(n);
    }
    void push_back(Value v) {
        if (size_ == room()) grow(2 * room());
        data()[size_++] = std::move(v);
    }
    void clear() {
        Value* d = data();
        for (size_t i = 0; i < size_; ++i) d[i].clear();
        size_ = 0;
    }

private:
    size_t room() const { return heap_ ? heap_room_ : kInline; }
    void grow(size_t n) {
        auto* h = new Value[n];
        Value* d = data();
        for (size_t i = 0; i < size_; ++i) h[i] = std::move(d[i]);
        delete[] heap_;
        heap_ = h;
        heap_room_ = n;
    }

    Value inline_[kInline];
    Value* heap_ = nullptr;
    size_t heap_room_ = 0;
    size_t size_ = 0;
};

// A function value of the tier. Applying it runs its code on a frame of `values` and the new
// arguments. It turns into the cells the reducer would hold for it: a closure by substituting its
// captured values into the lambda (its new ones into its maker's body, where the maker's are), a
// partial application by the pairs of its arguments, on the
// cells of its `parent` or of its template's spine; one object is one cell, so identity holds.
struct Function : Object {
    Function() : Object(true) {}
    bool closure = false;
    Code* code = nullptr;       // the definition, or the lambda's body
    ValueList values;           // the arguments so far, or the captured values
    Value parent;               // a partial application extended by more arguments; a closure's maker
    const Node* node = nullptr; // the Lambda node that made it, or the Partial one when no parent
};

// A function with no values, no count and no cell, to be filled.
Function* new_function();
// Frees every function, kept for reuse or not: only once no value is left.
void free_spare_functions();

inline Function* Value::fn() const { return obj && obj->is_function ? static_cast<Function*>(obj) : nullptr; }

// Builtins whose answer on two canonical integers is computed without their numerals.
enum class WordOp : uint8_t { None, Plus, Dash, Mult, Over, Cent, Less, Gteq, Same, Diff };

// The value of a cell in normal form.
Value value_of(CellRef c);
// The value of a canonical numeral that fits a machine word.
std::optional<int64_t> canonical_word(const Cell* c);
inline Value word_value(int64_t w) {
    Value v;
    v.word = w;
    v.is_word = true;
    return v;
}
Value boolean_value(bool b);
// The value's cell, made (numerals written) the first time it is asked for.
const CellRef& cell_of(Value& v);
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
FastCounters& counters();

enum class NodeKind : uint8_t {
    Var,      // a slot of the frame
    Lit,      // a closed subterm already in normal form
    Call,     // a saturated call of a definition with parameters
    Partial,  // a definition given fewer arguments than it has parameters
    Lambda,   // a lambda using variables of the frame: a closure of them
    Apply,    // a value of the frame or a call's value (parts[0]) applied to arguments
    Prim,     // a saturated builtin call
    Select,   // a saturated builtin call applied to two branches (a test answering K or H)
    Bind,     // ((({ v) d) r): d into a slot, then r
    Global,   // a parameterless definition: its body once that is in normal form, else the reducer's
    Generic,  // anything else: the exact reducer's
};

// Builtin calls with more arguments stay Generic.
constexpr size_t kMaxBuiltinArity = 8;

struct Node {
    NodeKind kind = NodeKind::Generic;
    WordOp op = WordOp::None;
    uint8_t slot = 0;                            // Var: read; Bind: written
    bool last = false;                           // Var: no later read of the slot in this frame
    Cell* tmpl = nullptr;                        // the subterm of the body this node stands for
    std::vector<std::pair<char, uint8_t>> free;  // variables of tmpl held in the frame, by slot
    Value lit;                                   // Lit
    Code* callee = nullptr;                      // Call, Partial; Lambda: the body
    const BuiltinEntry* builtin = nullptr;       // Prim, and Select's test
    Cell* head = nullptr;                        // Prim: the name atom of the reducer's redex
    const CellRef* definition = nullptr;         // Global: the body, replaced in place when settled
    mutable std::unique_ptr<Value> settled;      // Global: the body's value, once in normal form
    std::vector<Node*> parts;                    // arguments; Select: test, then, else; Bind: d, r
};

struct Code {
    CellRef body;  // the definition's whole body (or the lambda): it keeps every template alive
    int params = 0;  // a lambda's: its captured values, then its parameter
    int frame_size = 0;
    Node* entry = nullptr;  // null until first called
    // A lambda's body that makes cells from subterms holding captured values: the reducer takes
    // them from the closure's own cell, shared, where a frame could only copy the template's, so
    // the reducer applies such a closure.
    bool reducer_applies = false;
};

class Compiler {
public:
    Compiler();
    // The main expression as code of one parameter; null when it is not a one-parameter
    // lambda applied the usual way.
    Code* main_code(const CellRef& main);
    // Compiles a definition's body the first time it is called.
    void prepare(Code& code);

private:
    Node* compile(Cell* c, int depth, Code& code);
    Node* compile_spine(Cell* c, int depth, Code& code);
    Node* compile_bind(Cell* c, int depth, Code& code);
    Node* compile_lambda(Cell* c, int depth);
    Node* closed_lambda(Cell* c, int depth);
    Node* compile_name(Cell* c);
    bool is_bound_variable(const Cell* c) const;
    void mark_last_reads(Node* n, std::bitset<256>& read_later);
    static bool builds_from_captured(const Node* n, int captured);
    Node* make(NodeKind kind, Cell* c);
    Code* code_of(std::string_view name, const CellRef& body, int params);

    std::deque<Node> nodes_;
    std::map<std::string, Code, std::less<>> codes_;
    std::deque<Code> lambdas_;
    Code main_;
    int8_t scope_[26];  // slot of each letter in the body being compiled; -1 when not bound
    bool select_ready_ = false;
    bool bind_ready_ = false;
};

}  // namespace fast
