// Block compression of many rows of blocks, spread over the layer's threads.
#pragma once

#include <d3d9.h>

#include <cstdint>

namespace d3d9soft {

// Compresses `rows` rows of `blocksPerRow` blocks. Row r's input is
// blocksPerRow blocks of 16 RGBA texels (64 bytes each, texels in row order)
// at rgba + r * blocksPerRow * 64; its output goes to out + r * pitch.
void encodeBlockRows(D3DFORMAT format, const std::uint8_t* rgba, unsigned blocksPerRow, unsigned rows,
                     std::uint8_t* out, long pitch);

}  // namespace d3d9soft
