// Zero-filled storage for a texture's levels.
#pragma once

#include <cstddef>
#include <cstdint>

namespace d3d9soft {

// Null when the memory is not there. Large blocks are mapped on their own and
// advised to huge pages: a 2048 x 2048 page with its levels then faults in a
// dozen times instead of five thousand, and on a virtual machine each fault
// costs as much as composing a small texture.
std::uint8_t* allocateTextureMemory(std::size_t bytes);
void freeTextureMemory(std::uint8_t* block, std::size_t bytes);

}  // namespace d3d9soft
