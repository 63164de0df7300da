// 4x4 block compression (DXT1-DXT5) on RGBA bytes, 16 texels in row order.
#pragma once

#include <d3d9.h>

#include <cstdint>

namespace d3d9soft {

// DXT2 and DXT4 hold colour premultiplied by alpha.
inline bool premultiplied(D3DFORMAT format) { return format == D3DFMT_DXT2 || format == D3DFMT_DXT4; }

// The eight values of an interpolated alpha block (DXT4/DXT5): eight steps
// from a0 to a1 when a0 > a1, else six plus 0 and 255.
void interpolatedAlphaPalette(int a0, int a1, int palette[8]);

void decodeDxtBlock(D3DFORMAT format, const std::uint8_t* block, std::uint8_t rgba[64]);
void encodeDxtBlock(D3DFORMAT format, const std::uint8_t rgba[64], std::uint8_t* block);

typedef void (*DxtEncoder)(D3DFORMAT format, const std::uint8_t rgba[64], std::uint8_t* block);
// The AVX2 build of the encoder where there is one and the processor has
// AVX2, else the one for any processor.
DxtEncoder chosenDxtEncoder();

}  // namespace d3d9soft
