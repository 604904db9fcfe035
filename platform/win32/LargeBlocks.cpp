// Large pages on Windows need a privilege ordinary users lack: blocks come from the C++ heap.
#include "platform/LargeBlocks.h"

#include <new>

namespace vorlane::memory {

void* AllocateBlock(std::size_t bytes)
{
    return ::operator new(bytes);
}

void FreeBlock(void* block, std::size_t) noexcept
{
    ::operator delete(block);
}

} // namespace vorlane::memory
