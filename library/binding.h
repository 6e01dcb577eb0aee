// The C-binding family: a binding is one row (name, argument codes, the call, the result code);
// one shared handler template checks and converts the arguments, calls once, converts the result.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

#include "core/cell.h"
#include "core/numbers.h"
#include "core/values.h"
#include "library/registry.h"

// Argument codes:
//   N  an integer (is_integer_arg)             -> to_int64
//   U  anything, unchecked                     -> to_int64
//   T  a counted text, an integer or data      -> to_address
//   R  a real atom                             -> real_of
//   P  a non-negative integer (counts, sizes)  -> to_int64
//   A  an integer other than 0 (an address the call dereferences)  -> to_int64
//   S  as T, but not the integer 0 (a string the call reads)       -> to_address
// A and S keep a null address away from calls that would crash on it; the answer is "Z".

// One converted argument. Accessors narrow to the C parameter type as a C call would.
struct CArg {
    int64_t n = 0;  // integers and addresses
    double r = 0;   // reals

    int i() const { return static_cast<int>(n); }
    unsigned u() const { return static_cast<unsigned>(n); }
    long l() const { return static_cast<long>(n); }
    size_t z() const { return static_cast<size_t>(n); }
    template <class T = void>
    T* p() const {
        return reinterpret_cast<T*>(static_cast<intptr_t>(n));
    }
    char* s() const { return p<char>(); }
    FILE* f() const { return p<FILE>(); }
};
using Args = const CArg*;

enum class ResultCode { Int, Dec, Real, Bool, I };

// Where the C function sees a value: an integer is the address itself, a data cell the bytes
// after its header, a counted text its first payload byte (NUL-terminated in the cell).
inline int64_t to_address(Cell* c) {
    switch (kind_of(c)) {
        case Kind::Hint: return to_int64(c);
        case Kind::Post: return reinterpret_cast<intptr_t>(atom_chars(c) + counted_payload_offset(c));
        case Kind::Zits: return reinterpret_cast<intptr_t>(c + 1);
        default: InternalFailure("truecast");
    }
}

// "K", "0", a numeral not starting with '0', or ((J H) r).
inline bool is_count_arg(const Cell* c) {
    if (is_atom(c)) {
        char first = atom_chars(c)[0];
        return atom_is(c, "K") || atom_is(c, "0") || (first >= '1' && first <= '9');
    }
    const Cell* head = left_of(c);
    return is_pair(head) && atom_is(left_of(head), "J") && atom_is(right_of(head), "H");
}

inline bool is_text_arg(Cell* c) {
    Kind kind = kind_of(c);
    return kind == Kind::Post || kind == Kind::Hint || kind == Kind::Zits;
}

// Checks one argument against its code and converts it; false leaves `out` unspecified.
inline bool convert_arg(char code, Cell* c, CArg& out) {
    switch (code) {
        case 'N':
            if (!is_integer_arg(c)) return false;
            out.n = to_int64(c);
            return true;
        case 'U': out.n = to_int64(c); return true;
        case 'P':
            if (!is_count_arg(c)) return false;
            out.n = to_int64(c);
            return true;
        case 'A':
            if (!is_integer_arg(c)) return false;
            out.n = to_int64(c);
            return out.n != 0;
        case 'T':
        case 'S':
            if (!is_text_arg(c)) return false;
            out.n = to_address(c);
            return code == 'T' || out.n != 0;
        case 'R':
            if (!has_tag(c, Tag::Real)) return false;
            out.r = real_of(c);
            return true;
        default: InternalFailure("argcode");
    }
}

template <ResultCode R, class V>
CellRef binding_result(V v) {
    if constexpr (R == ResultCode::Real) {
        return make_real(static_cast<double>(v));
    } else if constexpr (R == ResultCode::Bool) {
        return boolean(v != 0);
    } else if constexpr (std::is_pointer_v<V>) {
        static_assert(R == ResultCode::Int);
        return make_integer(reinterpret_cast<intptr_t>(v));
    } else if constexpr (R == ResultCode::Dec) {
        // "dec" results are meant to be non-negative; a negative one still comes out a numeral.
        return make_integer(static_cast<int64_t>(v));
    } else {
        static_assert(R == ResultCode::Int);
        // An unsigned result beyond the signed range keeps its value rather than its bits.
        if constexpr (std::is_unsigned_v<V>)
            if (static_cast<uint64_t>(v) > static_cast<uint64_t>(INT64_MAX)) return CellRef::atom(decimal_digits(v));
        return make_integer(static_cast<int64_t>(v));
    }
}

// Argument codes as a template argument: binding<"TT", ...>.
template <size_t Size>
struct ArgCodes {
    char codes[Size]{};
    constexpr ArgCodes(const char (&s)[Size]) { std::copy_n(s, Size, codes); }
    static constexpr int count = static_cast<int>(Size) - 1;
};

// The handler of one binding row. `Call` takes the converted arguments (a[0] is the first)
// and returns the C result, or nothing for the result code I.
template <ArgCodes Codes, ResultCode R, auto Call>
CellRef binding(CellRef application) {
    constexpr int n = Codes.count;
    Cell* cells[n + 1];
    CArg args[n + 1];
    builtin_args(application.get(), n, cells);
    for (int i = 0; i < n; ++i)
        if (!convert_arg(Codes.codes[i], cells[i], args[i])) return atom_Z();
    if constexpr (R == ResultCode::I) {
        Call(static_cast<Args>(args));
        return atom_I();
    } else {
        return binding_result<R>(Call(static_cast<Args>(args)));
    }
}

// A constant of arity 0.
template <int64_t Value>
CellRef constant(CellRef) {
    return make_integer(Value);
}
