// The language's own builtins on cells and memory: type, tern, leak, raws, rank, loads, stores.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "core/classify.h"
#include "core/fold.h"
#include "core/numbers.h"
#include "core/share.h"
#include "core/values.h"
#include "library/registry.h"

namespace {

CellRef type_builtin(CellRef, Cell* const* args) { return share(CellRef::atom(type_name(kind_of(args[0])))); }

CellRef tern_builtin(CellRef, Cell* const* args) { return share(CellRef(args[0])); }

CellRef leak_builtin(CellRef, Cell* const* args) {
    return make_integer(static_cast<int64_t>(reinterpret_cast<uintptr_t>(args[0])));
}

CellRef raws_builtin(CellRef, Cell* const* args) { return boolean(args[0] == args[1]); }

// Byte length of a data value: the cached extent where it is known, else the parts' lengths.
// Shared parts are measured once: a small graph may stand for more bytes than a word counts.
Integer data_length(Cell* d) {
    auto known = [](Cell* c) -> std::optional<Integer> {
        uint32_t e = extent_of(c);
        if (e >= 2) return Integer(e);
        if (is_atom(c)) return Integer(static_cast<int64_t>(atom_bytes(c).size()));
        return std::nullopt;
    };
    return fold_graph<Integer>(d, known, [](Cell*, const Integer& l, const Integer& r) { return l + r; });
}

CellRef count_numeral(uint64_t n) { return CellRef::atom(decimal_digits(n)); }

CellRef rank_builtin(CellRef, Cell* const* args) {
    Cell* x = args[0];
    switch (kind_of(x)) {
        case Kind::Post: return count_numeral(counted_length(x));
        case Kind::Real: return CellRef::atom("8");
        case Kind::Hint:
        case Kind::Numb: return count_numeral(numeral_text(x).size());
        case Kind::Zits: return CellRef::atom(hint_numeral(data_length(x)));
        default: return atom_Z();
    }
}

// A load takes the magnitude of any integer form; a value that spells no integer reads as 0.
template <typename T>
CellRef load(CellRef, Cell* const* args) {
    uint64_t address = to_uint64(args[0]);
    if (!is_mappable(static_cast<int64_t>(address))) return atom_Z();
    T value;
    std::memcpy(&value, reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), sizeof value);
    return make_integer(static_cast<int64_t>(value));
}

template <typename T>
CellRef store(CellRef, Cell* const* args) {
    if (!is_integer_arg(args[0]) || !is_integer_arg(args[1])) return atom_Z();
    int64_t address = to_int64(args[0]);
    if (!is_mappable(address)) return atom_Z();
    T value = static_cast<T>(to_int64(args[1]));
    std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &value, sizeof value);
    return atom_I();
}

constexpr BuiltinRow kRows[] = {
    {"type", seeing_cells(builtin<1, type_builtin>)},
    {"tern", seeing_cells(builtin<1, tern_builtin>)},
    {"leak", seeing_cells(builtin<1, leak_builtin>)},
    {"raws", seeing_cells(builtin<2, raws_builtin>)},
    {"rank", builtin<1, rank_builtin>},    {"getu", builtin<1, load<uint32_t>>},
    {"gets", builtin<1, load<int32_t>>},   {"gett", builtin<1, load<uint16_t>>},  {"getv", builtin<1, load<int16_t>>},
    {"getw", builtin<1, load<int64_t>>},   {"getz", builtin<1, load<int64_t>>},   {"getx", builtin<1, load<uint8_t>>},
    {"gety", builtin<1, load<int8_t>>},    {"setu", builtin<2, store<uint32_t>>}, {"sett", builtin<2, store<uint16_t>>},
    {"setw", builtin<2, store<uint64_t>>}, {"setx", builtin<2, store<uint8_t>>},
};

}  // namespace

std::span<const BuiltinRow> language_rows() { return kRows; }
