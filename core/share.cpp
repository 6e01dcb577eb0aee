// The process-wide sharing set: one canonical cell for each structure shared so far.
// Members are found by structure in constant time: every structure met gets a class number,
// atoms by their bytes and pairs by the class numbers of their parts, so neither finding nor
// inserting compares whole graphs (ordered comparison of deep chains would be quadratic).
#include "core/share.h"

#include <bit>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/classify.h"

namespace {

using ClassId = uint32_t;

// Open addressing from 64-bit keys (never ~0) to values; no allocation per entry.
template <class Value>
class FlatMap {
public:
    Value* find(uint64_t key) {
        if (keys_.empty()) return nullptr;
        for (size_t i = slot_of(key);; i = (i + 1) & (keys_.size() - 1)) {
            if (keys_[i] == key) return &values_[i];
            if (keys_[i] == kEmpty) return nullptr;
        }
    }
    // The value under key, default-made when absent; `added` tells which.
    Value& insert(uint64_t key, bool& added) {
        if ((count_ + 1) * 2 > keys_.size()) grow_table();
        size_t i = slot_of(key);
        while (keys_[i] != kEmpty && keys_[i] != key) i = (i + 1) & (keys_.size() - 1);
        added = keys_[i] == kEmpty;
        if (added) {
            keys_[i] = key;
            ++count_;
        }
        return values_[i];
    }

private:
    static constexpr uint64_t kEmpty = ~uint64_t{0};

    size_t slot_of(uint64_t key) const {
        uint64_t mixed = (key ^ (key >> 29)) * 0x9E3779B97F4A7C15ULL;
        return static_cast<size_t>(mixed >> shift_);
    }
    void grow_table() {
        std::vector<uint64_t> keys = std::move(keys_);
        std::vector<Value> values = std::move(values_);
        keys_.assign(keys.empty() ? 64 : keys.size() * 2, kEmpty);
        shift_ = 64 - std::countr_zero(keys_.size());
        values_ = std::vector<Value>(keys_.size());
        count_ = 0;
        bool added;
        for (size_t i = 0; i < keys.size(); ++i)
            if (keys[i] != kEmpty) insert(keys[i], added) = std::move(values[i]);
    }

    std::vector<uint64_t> keys_;
    std::vector<Value> values_;
    size_t count_ = 0;
    int shift_ = 64;
};

uint64_t CellKey(const Cell* c) { return reinterpret_cast<uintptr_t>(c); }

struct Index {
    std::unordered_map<std::string, ClassId> atom_classes;
    FlatMap<ClassId> pair_classes;  // (left class << 32 | right class) -> class
    std::vector<CellRef> members;   // by class; null when the class has no member
    // The ordered view handed out by sharing_set(), rebuilt after changes.
    SharingSet view;
    bool view_current = true;
};

Index& index() {
    static Index i;
    return i;
}

ClassId new_class(Index& ix) {
    QUIB_CHECK(ix.members.size() < 0xFFFFFFFEu);
    ix.members.emplace_back();
    return static_cast<ClassId>(ix.members.size() - 1);
}

ClassId atom_class(Index& ix, const Cell* c) {
    auto [it, added] = ix.atom_classes.try_emplace(std::string(atom_bytes(c)), 0);
    if (added) it->second = new_class(ix);
    return it->second;
}

ClassId pair_class(Index& ix, ClassId l, ClassId r) {
    bool added;
    ClassId& id = ix.pair_classes.insert(uint64_t{l} << 32 | r, added);
    if (added) id = new_class(ix);
    return id;
}

void insert_member(Index& ix, ClassId id, CellRef c) {
    ix.members[id] = std::move(c);
    ix.view_current = false;
}

// One occurrence of a cell in the pre-order walk of the graph being shared. A cell reached
// again along another path is entered once more as a repeat that points at its first entry.
struct Entry {
    Cell* cell;
    ClassId id;
    uint32_t size;   // entries of its subtree, itself included
    uint32_t first;  // for a repeat: the index of the first entry; kNone otherwise
};
constexpr uint32_t kNone = ~uint32_t{0};

bool has_many_owners(const Cell* c) { return ref_count(c) > 1; }

// The graph in pre-order with the class number of every cell, without native recursion.
std::vector<Entry> classify_structures(Index& ix, Cell* e) {
    std::vector<Entry> entries;
    FlatMap<uint32_t> first_entry;  // cells with several owners -> index of their first entry
    std::vector<std::pair<Cell*, uint32_t>> pending{{e, kNone}};  // kNone: not entered yet
    bool added;
    while (!pending.empty()) {
        auto [c, at] = pending.back();
        pending.pop_back();
        if (at != kNone) {
            Entry& left = entries[at + 1];
            Entry& right = entries[at + 1 + left.size];
            entries[at].id = pair_class(ix, left.id, right.id);
            entries[at].size = static_cast<uint32_t>(entries.size() - at);
            continue;
        }
        QUIB_CHECK(entries.size() < kNone);
        uint32_t index = static_cast<uint32_t>(entries.size());
        if (has_many_owners(c)) {
            uint32_t& first = first_entry.insert(CellKey(c), added);
            if (!added) {
                entries.push_back({c, entries[first].id, 1, first});
                continue;
            }
            first = index;
        }
        entries.push_back({c, 0, 1, kNone});
        if (is_atom(c)) {
            entries[index].id = atom_class(ix, c);
            continue;
        }
        pending.push_back({c, index});
        pending.push_back({right_of(c), kNone});
        pending.push_back({left_of(c), kNone});
    }
    return entries;
}

}  // namespace

