#include "texture_memory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace d3d9soft {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Below this the rounding to whole huge pages would waste too large a share.
constexpr std::size_t kMappedFrom = std::size_t(4) << 20;

// A length of whole huge pages, which the kernel also maps on a huge-page
// boundary.
std::size_t mappedLength(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

std::uint8_t* allocateTextureMemory(std::size_t bytes) {
    if (bytes < kMappedFrom) return static_cast<std::uint8_t*>(std::calloc(bytes ? bytes : 1, 1));
    void* block = ::mmap(nullptr, mappedLength(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) return nullptr;
    ::madvise(block, mappedLength(bytes), MADV_HUGEPAGE);  // only advice: without it the pages are small
    return static_cast<std::uint8_t*>(block);
}

void freeTextureMemory(std::uint8_t* block, std::size_t bytes) {
    if (!block) return;
    if (bytes < kMappedFrom)
        std::free(block);
    else
        ::munmap(block, mappedLength(bytes));
}

}  // namespace d3d9soft
