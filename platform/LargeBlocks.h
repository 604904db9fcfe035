// Memory for large blocks of pixels that are filled right after they are taken. Where the system can,
// such a block is backed by large pages: reading a 30 MB gallery into fresh memory otherwise costs one
// page fault per 4 KiB, as much as the read itself.
#pragma once

#include <cstddef>

namespace vorlane::memory {

// `bytes` of memory, not cleared; throws std::bad_alloc when there is none.
void* AllocateBlock(std::size_t bytes);
// Gives back a block from AllocateBlock of the same size.
void FreeBlock(void* block, std::size_t bytes) noexcept;

} // namespace vorlane::memory