SharingSet& sharing_set() {
    Index& ix = index();
    if (!ix.view_current) {
        ix.view.clear();
        for (const CellRef& member : ix.members)
            if (member) ix.view.insert(member);
        ix.view_current = true;
    }
    return ix.view;
}

void empty_sharing_set() { index() = Index(); }

// A member equal to e is the answer; otherwise the parts are shared first and e, or a pair
// of the shared parts when they differ from e's, joins the set.
CellRef share(const CellRef& e) {
    Index& ix = index();
    std::vector<Entry> entries = classify_structures(ix, e.get());
    FlatMap<CellRef> shared_results;  // cells with several owners, once shared
    std::vector<CellRef> results;
    std::vector<std::pair<uint32_t, bool>> pending{{0, false}};  // entry, parts done
    bool added;
    auto finish = [&](Cell* c, CellRef result) {
        if (has_many_owners(c)) shared_results.insert(CellKey(c), added) = result;
        results.push_back(std::move(result));
    };
    while (!pending.empty()) {
        auto [at, parts_done] = pending.back();
        pending.pop_back();
        const Entry& entry = entries[at];
        Cell* c = entry.cell;
        if (parts_done) {
            CellRef r = std::move(results.back());
            results.pop_back();
            CellRef l = std::move(results.back());
            results.pop_back();
            CellRef shared = l.get() == left_of(c) && r.get() == right_of(c) ? CellRef(c) : CellRef::pair(l, r);
            insert_member(ix, entry.id, shared);
            finish(c, std::move(shared));
            continue;
        }
        if (has_many_owners(c)) {
            if (CellRef* known = shared_results.find(CellKey(c))) {
                results.push_back(*known);
                continue;
            }
        }
        if (const CellRef& member = ix.members[entry.id]) {
            finish(c, member);
            continue;
        }
        if (entry.first != kNone) {  // first met under a cell that had a member: walk it now
            pending.push_back({entry.first, false});
            continue;
        }
        if (is_atom(c)) {
            CellRef atom(c);
            insert_member(ix, entry.id, atom);
            finish(c, std::move(atom));
            continue;
        }
        pending.push_back({at, true});
        pending.push_back({at + 1 + entries[at + 1].size, false});
        pending.push_back({at + 1, false});
    }
    return std::move(results.back());
}

void prune_sharing_set() {
    Index& ix = index();
    for (CellRef& member : ix.members) {
        if (!member) continue;
        Cell* c = member.get();
        if (is_data(c) || (!unreduced(c) && arity(c) >= 1)) continue;
        member = CellRef();
    }
    ix.view_current = false;
}
