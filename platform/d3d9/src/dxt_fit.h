// Fitting the two halves of a DXT block to 4x4 RGBA texels (row order) so that
// the decoder in dxt.cpp rebuilds them with the least squared error.
#pragma once

#include <cstdint>

namespace d3d9soft {

// Colour half: two R5G6B5 endpoints and sixteen 2-bit indices. With `dxt1`
// texels whose alpha is below 128 become transparent black through DXT1's
// three-colour mode, which opaque blocks also take where it fits better.
void fitColourBlock(const std::uint8_t rgba[64], bool dxt1, std::uint8_t block[8]);

// Interpolated alpha of DXT4/DXT5: two 8-bit endpoints and sixteen 3-bit
// indices, in whichever of the two modes fits better.
void fitAlphaBlock(const std::uint8_t rgba[64], std::uint8_t block[8]);

}  // namespace d3d9soft
