// Values of the fast tier: integers as machine words, or in binary beyond a word with their
// numerals written only when a cell is needed, and the operators' answers computed on them.
#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "core/classify.h"
#include "core/graph_dump.h"
#include "core/numbers.h"
#include "core/values.h"
#include "engine/fast_code.h"
#include "engine/fast_values.h"
#include "engine/reducer.h"
#include "library/registry.h"
#include "platform/memory.h"

namespace fast {

namespace {

// Values of fewer digits always fit a word.
constexpr size_t kWordDigits = 18;

bool is_integer(const Value& v) { return v.is_word() || v.big(); }

Value big_value(mpz_class z, CellRef numeral = CellRef()) {
    auto* big = new BigInteger(std::move(z));
    big->cell = std::move(numeral);
    Value v = Value::of(big);
    object_made(v);
    return v;
}

// Words stay words: a binary value never holds what fits one.
Value integer_value(mpz_class z) {
    if (mpz_fits_slong_p(z.get_mpz_t())) return word_value(mpz_get_si(z.get_mpz_t()));
    return big_value(std::move(z));
}

Value integer_value(const Integer& i) { return i.is_small() ? word_value(i.small()) : integer_value(i.to_mpz()); }

// The binary form of an integer value; `scratch` holds it for a word.
mpz_srcptr binary_of(const Value& v, mpz_class& scratch) {
    if (BigInteger* big = v.big()) return big->z.get_mpz_t();
    scratch = static_cast<long>(v.word());
    return scratch.get_mpz_t();
}

Integer integer_of_value(const Value& v) { return v.big() ? Integer(v.big()->z) : Integer(v.word()); }

// The arguments a partial application adds to its parent's cell (all of them without a parent).
size_t own_arguments(const Function& f) { return f.parent.fn() ? f.parent.fn()->values.size() : 0; }

// The functions whose cells f's cell is made of and that have none yet.
void push_unmade_parts(Function& f, std::vector<Function*>& pending) {
    if (Function* parent = f.parent.fn(); parent && !parent->cell) pending.push_back(parent);
    size_t first = f.closure ? 0 : own_arguments(f);
    for (size_t i = first; i < f.values.size(); ++i)
        if (Function* part = f.values[i].fn(); part && !part->cell) pending.push_back(part);
}

// The reducer's cells for f, whose parts have theirs. A closure is its lambda with the captured
// values substituted. A partial application is its arguments' pairs on the parent's cell or, when
// a node made it, on the longest prefix of the template's spine that substitution shares (closed
// and in normal form); every pair from the first argument that needed work or a variable is new.
CellRef make_function_cell(Function& f) {
    const Node* n = f.node;
    if (f.closure) {
        // A closure with a maker is the maker's body, where the maker's captured values are in place.
        Function* maker = f.parent.fn();
        CellRef g(maker ? right_of(maker->cell.get()) : n->tmpl);
        size_t in_place = maker ? maker->values.size() : 0;
        for (size_t i = 0; i < n->free.size(); ++i)
            if (n->free[i].second >= in_place) g = substitute(g, cell_of(f.values[i]), n->free[i].first);
        return g;
    }
    size_t first = own_arguments(f);
    CellRef g;
    if (f.parent.fn()) {
        g = f.parent.fn()->cell;
    } else {
        std::vector<Cell*> spine;  // spine[i]: the application holding i + 1 arguments
        for (Cell* c = n->tmpl; is_pair(c) && spine.size() < f.values.size(); c = left_of(c)) spine.push_back(c);
        std::reverse(spine.begin(), spine.end());
        while (first < spine.size() && free_variables(spine[first]) == 0 && is_normal_form(spine[first]) &&
               !is_built_pair(spine[first]))
            ++first;
        g = CellRef(first ? spine[first - 1] : left_of(spine[0]));
    }
    for (size_t i = first; i < f.values.size(); ++i) g = classified_pair(std::move(g), cell_of(f.values[i]));
    return g;
}

// Makes the cells of f and of the functions inside it, innermost first, without recursion: a list
// built of partial applications may be a million deep.
void make_cells(Function& root) {
    std::vector<Function*> pending{&root};
    while (!pending.empty()) {
        Function* f = pending.back();
        if (f->cell) {
            pending.pop_back();
            continue;
        }
        size_t before = pending.size();
        push_unmade_parts(*f, pending);
        if (pending.size() != before) continue;
        f->cell = make_function_cell(*f);
        pending.pop_back();
    }
}

}  // namespace

namespace {

// Functions are made in blocks, cut as needed for each room of values, and, once freed, kept for
// reuse: a loop that builds and drops a closure at every step allocates nothing, and a long list
// of them one block at a time, the blocks of a room growing to huge pages. No function holds more
// values than the letters a lambda can capture or a definition's parameters.
constexpr size_t kMostValues = 26;
constexpr size_t kFirstBlockBytes = size_t{64} << 10;

struct FunctionPool {
    Function* spare[kMostValues + 1] = {};   // by room, linked through next_spare
    std::byte* uncut[kMostValues + 1] = {};  // the rest of the newest block of each room
    std::byte* uncut_end[kMostValues + 1] = {};
    size_t block_bytes[kMostValues + 1] = {};           // of the newest block of each room
    std::vector<std::pair<std::byte*, size_t>> blocks;  // each with its size
};
// Never destroyed at process exit: a program's `exit` ends the run with function values still
// alive, and their cells may already be gone by then.
FunctionPool& pool = *new FunctionPool;
std::vector<Object*>& dead_objects = *new std::vector<Object*>;

size_t function_bytes(size_t room) { return sizeof(Function) + room * sizeof(Value); }

[[gnu::noinline]] void add_block(size_t room) {
    size_t& bytes = pool.block_bytes[room];
    bytes = bytes ? next_pool_block_bytes(bytes) : kFirstBlockBytes;
    pool.blocks.emplace_back(allocate_pool_block(bytes), bytes);
    pool.uncut[room] = pool.blocks.back().first;
    pool.uncut_end[room] = pool.uncut[room] + bytes;
}

Function* cut_function(size_t room) {
    size_t bytes = function_bytes(room);
    if (static_cast<size_t>(pool.uncut_end[room] - pool.uncut[room]) < bytes) add_block(room);
    auto* f = new (pool.uncut[room]) Function(static_cast<uint32_t>(room));
    for (size_t i = 0; i < room; ++i) new (f->values.data() + i) Value();
    pool.uncut[room] += bytes;
    return f;
}

// Empties a value of a dead function; an object that only it held is added to dead_objects.
[[gnu::always_inline]] inline void let_go_part(Value& v) {
    if (Object* part = v.take_object()) {
        if (--part->refs == 0) dead_objects.push_back(part);
    } else {
        v.clear();
    }
}

// Empties the function, whose count has come to zero, and keeps it for reuse.
void free_function(Function* f) {
    for (Value& v : f->values) let_go_part(v);
    let_go_part(f->parent);
    f->values.forget();
    f->cell = CellRef();
    f->closure = false;
    f->node = nullptr;
    Function*& spare = pool.spare[f->values.room()];
    f->next_spare = spare;
    spare = f;
}

}  // namespace

Function* new_function(size_t room) {
    QUIB_CHECK(room <= kMostValues);
    Function* f = pool.spare[room];
    if (!f) return cut_function(room);
    pool.spare[room] = f->next_spare;
    f->code = nullptr;
    return f;
}

void free_spare_functions() {
    for (auto [block, bytes] : pool.blocks) free_pool_block(block, bytes);
    pool = FunctionPool();
}

void destroy(Object* o) {
    for (;;) {
        if (o->is_function)
            free_function(static_cast<Function*>(o));
        else
            delete static_cast<BigInteger*>(o);
        if (dead_objects.empty()) return;
        o = dead_objects.back();
        dead_objects.pop_back();
    }
}

// Canonical numerals are the only ones whose value alone tells every builtin's answer.
std::optional<int64_t> canonical_word(const Cell* c) {
    if (!is_atom(c)) return std::nullopt;
    const char* s = atom_chars(c);
    if (s[0] < '0' || s[0] > '9') return std::nullopt;
    if (s[0] == '0' && s[1] == 0) return 0;
    bool negative = s[0] == '0';
    const char* d = negative ? s + 1 : s;
    if (*d < '1' || *d > '9') return std::nullopt;
    uint64_t v = 0;
    int n = 0;
    for (; d[n]; ++n) {
        if (d[n] < '0' || d[n] > '9' || n >= 19) return std::nullopt;
        uint64_t digit = static_cast<uint64_t>(d[n] - '0');
        if (__builtin_mul_overflow(v, 10, &v) || __builtin_add_overflow(v, digit, &v)) return std::nullopt;
    }
    constexpr uint64_t kMax = std::numeric_limits<int64_t>::max();
    if (!negative) return v <= kMax ? std::optional<int64_t>(static_cast<int64_t>(v)) : std::nullopt;
    if (v > kMax + 1) return std::nullopt;
    return static_cast<int64_t>(0 - v);
}

Value value_of(CellRef c) {
    classify(c.get());
    if (std::optional<int64_t> w = canonical_word(c.get())) {
        Value v = word_value(*w);
        v.keep_cell(std::move(c));
        return v;
    }
    if (is_atom(c.get()) && atom_bytes(c.get()).size() > kWordDigits) {
        std::optional<Integer> i = parse_hint_numeral(atom_bytes(c.get()));
        if (i && !i->is_small()) return big_value(i->to_mpz(), std::move(c));
    }
    return Value::cell_only(std::move(c));
}

Value boolean_value(bool b) { return value_of(boolean(b)); }

CellRef cell_of(Value& v) {
    if (Cell* c = v.cell()) return CellRef(c);
    if (Function* f = v.fn()) {
        make_cells(*f);
        return f->cell;
    }
    if (BigInteger* big = v.big()) {
        big->cell = make_hint_atom(Integer(big->z));
        classify(big->cell.get());
        ++counters().numerals;
        return big->cell;
    }
    QUIB_CHECK(v.is_word());
    CellRef numeral = make_integer(v.word());
    classify(numeral.get());
    v.keep_cell(numeral);
    return numeral;
}

CellRef take_cell(Value& v) {
    CellRef c = cell_of(v);
    v.forget_cell();
    return c;
}

const bool make_cells_at_once = graph_dump_path() != nullptr;

bool integer_answer(WordOp op, const Value& a, const Value& b, Value& out) {
    if (!is_integer(a) || !is_integer(b)) return false;
    mpz_class sa, sb, r;
    mpz_srcptr x = binary_of(a, sa), y = binary_of(b, sb);
    switch (op) {
        case WordOp::Plus: mpz_add(r.get_mpz_t(), x, y); break;
        case WordOp::Dash: mpz_sub(r.get_mpz_t(), x, y); break;
        case WordOp::Mult: mpz_mul(r.get_mpz_t(), x, y); break;
        case WordOp::Over:
        case WordOp::Cent: {
            Integer i = integer_of_value(a), j = integer_of_value(b);
            std::optional<Integer> q = op == WordOp::Over ? floor_quotient(i, j) : cent_remainder(i, j);
            if (!q) return false;
            out = integer_value(*q);
            return true;
        }
        case WordOp::None: return false;
        default: out = boolean_value(integer_test(op, a, b) == 1); return true;
    }
    out = integer_value(std::move(r));
    return true;
}

int integer_test(WordOp op, const Value& a, const Value& b) {
    if (!is_integer(a) || !is_integer(b)) return -1;
    int c;
    if (a.is_word() && b.is_word()) {
        c = (a.word() > b.word()) - (a.word() < b.word());
    } else {
        mpz_class sa, sb;
        c = mpz_cmp(binary_of(a, sa), binary_of(b, sb));
    }
    switch (op) {
        case WordOp::Less: return c < 0;
        case WordOp::Gteq: return c >= 0;
        case WordOp::Same: return c == 0;
        case WordOp::Diff: return c != 0;
        default: return -1;
    }
}

}  // namespace fast
