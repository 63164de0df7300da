// Pixel formats of the software layer: how each D3DFORMAT is laid out in
// memory and how its texels turn into RGBA floats and back.
#pragma once

#include <d3d9.h>

#include <cstdint>

namespace d3d9soft {

struct Float4 {
    float r, g, b, a;
};

enum class FormatKind : std::uint8_t {
    Unsupported,  // no conversion to or from it
    Packed,       // integer channels in one little-endian word of up to 64 bits
    Float16,      // half-float channels
    Float32,      // float channels
    Palette,      // 8-bit index (plus 8-bit alpha for A8P8)
    Block,        // 4x4 texel blocks (DXT1-DXT5)
};

// Channel order in bits/shift: R, G, B, A (U, V, W, Q for the bump formats).
struct FormatInfo {
    D3DFORMAT format;
    FormatKind kind;
    std::uint8_t bytes;  // per texel, or per 4x4 block for Block
    std::uint8_t bits[4];
    std::uint8_t shift[4];
    std::uint8_t signedMask;  // bit c: channel c is signed normalised
    bool luminance;           // channel R is luminance, read into R, G and B
    bool alpha;               // the format stores alpha
};

// Always returns an entry; its kind is Unsupported for formats the layer cannot convert.
const FormatInfo& formatInfo(D3DFORMAT format);

bool isBlockFormat(D3DFORMAT format);

// Bytes of one row of `width` texels (or of one row of 4x4 blocks), and of a whole level.
unsigned rowPitch(const FormatInfo& info, unsigned width);
unsigned rowCount(const FormatInfo& info, unsigned height);
std::size_t levelSize(const FormatInfo& info, unsigned width, unsigned height);

// Row conversion to and from RGBA floats. `palette` is used by the Palette kind only.
// Neither may be called for Unsupported or Block formats.
void decodeRow(const FormatInfo& info, const std::uint8_t* src, Float4* dst, unsigned count,
               const PALETTEENTRY* palette);
void encodeRow(const FormatInfo& info, const Float4* src, std::uint8_t* dst, unsigned count);

float halfToFloat(std::uint16_t half);
std::uint16_t floatToHalf(float value);

// Unsigned normalised value of `bits` bits to 8 bits with the same rounding as the float path.
std::uint8_t expandToByte(unsigned value, unsigned bits);

}  // namespace d3d9soft
