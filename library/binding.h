// The C-binding family: a binding is one row (name, argument codes, the call, the result code);
// one shared handler template checks and converts the arguments, calls once, converts the result.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
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
//   A  an integer address the call dereferences                    -> to_int64
//   S  as T, but the call reads the string, so it may not be null   -> to_address
//   n  as N, an address the call may dereference, or 0 for none     -> to_int64
//   u  as U, an address the call may dereference, or 0 for none     -> to_int64
// Addresses in the lowest page are never mapped, and a small integer where an address
// belongs is the commonest slip: every address code answers "Z" for them (A and S for 0 too)
// instead of letting the call crash.

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

// Bytes a call may touch at to_address(c): a text's payload, a list literal's bytes, a data
// pair's two child words. An integer address carries no bound: it is the program's own.
inline std::optional<uint64_t> room_at_address(Cell* c) {
    switch (kind_of(c)) {
        case Kind::Post: return counted_length(c);
        case Kind::Zits: return is_atom(c) ? atom_bytes(c).size() : 2 * sizeof(Cell*);
        default: return std::nullopt;
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

inline bool is_null_or_mappable(int64_t address) { return address == 0 || is_mappable(address); }

// Checks one argument against its code and converts it; false leaves `out` unspecified.
inline bool convert_arg(char code, Cell* c, CArg& out) {
    switch (code) {
        case 'N':
        case 'n':
            if (!is_integer_arg(c)) return false;
            out.n = to_int64(c);
            return code == 'N' || is_null_or_mappable(out.n);
        case 'U': out.n = to_int64(c); return true;
        case 'u': out.n = to_int64(c); return is_null_or_mappable(out.n);
        case 'P':
            if (!is_count_arg(c)) return false;
            out.n = to_int64(c);
            return true;
        case 'A':
            if (!is_integer_arg(c)) return false;
            out.n = to_int64(c);
            return is_mappable(out.n);
        case 'T':
        case 'S':
            if (!is_text_arg(c)) return false;
            out.n = to_address(c);
            return code == 'T' ? is_null_or_mappable(out.n) : is_mappable(out.n);
        case 'R':
            if (!has_tag(c, Tag::Real)) return false;
            out.r = real_of(c);
            return true;
        default: InternalFailure("argcode");
    }
}

// The C result as the language sees it: a cell, or null with an integer in `word`.
template <ResultCode R, class V>
CellRef binding_answer(V v, int64_t& word) {
    if constexpr (R == ResultCode::Real) {
        return make_real(static_cast<double>(v));
    } else if constexpr (R == ResultCode::Bool) {
        return boolean(v != 0);
    } else if constexpr (std::is_pointer_v<V>) {
        static_assert(R == ResultCode::Int);
        word = reinterpret_cast<intptr_t>(v);
        return CellRef();
    } else {
        // "dec" results are meant to be non-negative; a negative one still comes out a numeral.
        // An unsigned result beyond the signed range keeps its value rather than its bits.
        if constexpr (R == ResultCode::Int && std::is_unsigned_v<V>)
            if (static_cast<uint64_t>(v) > static_cast<uint64_t>(INT64_MAX)) return CellRef::atom(decimal_digits(v));
        word = static_cast<int64_t>(v);
        return CellRef();
    }
}

// The bytes a call reads or writes at one of its arguments: the argument at `count` gives their
// number, multiplied by the argument at `per` when there is one (fwrite's size and count).
struct Span {
    int buffer = -1;
    int count = -1;
    int per = -1;
};

// Whether a span fits the text or list it was given; the counts are read as unsigned, so a
// negative one (which the call would take as huge) never fits.
inline bool span_fits(Cell* buffer, Args a, Span span) {
    std::optional<uint64_t> room = room_at_address(buffer);
    if (!room) return true;
    uint64_t bytes = static_cast<uint64_t>(a[span.count].n);
    if (span.per >= 0 && __builtin_mul_overflow(bytes, static_cast<uint64_t>(a[span.per].n), &bytes)) return false;
    return bytes <= *room;
}

// Argument codes as a template argument: binding<"TT", ...>.
template <size_t Size>
struct ArgCodes {
    char codes[Size]{};
    constexpr ArgCodes(const char (&s)[Size]) { std::copy_n(s, Size, codes); }
    static constexpr int count = static_cast<int>(Size) - 1;
};

// Converts a word argument as convert_arg does the canonical numeral it stands for.
inline bool convert_word_arg(char code, int64_t word, CArg& out) {
    out.n = word;
    switch (code) {
        case 'N':
        case 'U': return true;
        case 'n':
        case 'u':
        case 'T': return is_null_or_mappable(word);
        case 'P': return word >= 0;
        case 'A':
        case 'S': return is_mappable(word);
        case 'R': return false;
        default: InternalFailure("argcode");
    }
}

// One binding row's call on words and cells. `Call` takes the converted arguments (a[0] is the
// first) and returns the C result, or nothing for the result code I. A row whose call reads or
// writes a counted number of bytes names them as its Span: a text or list too short for them is
// wrong input, so the call never runs past the cell.
template <ArgCodes Codes, ResultCode R, auto Call, Span Bytes>
CellRef binding_direct(const WordOrCell* in, int64_t& word) {
    constexpr int n = Codes.count;
    CArg args[n + 1];
    for (int i = 0; i < n; ++i) {
        bool converted = in[i].cell ? convert_arg(Codes.codes[i], in[i].cell, args[i])
                                    : convert_word_arg(Codes.codes[i], in[i].word, args[i]);
        if (!converted) return atom_Z();
    }
    if constexpr (Bytes.buffer >= 0)
        if (in[Bytes.buffer].cell && !span_fits(in[Bytes.buffer].cell, args, Bytes)) return atom_Z();
    if constexpr (R == ResultCode::I) {
        Call(static_cast<Args>(args));
        return atom_I();
    } else {
        return binding_answer<R>(Call(static_cast<Args>(args)), word);
    }
}

// The handler of one binding row: the same call on the redex's cells.
template <ArgCodes Codes, ResultCode R, auto Call, Span Bytes>
CellRef binding_handler(CellRef, Cell* const* cells) {
    WordOrCell in[Codes.count + 1];
    for (int i = 0; i < Codes.count; ++i) in[i].cell = cells[i];
    int64_t word = 0;
    CellRef answer = binding_direct<Codes, R, Call, Bytes>(in, word);
    return answer ? answer : make_integer(word);
}

// A binding row's arity is the number of its argument codes.
template <ArgCodes Codes, ResultCode R, auto Call, Span Bytes = Span{}>
constexpr BuiltinImpl binding{Codes.count, unpacking_handler<Codes.count, binding_handler<Codes, R, Call, Bytes>>,
                              binding_direct<Codes, R, Call, Bytes>};

template <int64_t Value>
CellRef constant_handler(CellRef, Cell* const*) {
    return make_integer(Value);
}

template <int64_t Value>
constexpr BuiltinImpl constant = builtin<0, constant_handler<Value>>;
