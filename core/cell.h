// Cells: one 64-bit header, then two child pointers (pair) or inline bytes and a NUL (atom).
// The header layout is read by programs through `leak`, so it is fixed bit for bit:
// count 0-29, extent 30-55, arity 56-61 (biased by 52), unreduced 62, atom 63.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "core/check.h"

struct Cell {
    uint64_t header;
};

namespace cellbits {
constexpr uint64_t kCountMask = (uint64_t{1} << 30) - 1;
constexpr int kExtentShift = 30;
constexpr uint64_t kExtentMask = (uint64_t{1} << 26) - 1;
constexpr uint64_t kExtentLimit = uint64_t{1} << 26;
constexpr uint8_t kAtomBit = 0x80;
constexpr uint8_t kUnreducedBit = 0x40;
constexpr uint8_t kDataMarker = 0x40;  // low seven bits of the top byte of a data cell
constexpr uint8_t kClassMask = 0x7F;   // the top byte below the atom bit: zero until classified
constexpr uint8_t kArityMask = 0x3F;   // the biased arity
constexpr int kArityBias = 52;
}  // namespace cellbits

// Raw cell access. None of these touch reference counts.
inline uint8_t top_byte(const Cell* c) { return static_cast<uint8_t>(c->header >> 56); }
inline void set_top_byte(Cell* c, uint8_t b) {
    c->header = (c->header & ~(uint64_t{0xFF} << 56)) | (uint64_t{b} << 56);
}
inline bool is_atom(const Cell* c) { return (top_byte(c) & cellbits::kAtomBit) != 0; }
inline bool is_pair(const Cell* c) { return !is_atom(c); }
inline uint32_t ref_count(const Cell* c) { return static_cast<uint32_t>(c->header & cellbits::kCountMask); }
inline uint32_t extent_of(const Cell* c) {
    return static_cast<uint32_t>((c->header >> cellbits::kExtentShift) & cellbits::kExtentMask);
}
inline void set_extent(Cell* c, uint64_t x) {
    QUIB_CHECK(x < cellbits::kExtentLimit);
    c->header = (c->header & ~(cellbits::kExtentMask << cellbits::kExtentShift)) | (x << cellbits::kExtentShift);
}
inline bool is_classified(const Cell* c) { return (top_byte(c) & cellbits::kClassMask) != 0; }
inline Cell* left_of(const Cell* c) { return reinterpret_cast<Cell* const*>(c + 1)[0]; }
inline Cell* right_of(const Cell* c) { return reinterpret_cast<Cell* const*>(c + 1)[1]; }
inline const char* atom_chars(const Cell* c) { return reinterpret_cast<const char*>(c + 1); }
inline char* atom_chars_mut(Cell* c) { return reinterpret_cast<char*>(c + 1); }
// First byte of an atom; 0 for a pair.
inline unsigned char tag_of(const Cell* c) { return is_atom(c) ? static_cast<unsigned char>(atom_chars(c)[0]) : 0; }

// What an atom holds follows from its first byte: these, a digit for a numeral, or a name.
enum class Tag : unsigned char {
    Real = ' ',     // the eight bytes of a double
    Text = '(',     // a counted text
    List = '[',     // a list literal
    Cycle = ')',    // the cycle mark ")name" that ends a run
    Settle = ']',   // the mark "]name" that settles a parameterless definition
    Lambda = '\\',  // the binder of (\ v) b
    Binding = '{',  // the binder of (({ v) d) r
};
constexpr unsigned char tag_byte(Tag t) { return static_cast<unsigned char>(t); }
inline bool has_tag(const Cell* c, Tag t) { return tag_of(c) == tag_byte(t); }
constexpr bool is_numeral_tag(unsigned char t) { return t >= '0' && t <= '9'; }
inline bool is_numeral(const Cell* c) { return is_numeral_tag(tag_of(c)); }
// Numerals and list literals keep their byte length in the extent.
constexpr bool carries_length(unsigned char first) { return is_numeral_tag(first) || first == tag_byte(Tag::List); }
// The cycle and settle marks: reduced atoms wanting one argument.
constexpr bool is_mark_tag(unsigned char t) { return t == tag_byte(Tag::Cycle) || t == tag_byte(Tag::Settle); }
constexpr bool is_binder_tag(unsigned char t) { return t == tag_byte(Tag::Lambda) || t == tag_byte(Tag::Binding); }
// Atoms that may name a definition: every first byte but a digit and the tags above.
constexpr bool is_name_tag(unsigned char t) {
    return !is_numeral_tag(t) && t != tag_byte(Tag::Real) && t != tag_byte(Tag::Text) && t != tag_byte(Tag::List) &&
           !is_mark_tag(t) && !is_binder_tag(t);
}
// The atom's bytes, read by kind; empty for a pair.
std::string_view atom_bytes(const Cell* c);
// Payload length of a counted text atom (digits between "(" and ")").
size_t counted_length(const Cell* c);
// Offset of the first payload byte of a counted text atom.
size_t counted_payload_offset(const Cell* c);
// Whether an atom's bytes equal `s` exactly.
inline bool atom_is(const Cell* c, std::string_view s) { return is_atom(c) && atom_bytes(c) == s; }
// The one-byte atom holding c.
inline bool atom_is_char(const Cell* c, char ch) {
    return is_atom(c) && atom_chars(c)[0] == ch && atom_chars(c)[1] == 0;
}

