// Blocks for the fast tier's pool of functions, which a program may fill with millions of them.
#pragma once

#include <cstddef>

// The largest pool block: one huge page, where the system has them.
constexpr size_t kHugeBlockBytes = size_t{2} << 20;

// A block of `bytes` (at most kHugeBlockBytes) for a pool. A block of kHugeBlockBytes is aligned
// to its size and, where the system can, backed by one huge page when first touched: one page
// fault instead of 512. Fails as operator new does, through the new-handler; keeps errno.
std::byte* allocate_pool_block(size_t bytes);
void free_pool_block(std::byte* block, size_t bytes);
// The size of the next block of a pool whose last block had `bytes`: doubling, so that a small
// program keeps small blocks, up to kHugeBlockBytes.
inline size_t next_pool_block_bytes(size_t bytes) { return bytes < kHugeBlockBytes / 2 ? 2 * bytes : kHugeBlockBytes; }
