// The language's own builtins on cells and memory: type, tern, leak, raws, rank, loads, stores.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/classify.h"
#include "core/numbers.h"
#include "core/share.h"
#include "core/values.h"
#include "library/registry.h"

namespace {

Cell* only_arg(const CellRef& app) { return right_of(app.get()); }

CellRef type_builtin(CellRef app) { return share(CellRef::atom(type_name(kind_of(only_arg(app))))); }

CellRef tern_builtin(CellRef app) { return share(CellRef(only_arg(app))); }

CellRef leak_builtin(CellRef app) {
    return make_integer(static_cast<int64_t>(reinterpret_cast<uintptr_t>(only_arg(app))));
}

CellRef raws_builtin(CellRef app) {
    Cell* args[2];
    builtin_args(app.get(), 2, args);
    return boolean(args[0] == args[1]);
}

// Byte length of a data value: the cached extent where it is known, else the parts' lengths.
uint64_t data_length(Cell* d) {
    uint64_t total = 0;
    std::vector<Cell*> pending{d};
    while (!pending.empty()) {
        Cell* c = pending.back();
        pending.pop_back();
        uint32_t e = extent_of(c);
        if (e >= 2) {
            total += e;
        } else if (is_atom(c)) {
            total += atom_bytes(c).size();
        } else {
            pending.push_back(right_of(c));
            pending.push_back(left_of(c));
        }
    }
    return total;
}

CellRef count_numeral(uint64_t n) { return CellRef::atom(decimal_digits(n)); }

CellRef rank_builtin(CellRef app) {
    Cell* x = only_arg(app);
    switch (kind_of(x)) {
        case Kind::Post: return count_numeral(counted_length(x));
        case Kind::Real: return CellRef::atom("8");
        case Kind::Hint:
        case Kind::Numb: return count_numeral(numeral_text(x).size());
        case Kind::Zits: return count_numeral(data_length(x));
        default: return atom_Z();
    }
}

// Addresses in the lowest page are never mapped: reading or writing there is answered with "Z"
// instead of ending the process. Any other address is the program's responsibility.
constexpr uint64_t kFirstMappable = 4096;

template <typename T>
CellRef load(CellRef app) {
    Cell* x = only_arg(app);
    if (!is_integer_arg(x)) return atom_Z();
    uint64_t address = to_uint64(x);
    if (address < kFirstMappable) return atom_Z();
    T value;
    std::memcpy(&value, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), sizeof value);
    return make_integer(static_cast<int64_t>(value));
}

template <typename T>
CellRef store(CellRef app) {
    Cell* args[2];
    builtin_args(app.get(), 2, args);
    if (!is_integer_arg(args[0]) || !is_integer_arg(args[1])) return atom_Z();
    uint64_t address = static_cast<uint64_t>(to_int64(args[0]));
    if (address < kFirstMappable) return atom_Z();
    T value = static_cast<T>(to_int64(args[1]));
    std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &value, sizeof value);
    return atom_I();
}

constexpr BuiltinRow kRows[] = {
    {"type", type_builtin},   {"tern", tern_builtin},    {"leak", leak_builtin},    {"raws", raws_builtin},
    {"rank", rank_builtin},   {"getu", load<uint32_t>},  {"gets", load<int32_t>},   {"gett", load<uint16_t>},
    {"getv", load<int16_t>},  {"getw", load<int64_t>},   {"getz", load<int64_t>},   {"getx", load<uint8_t>},
    {"gety", load<int8_t>},   {"setu", store<uint32_t>}, {"sett", store<uint16_t>}, {"setw", store<uint64_t>},
    {"setx", store<uint8_t>},
};

}  // namespace

std::span<const BuiltinRow> language_rows() { return kRows; }
