// Fitting the two halves of a DXT block to 4x4 RGBA texels (row order) so that
// the decoder in dxt.cpp rebuilds them with the least squared error.
#pragma once

#include <d3d9.h>

#include <cstdint>

// The encoder is built twice on x86-64 (see CMakeLists.txt): for any such
// processor and for those with AVX2, each build in a namespace of its own,
// and encodeDxtBlock takes one at run time. Where the AVX2 build runs wider
// vectors it computes the same whole numbers, or the same float operations
// in the same order, and neither build fuses a multiply with an add, so
// their bytes are the same.
#if defined(D3D9SOFT_DXT_AVX2)
#define D3D9SOFT_DXT_ISA avx2
#else
#define D3D9SOFT_DXT_ISA baseline
#endif

namespace d3d9soft::D3D9SOFT_DXT_ISA {

// A whole block of `format` (DXT1-DXT5).
void encodeBlock(D3DFORMAT format, const std::uint8_t rgba[64], std::uint8_t* block);

// Colour half: two R5G6B5 endpoints and sixteen 2-bit indices. With `dxt1`
// texels whose alpha is below 128 become transparent black through DXT1's
// three-colour mode, which opaque blocks also take where it fits better.
void fitColourBlock(const std::uint8_t rgba[64], bool dxt1, std::uint8_t block[8]);

// Cluster fit: for `count` colours, channel by channel in `rgb`, the entries
// (as the decoder numbers them) of the best splits of their order along
// `axis` into runs, one run per entry. Returns how many (up to eight, the best
// first; none when no split has two runs).
int clusterEntries(const int rgb[3][16], int count, const float axis[3], bool three, std::uint8_t entries[8][16]);

// Interpolated alpha of DXT4/DXT5: two 8-bit endpoints and sixteen 3-bit
// indices, in whichever of the two modes fits better.
void fitAlphaBlock(const std::uint8_t rgba[64], std::uint8_t block[8]);

}  // namespace d3d9soft::D3D9SOFT_DXT_ISA