// Allocation and release; release of a graph never recurses on the native stack.
Cell* allocate_pair(Cell* left, Cell* right);
Cell* allocate_atom(const char* bytes, size_t length);
void release_graph(Cell* c);
// Blocks come in whole granules; a block's size class is its size in granules.
constexpr size_t kGranule = 8;
constexpr size_t rounded_block_size(size_t bytes) { return (bytes + kGranule - 1) & ~(kGranule - 1); }
// Bytes of the block the allocator gives an atom of this many stored bytes (the NUL not counted).
constexpr size_t atom_block_bytes(size_t stored) { return rounded_block_size(sizeof(Cell) + stored + 1); }

inline void add_ref(Cell* c) {
    uint64_t h = c->header + 1;
    if (__builtin_expect((h & cellbits::kCountMask) == 0, 0)) AssertionFailure("b", __LINE__);
    c->header = h;
}
inline void drop_ref(Cell* c) {
    uint64_t h = c->header;
    QUIB_CHECK((h & cellbits::kCountMask) != 0);
    if ((h & cellbits::kCountMask) == 1)
        release_graph(c);
    else
        c->header = h - 1;
}

// The owning handle: one pointer, one reference.
class CellRef {
public:
    CellRef() = default;
    // Takes a new reference to c.
    explicit CellRef(Cell* c) : p_(c) {
        QUIB_CHECK(c != nullptr);
        add_ref(c);
    }
    CellRef(const CellRef& o) : p_(o.p_) {
        QUIB_CHECK(p_ != nullptr);
        add_ref(p_);
    }
    CellRef(CellRef&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    CellRef& operator=(const CellRef& o) {
        QUIB_CHECK(o.p_ != nullptr);
        if (o.p_ != p_) {
            add_ref(o.p_);
            Cell* old = p_;
            p_ = o.p_;
            if (old) drop_ref(old);
        }
        return *this;
    }
    CellRef& operator=(CellRef&& o) noexcept {
        if (this != &o) {
            Cell* old = p_;
            p_ = o.p_;
            o.p_ = nullptr;
            if (old) drop_ref(old);
        }
        return *this;
    }
    ~CellRef() {
        if (p_) drop_ref(p_);
    }

    // Adopts a reference the caller already owns (no count change).
    static CellRef adopt(Cell* c) {
        CellRef r;
        r.p_ = c;
        return r;
    }
    // Gives up the reference without releasing it.
    Cell* release() {
        Cell* c = p_;
        p_ = nullptr;
        return c;
    }

    static CellRef atom(std::string_view bytes) { return adopt(allocate_atom(bytes.data(), bytes.size())); }
    static CellRef atom(const char* s) {
        QUIB_CHECK(s != nullptr);
        return adopt(allocate_atom(s, std::strlen(s)));
    }
    static CellRef atom(std::string&& s) {
        CellRef r = adopt(allocate_atom(s.data(), s.size()));
        s.clear();
        return r;
    }
    static CellRef pair(CellRef l, CellRef r) {
        QUIB_CHECK(l.p_ != nullptr && r.p_ != nullptr);
        return adopt(allocate_pair(l.release(), r.release()));
    }
    static CellRef pair_of(Cell* l, Cell* r) {
        add_ref(l);
        add_ref(r);
        return adopt(allocate_pair(l, r));
    }

    Cell* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    bool is_pair() const { return ::is_pair(p_); }
    bool is_atom() const { return ::is_atom(p_); }
    unsigned char tag() const { return tag_of(p_); }
    std::string_view bytes() const { return atom_bytes(p_); }
    CellRef left() const {
        QUIB_CHECK(p_ != nullptr && ::is_pair(p_));
        return CellRef(left_of(p_));
    }
    CellRef right() const {
        QUIB_CHECK(p_ != nullptr && ::is_pair(p_));
        return CellRef(right_of(p_));
    }
    bool same(const CellRef& o) const { return p_ == o.p_; }

private:
    Cell* p_ = nullptr;
};

inline CellRef apply(CellRef f, CellRef a) { return CellRef::pair(std::move(f), std::move(a)); }
inline CellRef apply2(CellRef f, CellRef a, CellRef b) {
    return apply(apply(std::move(f), std::move(a)), std::move(b));
}
inline CellRef apply3(CellRef f, CellRef a, CellRef b, CellRef c) {
    return apply(apply2(std::move(f), std::move(a), std::move(b)), std::move(c));
}

// Counted texts: "(" + length in base-64 digits (fewest digits, none for 0) + ")" + payload.
std::string counted_prefix(size_t length);
CellRef make_counted_text(std::string_view payload);
inline std::string_view counted_payload(const Cell* c) {
    return {atom_chars(c) + counted_payload_offset(c), counted_length(c)};
}

// The counted text of text's payload followed by more. When nothing but the caller can see
// text (sole_owner), it is extended in place where its block has room, and a new block gets
// room to spare, so that building a text by repeated appending costs amortised linear time.
CellRef append_counted_text(Cell* text, bool sole_owner, std::string_view more);

// Live cells, for the micro-benchmark and the leak tests.
size_t live_cells();
// Bytes of cell blocks handed out since the process started: a measure of work that does not
// depend on how busy the machine is.
uint64_t cell_bytes_allocated();
