#include "platform/LargeBlocks.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>

namespace vorlane::memory {
namespace {

// Transparent huge pages are 2 MiB on the machines this runs on. The whole huge pages inside a block of
// at least two are asked for (the system's default is often "only when asked"). The block itself comes
// from the C++ heap as any other, so a block given back and taken again is reused as it was.
constexpr std::uintptr_t HugePage = std::uintptr_t(2) << 20;
constexpr std::size_t LargeBlock = 2 * HugePage;

} // namespace

void* AllocateBlock(std::size_t bytes)
{
    void* block = ::operator new(bytes);
    if (bytes >= LargeBlock) {
        const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(block) + HugePage - 1) & ~(HugePage - 1);
        const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(HugePage - 1);
        if (end > start)
            ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    }
    return block;
}

void FreeBlock(void* block, std::size_t) noexcept
{
    ::operator delete(block);
}

} // namespace vorlane::memory
