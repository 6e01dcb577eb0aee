// The fast tier's steps below its machine's loop.
#include "engine/fast_tier.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "core/classify.h"
#include "core/tables.h"
#include "core/values.h"
#include "library/registry.h"

namespace fast {

// Fails as operator new does, through the new-handler; keeps errno, which programs read.
void* grow_room(void* data, size_t bytes) {
    int saved = errno;
    for (;;) {
        if (void* grown = std::realloc(data, bytes)) {
            errno = saved;
            return grown;
        }
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

namespace {

bool is_cycle_mark(const Cell* c) {
    if (!is_atom(c) || tag_of(c) != ')') return false;
    return definition_state(atom_bytes(c).substr(1)) == DefinitionState::Evaluating;
}

}  // namespace

CellRef TierBase::instantiate(const Node* n, size_t base) {
    CellRef g = n->built ? fresh_copy(n->tmpl) : CellRef(n->tmpl);
    for (auto [letter, slot] : n->free) g = substitute(g, cell_of(slots_[base + slot]), letter);
    return g;
}

CellRef TierBase::reduce(CellRef g) {
    ++counters().handovers;
    CellRef r = evaluate(std::move(g));
    if (is_cycle_mark(r.get())) throw CycleMark{std::move(r)};
    return r;
}

// Once settled, the body is the value itself, and stays.
const Value* TierBase::settled(const Node* n) {
    if (n->settled) return n->settled.get();
    if (!is_normal_form(n->definition->get())) return nullptr;
    n->settled = std::make_unique<Value>(value_of(*n->definition));
    return n->settled.get();
}

CellRef TierBase::call_builtin(const Node* n, Value* args) {
    CellRef app(n->head);
    for (size_t i = 0; i < n->parts.size(); ++i) app = classified_pair(std::move(app), take_cell(args[i]));
    return invoke_builtin(*n->builtin, std::move(app));
}

// A C binding takes words as they are: no numeral is written for it, no redex built.
Value TierBase::direct_answer(const Node* n, Value* args, CellRef& r) {
    // Only the arguments' entries are made: zeroing all of them would cost more than the call.
    union Entries {
        Entries() {}
        WordOrCell in[kMaxBuiltinArity];
    } entries;
    WordOrCell* in = entries.in;
    for (size_t i = 0; i < n->parts.size(); ++i) {
        if (args[i].is_word())
            new (&in[i]) WordOrCell{args[i].word(), nullptr};
        else  // args[i] keeps the cell
            new (&in[i]) WordOrCell{0, args[i].cell() ? args[i].cell() : cell_of(args[i]).get()};
    }
    int64_t word = 0;
    r = invoke_direct(*n->builtin, in, word);
    return r ? Value() : word_value(word);
}

CellRef TierBase::answer(const Node* n, Value* args, Value& word) {
    CellRef r;
    if (n->builtin->direct)
        word = direct_answer(n, args, r);
    else
        r = call_builtin(n, args);
    return r;
}

Value TierBase::closure(const Node* n, const Value* low, size_t split, const Value* high, Value maker) {
    auto* f = new_function(n->free.size());
    Value v = Value::of(f);
    f->closure = true;
    f->code = n->callee;
    f->node = n;
    f->parent = std::move(maker);
    for (auto [letter, slot] : n->free) f->values.push_back(slot < split ? low[slot] : high[slot - split]);
    object_made(v);
    return v;
}

Value TierBase::partial(const Node* n, size_t first) {
    auto* f = new_function(n->parts.size());
    Value v = Value::of(f);
    f->code = n->callee;
    f->node = n;
    for (size_t i = 0; i < n->parts.size(); ++i) f->values.push_back(std::move(slots_[first + i]));
    slots_.resize(first);
    object_made(v);
    return v;
}

Value TierBase::extension(Value head, size_t top) {
    auto* g = new_function(slots_.size() - top);
    Value v = Value::of(g);
    g->code = head.fn()->code;
    for (size_t i = top; i < slots_.size(); ++i) g->values.push_back(std::move(slots_[i]));
    g->parent = std::move(head);
    slots_.resize(top);
    object_made(v);
    return v;
}

const Node* TierBase::compiled_entry(Code* code) {
    compiler_.prepare(*code);
    return code->entry;
}

CellRef reduce_main(const CellRef& main, CellRef argument) {
    ++counters().handovers;
    return evaluate(apply(CellRef::atom("I"), apply(main, std::move(argument))));
}

}  // namespace fast

CellRef fast_evaluate(const CellRef& main, CellRef argument) {
    CellRef result = fast::machine_run(main, std::move(argument));
    fast::free_spare_functions();
    if (std::getenv("QUIB_FAST_STATS"))
        std::fprintf(stderr, "fast tier: %llu calls, %llu hand-overs, %llu big numerals written\n",
                     static_cast<unsigned long long>(fast::tier_counters.calls),
                     static_cast<unsigned long long>(fast::tier_counters.handovers),
                     static_cast<unsigned long long>(fast::tier_counters.numerals));
    return result;
}

FastCounters fast::tier_counters;

const FastCounters& fast_counters() { return fast::tier_counters; }
