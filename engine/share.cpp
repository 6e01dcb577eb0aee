// The process-wide sharing set: one canonical cell for each structure shared so far.
// Members are found by structure in constant time: every structure met gets a class number,
// atoms by their bytes and pairs by the class numbers of their parts, so neither finding nor
// inserting compares whole graphs (ordered comparison of deep chains would be quadratic).
#include "engine/share.h"

#include <unordered_map>
#include <vector>

#include "compile/translate.h"
#include "engine/classify.h"

namespace {

using ClassId = uint64_t;

struct PairKeyHash {
    size_t operator()(const std::pair<ClassId, ClassId>& k) const {
        return std::hash<ClassId>()(k.first * 0x9E3779B97F4A7C15ULL ^ k.second);
    }
};

struct Index {
    std::unordered_map<std::string, ClassId> atom_classes;
    std::unordered_map<std::pair<ClassId, ClassId>, ClassId, PairKeyHash> pair_classes;
    std::unordered_map<ClassId, CellRef> members;
    ClassId next = 0;
    // The ordered view handed out by sharing_set(), rebuilt after changes.
    SharingSet view;
    bool view_current = true;
};

Index& index() {
    static Index i;
    return i;
}

ClassId AtomClass(Index& ix, const Cell* c) {
    auto [it, added] = ix.atom_classes.try_emplace(std::string(atom_bytes(c)), ix.next);
    if (added) ++ix.next;
    return it->second;
}

ClassId PairClass(Index& ix, ClassId l, ClassId r) {
    auto [it, added] = ix.pair_classes.try_emplace({l, r}, ix.next);
    if (added) ++ix.next;
    return it->second;
}

// Class numbers of every cell of e, parts before wholes, without native recursion.
std::unordered_map<Cell*, ClassId> Classes(Index& ix, Cell* e) {
    std::unordered_map<Cell*, ClassId> classes;
    std::vector<Cell*> pending{e};
    while (!pending.empty()) {
        Cell* c = pending.back();
        if (classes.count(c)) {
            pending.pop_back();
            continue;
        }
        if (is_atom(c)) {
            classes.emplace(c, AtomClass(ix, c));
            pending.pop_back();
            continue;
        }
        auto l = classes.find(left_of(c));
        auto r = classes.find(right_of(c));
        if (l != classes.end() && r != classes.end()) {
            classes.emplace(c, PairClass(ix, l->second, r->second));
            pending.pop_back();
            continue;
        }
        if (r == classes.end()) pending.push_back(right_of(c));
        if (l == classes.end()) pending.push_back(left_of(c));
    }
    return classes;
}

void Insert(Index& ix, ClassId id, const CellRef& c) {
    ix.members.emplace(id, c);
    ix.view_current = false;
}

}  // namespace

SharingSet& sharing_set() {
    Index& ix = index();
    if (!ix.view_current) {
        ix.view.clear();
        for (auto& [id, member] : ix.members) ix.view.insert(member);
        ix.view_current = true;
    }
    return ix.view;
}

void EmptySharingSet() {
    Index& ix = index();
    ix = Index();
}

// A member equal to e is the answer; otherwise the parts are shared first and e, or a pair
// of the shared parts when they differ from e's, joins the set.
CellRef Share(const CellRef& e) {
    Index& ix = index();
    std::unordered_map<Cell*, ClassId> classes = Classes(ix, e.get());
    std::unordered_map<Cell*, CellRef> done;
    std::vector<Cell*> pending{e.get()};
    while (!pending.empty()) {
        Cell* c = pending.back();
        if (done.count(c)) {
            pending.pop_back();
            continue;
        }
        ClassId id = classes.at(c);
        auto member = ix.members.find(id);
        if (member != ix.members.end()) {
            done.emplace(c, member->second);
            pending.pop_back();
            continue;
        }
        if (is_atom(c)) {
            CellRef atom(c);
            Insert(ix, id, atom);
            done.emplace(c, std::move(atom));
            pending.pop_back();
            continue;
        }
        auto l = done.find(left_of(c));
        auto r = done.find(right_of(c));
        if (l == done.end() || r == done.end()) {
            if (r == done.end()) pending.push_back(right_of(c));
            if (l == done.end()) pending.push_back(left_of(c));
            continue;
        }
        CellRef shared = l->second.get() == left_of(c) && r->second.get() == right_of(c)
                             ? CellRef(c)
                             : CellRef::pair(l->second, r->second);
        Insert(ix, id, shared);
        done.emplace(c, std::move(shared));
        pending.pop_back();
    }
    return done.at(e.get());
}

void PruneSharingSet() {
    Index& ix = index();
    for (auto it = ix.members.begin(); it != ix.members.end();) {
        Cell* c = it->second.get();
        bool keep = is_data(c) || (!unreduced(c) && arity(c) >= 1);
        it = keep ? std::next(it) : ix.members.erase(it);
    }
    ix.view_current = false;
}
