// Cell allocation (free lists per 8-byte size class), release without recursion, byte reading.
#include "core/cell.h"

#include <malloc.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "core/report.h"

namespace {

constexpr size_t kPooledLimit = 256;  // blocks up to this size come from the pools

struct FreeBlock {
    FreeBlock* next;
};

struct Pools {
    FreeBlock* free[kPooledLimit / kGranule + 1] = {};
    char* chunk_next = nullptr;
    char* chunk_end = nullptr;
    size_t live = 0;
    uint64_t allocated_bytes = 0;
};

Pools& pools() {
    static Pools p;
    return p;
}

// malloc that fails the way operator new does: through the new-handler (the driver's ends the
// process with its out-of-memory line), or std::bad_alloc when none is set.
void* checked_malloc(size_t size) {
    for (;;) {
        if (void* block = std::malloc(size)) return block;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

#ifndef QUIB_PLAIN_ALLOC
constexpr size_t kChunkBytes = 64 * 1024;

void* refill(Pools& p, size_t size) {
    if (static_cast<size_t>(p.chunk_end - p.chunk_next) < size) {
        // The tail of the old chunk is too small to matter; chunks live until exit.
        p.chunk_next = static_cast<char*>(checked_malloc(kChunkBytes));
        p.chunk_end = p.chunk_next + kChunkBytes;
    }
    void* block = p.chunk_next;
    p.chunk_next += size;
    return block;
}
#endif

inline void* allocate_block(size_t size) {
    Pools& p = pools();
    ++p.live;
    p.allocated_bytes += size;
#ifdef QUIB_PLAIN_ALLOC
    return checked_malloc(size);
#else
    if (size <= kPooledLimit) {
        FreeBlock*& head = p.free[size / kGranule];
        if (head) {
            FreeBlock* b = head;
            head = b->next;
            return b;
        }
        return refill(p, size);
    }
    return checked_malloc(size);
#endif
}

inline void free_block(void* block, size_t size) {
    Pools& p = pools();
    --p.live;
#ifdef QUIB_PLAIN_ALLOC
    (void)size;
    std::free(block);
#else
    if (size <= kPooledLimit) {
        FreeBlock* b = static_cast<FreeBlock*>(block);
        FreeBlock*& head = p.free[size / kGranule];
        b->next = head;
        head = b;
        return;
    }
    std::free(block);
#endif
}

// Size of an atom's block: header, the bytes as stored, the NUL.
inline size_t atom_block_size(const Cell* c) { return atom_block_bytes(atom_bytes(c).size()); }

inline void free_atom(Cell* c) { free_block(c, atom_block_size(c)); }

constexpr size_t kPairSize = sizeof(Cell) + 2 * sizeof(Cell*);
static_assert(kPairSize == 24, "a pair is exactly 24 bytes");

}  // namespace

Cell* allocate_pair(Cell* left, Cell* right) {
    Cell* c = static_cast<Cell*>(allocate_block(kPairSize));
    c->header = 1;  // the creating handle's reference
    Cell** kids = reinterpret_cast<Cell**>(c + 1);
    kids[0] = left;
    kids[1] = right;
    return c;
}

Cell* allocate_atom(const char* bytes, size_t length) {
    Cell* c = static_cast<Cell*>(allocate_block(atom_block_bytes(length)));
    char* out = atom_chars_mut(c);
    if (length) std::memcpy(out, bytes, length);
    out[length] = 0;
    c->header = (uint64_t{cellbits::kAtomBit} << 56) | 1;
    unsigned char first = length ? static_cast<unsigned char>(bytes[0]) : 0;
    if (carries_length(first) && length < cellbits::kExtentLimit)
        c->header |= uint64_t{length} << cellbits::kExtentShift;
    return c;
}

size_t counted_payload_offset(const Cell* c) {
    const char* s = atom_chars(c);
    size_t p = 1;
    while (s[p] != ')') ++p;
    return p + 1;
}

size_t counted_length(const Cell* c) {
    const char* s = atom_chars(c);
    size_t n = 0;
    for (size_t i = 1; s[i] != ')'; ++i) {
        int d = digit_value(static_cast<unsigned char>(s[i]));
        QUIB_CHECK(d >= 0);
        n = n * 64 + static_cast<size_t>(d);
    }
    return n;
}

std::string_view atom_bytes(const Cell* c) {
    if (!is_atom(c)) return {};
    const char* s = atom_chars(c);
    unsigned char first = static_cast<unsigned char>(s[0]);
    if (first == tag_byte(Tag::Real)) return {s, 9};
    if (carries_length(first)) {
        size_t n = extent_of(c);
        if (n) return {s, n};
        n = std::strlen(s);
        QUIB_CHECK(n >= cellbits::kExtentLimit);
        return {s, n};
    }
    if (first == tag_byte(Tag::Text)) return {s, counted_payload_offset(c) + counted_length(c)};
    return {s, std::strlen(s)};
}

// The last reference to c is going: free c and every cell that only it kept alive.
// Pairs waiting for their children to be released are chained through their headers.
void release_graph(Cell* c) {
    Cell* pending = nullptr;
    auto let_go = [&pending](Cell* x) {
        uint64_t h = x->header;
        QUIB_CHECK((h & cellbits::kCountMask) != 0);
        if ((h & cellbits::kCountMask) != 1) {
            x->header = h - 1;
        } else if (is_atom(x)) {
            free_atom(x);
        } else {
            x->header = reinterpret_cast<uint64_t>(pending);
            pending = x;
        }
    };
    let_go(c);
    while (pending) {
        Cell* p = pending;
        pending = reinterpret_cast<Cell*>(p->header);
        Cell* l = left_of(p);
        Cell* r = right_of(p);
        free_block(p, kPairSize);
        let_go(l);
        let_go(r);
    }
}

std::string counted_prefix(size_t length) {
    char digits[16];
    int n = 0;
    for (; length; length >>= 6) digits[n++] = kDigitAlphabet[length & 63];
    std::string out = "(";
    while (n) out += digits[--n];
    out += ')';
    return out;
}

CellRef make_counted_text(std::string_view payload) {
    std::string s = counted_prefix(payload.size());
    s.append(payload);
    return CellRef::atom(std::move(s));
}

namespace {

// Bytes an atom's block can hold after its header, the NUL included. Only blocks above the
// pooled sizes are ever given room to grow: a pooled block must stay in its size class.
size_t atom_room(Cell* c, size_t stored) {
    size_t size = atom_block_bytes(stored);
    if (size <= kPooledLimit) return size - sizeof(Cell);
    return malloc_usable_size(c) - sizeof(Cell);
}

}  // namespace

CellRef append_counted_text(Cell* c, bool sole_owner, std::string_view more) {
    size_t old_length = counted_length(c);
    size_t old_offset = counted_payload_offset(c);
    std::string prefix = counted_prefix(old_length + more.size());
    size_t needed = prefix.size() + old_length + more.size() + 1;
    char* out;
    CellRef result;
    if (sole_owner && needed <= atom_room(c, old_offset + old_length)) {
        out = atom_chars_mut(c);
        if (prefix.size() != old_offset) std::memmove(out + prefix.size(), out + old_offset, old_length);
        result = CellRef(c);
    } else {
        size_t block = rounded_block_size(sizeof(Cell) + needed);
        if (sole_owner && block > kPooledLimit) block = std::max(block, 2 * atom_block_bytes(old_offset + old_length));
        Cell* grown = static_cast<Cell*>(allocate_block(block));
        grown->header = (uint64_t{cellbits::kAtomBit} << 56) | 1;
        out = atom_chars_mut(grown);
        std::memcpy(out + prefix.size(), atom_chars(c) + old_offset, old_length);
        result = CellRef::adopt(grown);
    }
    std::memcpy(out, prefix.data(), prefix.size());
    std::memcpy(out + prefix.size() + old_length, more.data(), more.size());
    out[needed - 1] = 0;
    return result;
}

size_t live_cells() { return pools().live; }
uint64_t cell_bytes_allocated() { return pools().allocated_bytes; }
