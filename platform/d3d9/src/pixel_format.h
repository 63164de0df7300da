// Pixel formats of the software layer: one table row per D3DFORMAT with its
// memory layout, how its texels turn into RGBA floats and back, and how a DDS
// file describes it.
#pragma once

#include <d3d9.h>

#include <cstddef>
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

// DDS pixel-format flags (DDPF_*).
enum DdsFlags : std::uint32_t {
    kDdsAlphaPixels = 0x1,
    kDdsAlpha = 0x2,
    kDdsFourCc = 0x4,  // the code is the D3DFORMAT value itself
    kDdsIndexed = 0x20,
    kDdsRgb = 0x40,
    kDdsLuminance = 0x20000,
    kDdsBumpLuminance = 0x40000,
    kDdsBumpDuDv = 0x80000,
};

// Channel order in bits/shift/ddsMasks: R, G, B, A (U, V, W, Q for the bump formats).
struct FormatInfo {
    D3DFORMAT format;
    FormatKind kind;
    std::uint8_t bytes;       // per unit of unitWidth x unitHeight texels
    std::uint8_t unitWidth;   // 1; 2 for the YUV formats, whose texel pairs share 4 bytes; 4 for DXT
    std::uint8_t unitHeight;  // 1; 4 for DXT
    std::uint8_t bits[4];     // how the layer converts it
    std::uint8_t shift[4];
    std::uint8_t signedMask;    // bit c: channel c is signed normalised
    bool luminance;             // channel R is luminance, read into R, G and B
    bool alpha;                 // the format stores alpha
    std::uint32_t ddsFlags;     // as the platform's DDS writer sets them; 0: no DDS description
    std::uint32_t ddsMasks[4];  // 0 where the DDS pixel format has none (and for every FourCC)
};

// Always returns a row; its kind is Unsupported for formats the layer cannot
// convert, and its bytes 0 for formats it knows nothing of.
const FormatInfo& formatInfo(D3DFORMAT format);

// Every row, for lookups by other keys than the format.
struct FormatRows {
    const FormatInfo* first;
    std::size_t count;
    const FormatInfo* begin() const { return first; }
    const FormatInfo* end() const { return first + count; }
};
FormatRows allFormats();

bool isBlockFormat(D3DFORMAT format);

// Bytes of one row of `width` texels (or of one row of 4x4 blocks), rows of a
// level, and bytes of a whole level tightly packed; 0 for an unknown format.
unsigned rowPitch(const FormatInfo& info, unsigned width);
unsigned rowCount(const FormatInfo& info, unsigned height);
std::size_t levelSize(const FormatInfo& info, unsigned width, unsigned height);
inline unsigned levelRowPitch(D3DFORMAT format, unsigned width) { return rowPitch(formatInfo(format), width); }

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
