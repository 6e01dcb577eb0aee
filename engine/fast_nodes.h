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

// An integer beyond a machine word, in binary. Its numeral is written once, when a cell is
// first needed, and shared by every copy of the value.
struct BigInteger {
    mpz_class z;
    CellRef cell;
};

struct Function;
struct Node;
struct Code;

// A value in normal form: an integer whose numeral is canonical travels as a machine word or, when
// too big for one, in binary; a partial application of a compiled definition or a closure of a
// compiled lambda is an object (its cells made only when needed, then kept); anything else is its
// cell.
struct Value {
    int64_t word = 0;
    bool is_word = false;
    CellRef cell;
    std::shared_ptr<BigInteger> big;
    std::shared_ptr<Function> fn;

    Value() = default;
    Value(Value&&) = default;
    Value& operator=(Value&&) = default;
    Value(const Value& o)
        : word(o.word), is_word(o.is_word), cell(o.cell ? CellRef(o.cell) : CellRef()), big(o.big), fn(o.fn) {}
    Value& operator=(const Value& o) {
        if (this != &o) *this = Value(o);
        return *this;
    }
};

// A function value of the tier. Applying it runs its code on a frame of `values` and the new
// arguments. It turns into the cells the reducer would hold for it: a closure by substituting its
// captured values into the lambda, a partial application by the pairs of its arguments, on the
// cells of its `parent` or of its template's spine; one object is one cell, so identity holds.
struct Function {
    bool closure = false;
    Code* code = nullptr;             // the definition, or the lambda's body
    std::vector<Value> values;        // the arguments so far, or the captured values
    std::shared_ptr<Function> parent; // a partial application extended by more arguments
    const Node* node = nullptr;       // the Partial or Lambda node that made it, when no parent
    CellRef cell;

    Function() = default;
    Function(const Function&) = delete;
    Function& operator=(const Function&) = delete;
    // Long chains (a list built of partial applications) are released without recursion.
    ~Function();
};

// Builtins whose answer on two canonical integers is computed without their numerals.
enum class WordOp : uint8_t { None, Plus, Dash, Mult, Over, Cent, Less, Gteq, Same, Diff };

// The value of a cell in normal form.
Value value_of(CellRef c);
// The value of a canonical numeral that fits a machine word.
std::optional<int64_t> canonical_word(const Cell* c);
Value word_value(int64_t w);
Value boolean_value(bool b);
// The value's cell, made (numerals written) the first time it is asked for.
const CellRef& cell_of(Value& v);
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
    Apply,    // a value of the frame (parts[0]) applied to arguments
    Prim,     // a saturated builtin call
    Select,   // a saturated builtin call applied to two branches (a test answering K or H)
    Bind,     // ((({ v) d) r): d into a slot, then r
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
    std::vector<Node*> parts;                    // arguments; Select: test, then, else; Bind: d, r
};

struct Code {
    CellRef body;  // the definition's whole body (or the lambda): it keeps every template alive
    int params = 0;  // a lambda's: its captured values, then its parameter
    int frame_size = 0;
    Node* entry = nullptr;  // null until first called
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
    bool is_bound_variable(const Cell* c) const;
    void mark_last_reads(Node* n, std::bitset<256>& read_later);
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
