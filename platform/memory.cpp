// Pool blocks: the huge ones mapped aligned to their size and advised to take one huge page.
#include "platform/memory.h"

#include <cerrno>
#include <cstdint>
#include <new>
#include <sys/mman.h>

namespace {

void* map(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

// kHugeBlockBytes aligned to their size, cut from a mapping twice as large; near a limit on the
// address space, where that much cannot be had, plain ones. Null when none can be had.
void* map_huge_block() {
    constexpr size_t span = 2 * kHugeBlockBytes;
    void* p = map(span);
    if (!p) return map(kHugeBlockBytes);
    auto start = reinterpret_cast<uintptr_t>(p);
    uintptr_t aligned = (start + kHugeBlockBytes - 1) & ~(uintptr_t{kHugeBlockBytes} - 1);
    if (aligned > start) munmap(p, aligned - start);
    if (uintptr_t end = aligned + kHugeBlockBytes; end < start + span)
        munmap(reinterpret_cast<void*>(end), start + span - end);
    madvise(reinterpret_cast<void*>(aligned), kHugeBlockBytes, MADV_HUGEPAGE);  // only advice
    return reinterpret_cast<void*>(aligned);
}

}  // namespace

// Sanitizer builds (plain allocation) keep every block on the heap, where the leak checker looks
// for the objects functions hold.
#ifdef QUIB_PLAIN_ALLOC
constexpr bool kMapHugeBlocks = false;
#else
constexpr bool kMapHugeBlocks = true;
#endif

std::byte* allocate_pool_block(size_t bytes) {
    if (bytes != kHugeBlockBytes || !kMapHugeBlocks) return static_cast<std::byte*>(::operator new(bytes));
    int saved = errno;  // programs read errno: the pools' own calls must not change it
    for (;;) {
        if (void* block = map_huge_block()) {
            errno = saved;
            return static_cast<std::byte*>(block);
        }
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void free_pool_block(std::byte* block, size_t bytes) {
    if (bytes != kHugeBlockBytes || !kMapHugeBlocks)
        ::operator delete(block);
    else
        munmap(block, bytes);
}
