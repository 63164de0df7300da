// The library's objects come from the host memory library through
// class-level allocation functions, packing-tree nodes through blocks of it
// (PackNodePool) and its vectors through HostMemoryAllocator. Nothing is
// replaced globally: character strings, the host's own allocations and the
// standard library's internals keep the default allocation, so a host may
// edit the strings of the records it gets.
// A failed allocation yields null (the functions are noexcept, so a
// new-expression checks for it).
#include <tarn/vek/memory.h>

#include "interface/TextureAtlas.h"
#include "interface/TextureAtlasConfiguration.h"

namespace textureatlas {

using tarn::vek::memory::ql_free;
using tarn::vek::memory::ql_malloc;

void* TextureAtlasConfiguration::operator new(std::size_t size) noexcept { return ql_malloc(size, 0); }
void TextureAtlasConfiguration::operator delete(void* pointer) noexcept { ql_free(pointer); }

void* TextureAtlas::operator new(std::size_t size) noexcept { return ql_malloc(size, 0); }
void TextureAtlas::operator delete(void* pointer) noexcept { ql_free(pointer); }

}  // namespace textureatlas
