// The fast tier's compiled form: each definition body once, as a tree of pre-resolved nodes
// over a frame of slots (parameters, then bound names), and the compiler that makes it.
#pragma once

#include <bitset>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/builtins.h"
#include "core/cell.h"
#include "engine/fast_values.h"

namespace fast {

enum class NodeKind : uint8_t {
    Var,      // a slot of the frame
    Lit,      // a closed subterm already in normal form
    Call,     // a saturated call of a definition with parameters
    Partial,  // a definition given fewer arguments than it has parameters
    Lambda,   // a lambda using variables of the frame: a closure of them
    Apply,    // a value of the frame, a call's value or a Select's branch (parts[0]) applied to arguments
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
    bool lazy = false;                           // Partial: of a lazy head, some argument needing work
    bool built = false;                          // tmpl is a pair an inlined call built (fresh_copy)
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

// The machine's instructions: a body flattened in evaluation order over the slot stack, where
// each instruction leaves its value on top. `tail` marks an instruction whose value is the
// call's: a subterm it hands to the reducer takes the arguments waiting below the call.
enum class Op : uint8_t {
    Var,          // copies the slot
    Move,         // moves the slot: its last read
    Lit,          // the node's literal
    Closure,      // the Lambda node's closure of the frame
    Global,       // the Global node's value, settled or the reducer's
    Generic,      // the reducer's value for the node's graph
    WordPrim,     // a builtin on two slots or literals, in words when it can be
    LitPrim,      // a builtin on the value on top and a literal, the `index`th operand
    Prim,         // a builtin on the values on top
    Call,         // the values on top as the callee's frame
    Partial,      // the values on top as a partial application
    LazyCheck,    // a lazy head's partial application: the reducer's, at `join`, when arguments wait
    WordSelect,   // a test on two slots or literals: on to the next instruction for K, `target` for H
    Select,       // the test on the values on top, likewise
    Store,        // the value on top into the slot
    Jump,         // to `target`
    Return,       // the value on top as the call's
    ApplyBegin,   // an Apply's frame and its function's slot; its head's code follows unless a slot
    ApplySelect,  // an Apply's head that is a Select: the branch its test on top chooses
    ApplyResult,  // the value on top as the function applied next
    ApplyFunc,    // how the function takes the argument `index` and those after it
    ApplyTake,    // the argument `index` on top, taken
};

struct Instr {
    Op op;
    bool tail = false;
    bool head = false;  // Call: the call whose value an Apply applies, its arguments waiting
    uint8_t slot = 0;   // Var, Move, Store
    uint8_t index = 0;  // ApplyFunc, ApplyTake: the argument; LitPrim: the literal's place
    int32_t target = 0;  // where a branch or an argument's code begins, from this instruction
    int32_t join = 0;    // where the value of a Select handed over, or of an Apply, goes on, likewise
    const Node* node = nullptr;
};

struct Code {
    CellRef body;    // the definition's whole body (or the lambda): it keeps every template alive
    int params = 0;  // a lambda's: its captured values, then its parameter
    int frame_size = 0;
    Node* entry = nullptr;  // null until first called
    std::vector<Instr> ops{};  // the machine's, made at its first call
    // A lambda's body that may build a pair holding captured values and neither its parameter
    // nor a bound value: the reducer takes such a pair from the closure's own cell, shared, where
    // a frame could only copy the template's, so the reducer applies such a closure.
    bool reducer_applies = false;
    // A definition whose name is a lazy head: its arguments are not evaluated before its call.
    bool lazy = false;
};

// Whether evaluating the node changes nothing but the value's form: a slot, a literal, a closure,
// or a partial application of such values. A lazy head may be given these as a strict one is.
inline bool is_value_node(const Node* n) {
    switch (n->kind) {
        case NodeKind::Var:
        case NodeKind::Lit:
        case NodeKind::Lambda: return true;
        case NodeKind::Partial:
            for (const Node* part : n->parts)
                if (!is_value_node(part)) return false;
            return true;
        default: return false;
    }
}

struct Head;

// Whether the pair was built by putting a lazy call's arguments into its body: the reducer builds
// such a pair afresh at each contraction, so the tier never shares it between runs of its code.
bool is_built_pair(const Cell* c);
// The cell with every built pair on top of it copied, as the reducer would have built it now.
CellRef fresh_copy(Cell* c);

class Compiler {
public:
    Compiler();
    ~Compiler();
    Compiler(const Compiler&) = delete;
    Compiler& operator=(const Compiler&) = delete;
    // The main expression as code of one parameter; null when it is not a one-parameter
    // lambda applied the usual way.
    Code* main_code(const CellRef& main);
    // Compiles a definition's body the first time it is called.
    void prepare(Code& code);
    // The function value a definition with parameters named by the atom alone is: a partial
    // application with no values yet, whose cell is the atom. Empty for any other atom.
    Value named_function(Cell* atom);
    // The node as code of its own, whose frame holds the values of its variables in the order of
    // its `free`: an argument a lazy head answers, evaluated where the reducer would evaluate it.
    Code* suspension(const Node* n);

private:
    Node* compile(Cell* c, int depth, Code& code);
    Node* compile_spine(Cell* c, int depth, Code& code);
    Node* compile_bind(Cell* c, int depth, Code& code);
    Node* compile_lambda(Cell* c, int depth);
    Node* closed_lambda(Cell* c, int depth);
    Node* named_definition(Cell* c);
    Node* definition_call(Cell* c, const std::vector<Cell*>& spine, Cell* h, const Head& head, int depth,
                          Code& code);
    Node* lazy_call(Cell* c, const std::vector<Cell*>& spine, Cell* h, const Head& head, int depth,
                    Code& code);
    Cell* inlined_call(const std::vector<Cell*>& spine, const Head& head);
    Node* compile_name(Cell* c);
    bool is_bound_variable(const Cell* c) const;
    void mark_last_reads(Node* n, std::bitset<256>& read_later);
    static bool builds_from_captured(const Node* n, int captured);
    static bool shares_captured(const Node* n, int captured);
    Node* make(NodeKind kind, Cell* c);
    Code* code_of(std::string_view name, const CellRef& body, int params);

    std::deque<Node> nodes_;
    std::map<std::string, Code, std::less<>> codes_;
    std::deque<Code> lambdas_;
    std::deque<CellRef> inlined_;  // the bodies of lazy calls with their arguments in place
    std::map<const Node*, Code*> suspensions_;
    Code main_;
    int8_t scope_[26];  // slot of each letter in the body being compiled; -1 when not bound
    bool select_ready_ = false;
    bool bind_ready_ = false;
};

}  // namespace fast
