#include "pixel_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3d9soft {

namespace {

constexpr FormatKind None = FormatKind::Unsupported, Packed = FormatKind::Packed, Half = FormatKind::Float16,
                     Float = FormatKind::Float32, Palette = FormatKind::Palette, Block = FormatKind::Block;
// Signed channels.
constexpr std::uint8_t UV = 1 | 2, UVW = UV | 4, UVWQ = UVW | 8;
constexpr std::uint32_t Rgb = kDdsRgb, RgbA = kDdsRgb | kDdsAlphaPixels, AlphaOnly = kDdsAlpha, FourCc = kDdsFourCc,
                        Indexed = kDdsIndexed, IndexedA = kDdsIndexed | kDdsAlphaPixels, Luminance = kDdsLuminance,
                        LuminanceA = kDdsLuminance | kDdsAlphaPixels, BumpLuminance = kDdsBumpLuminance,
                        BumpDuDv = kDdsBumpDuDv, BumpDuDvA = kDdsBumpDuDv | kDdsAlphaPixels;

// One row a format: kind, bytes per unit of unitWidth x unitHeight texels,
// bits and shifts of R, G, B, A, signed channels, luminance, alpha; then the
// DDS pixel format's flags and R, G, B, A masks. The DDS masks are those the
// platform writes: the 10:10:10:2 formats carry red and blue swapped relative
// to their names, and X8L8V8U8's luminance sits in the blue mask.
// clang-format off
const FormatInfo formatTable[] = {
    {D3DFMT_R8G8B8,        Packed,  3,  1, 1, {8, 8, 8, 0},     {16, 8, 0, 0},   0,    false, false, Rgb,           {0xff0000, 0xff00, 0xff, 0}},
    {D3DFMT_A8R8G8B8,      Packed,  4,  1, 1, {8, 8, 8, 8},     {16, 8, 0, 24},  0,    false, true,  RgbA,          {0xff0000, 0xff00, 0xff, 0xff000000}},
    {D3DFMT_X8R8G8B8,      Packed,  4,  1, 1, {8, 8, 8, 0},     {16, 8, 0, 0},   0,    false, false, Rgb,           {0xff0000, 0xff00, 0xff, 0}},
    {D3DFMT_R5G6B5,        Packed,  2,  1, 1, {5, 6, 5, 0},     {11, 5, 0, 0},   0,    false, false, Rgb,           {0xf800, 0x7e0, 0x1f, 0}},
    {D3DFMT_X1R5G5B5,      Packed,  2,  1, 1, {5, 5, 5, 0},     {10, 5, 0, 0},   0,    false, false, Rgb,           {0x7c00, 0x3e0, 0x1f, 0}},
    {D3DFMT_A1R5G5B5,      Packed,  2,  1, 1, {5, 5, 5, 1},     {10, 5, 0, 15},  0,    false, true,  RgbA,          {0x7c00, 0x3e0, 0x1f, 0x8000}},
    {D3DFMT_A4R4G4B4,      Packed,  2,  1, 1, {4, 4, 4, 4},     {8, 4, 0, 12},   0,    false, true,  RgbA,          {0xf00, 0xf0, 0xf, 0xf000}},
    {D3DFMT_R3G3B2,        Packed,  1,  1, 1, {3, 3, 2, 0},     {5, 2, 0, 0},    0,    false, false, Rgb,           {0xe0, 0x1c, 0x3, 0}},
    {D3DFMT_A8,            Packed,  1,  1, 1, {0, 0, 0, 8},     {0, 0, 0, 0},    0,    false, true,  AlphaOnly,     {0, 0, 0, 0xff}},
    {D3DFMT_A8R3G3B2,      Packed,  2,  1, 1, {3, 3, 2, 8},     {5, 2, 0, 8},    0,    false, true,  RgbA,          {0xe0, 0x1c, 0x3, 0xff00}},
    {D3DFMT_X4R4G4B4,      Packed,  2,  1, 1, {4, 4, 4, 0},     {8, 4, 0, 0},    0,    false, false, Rgb,           {0xf00, 0xf0, 0xf, 0}},
    {D3DFMT_A2B10G10R10,   Packed,  4,  1, 1, {10, 10, 10, 2},  {0, 10, 20, 30}, 0,    false, true,  RgbA,          {0x3ff00000, 0xffc00, 0x3ff, 0xc0000000}},
    {D3DFMT_A8B8G8R8,      Packed,  4,  1, 1, {8, 8, 8, 8},     {0, 8, 16, 24},  0,    false, true,  RgbA,          {0xff, 0xff00, 0xff0000, 0xff000000}},
    {D3DFMT_X8B8G8R8,      Packed,  4,  1, 1, {8, 8, 8, 0},     {0, 8, 16, 0},   0,    false, false, Rgb,           {0xff, 0xff00, 0xff0000, 0}},
    {D3DFMT_G16R16,        Packed,  4,  1, 1, {16, 16, 0, 0},   {0, 16, 0, 0},   0,    false, false, Rgb,           {0xffff, 0xffff0000, 0, 0}},
    {D3DFMT_A2R10G10B10,   Packed,  4,  1, 1, {10, 10, 10, 2},  {20, 10, 0, 30}, 0,    false, true,  RgbA,          {0x3ff, 0xffc00, 0x3ff00000, 0xc0000000}},
    {D3DFMT_A16B16G16R16,  Packed,  8,  1, 1, {16, 16, 16, 16}, {0, 16, 32, 48}, 0,    false, true,  FourCc,        {}},
    {D3DFMT_A8P8,          Palette, 2,  1, 1, {0, 0, 0, 8},     {0, 0, 0, 8},    0,    false, true,  IndexedA,      {0, 0, 0, 0xff00}},
    {D3DFMT_P8,            Palette, 1,  1, 1, {0, 0, 0, 0},     {0, 0, 0, 0},    0,    false, true,  Indexed,       {}},
    {D3DFMT_L8,            Packed,  1,  1, 1, {8, 0, 0, 0},     {0, 0, 0, 0},    0,    true,  false, Luminance,     {0xff, 0, 0, 0}},
    {D3DFMT_A8L8,          Packed,  2,  1, 1, {8, 0, 0, 8},     {0, 0, 0, 8},    0,    true,  true,  LuminanceA,    {0xff, 0, 0, 0xff00}},
    {D3DFMT_A4L4,          Packed,  1,  1, 1, {4, 0, 0, 4},     {0, 0, 0, 4},    0,    true,  true,  LuminanceA,    {0xf, 0, 0, 0xf0}},
    {D3DFMT_V8U8,          Packed,  2,  1, 1, {8, 8, 0, 0},     {0, 8, 0, 0},    UV,   false, false, BumpDuDv,      {0xff, 0xff00, 0, 0}},
    {D3DFMT_L6V5U5,        Packed,  2,  1, 1, {5, 5, 6, 0},     {0, 5, 10, 0},   UV,   false, false, BumpLuminance, {0x1f, 0x3e0, 0xfc00, 0}},
    // Luminance reads into alpha, as D3DX does; blue is absent.
    {D3DFMT_X8L8V8U8,      Packed,  4,  1, 1, {8, 8, 0, 8},     {0, 8, 0, 16},   UV,   false, false, BumpLuminance, {0xff, 0xff00, 0xff0000, 0}},
    {D3DFMT_Q8W8V8U8,      Packed,  4,  1, 1, {8, 8, 8, 8},     {0, 8, 16, 24},  UVWQ, false, false, BumpDuDv,      {0xff, 0xff00, 0xff0000, 0xff000000}},
    {D3DFMT_V16U16,        Packed,  4,  1, 1, {16, 16, 0, 0},   {0, 16, 0, 0},   UV,   false, false, BumpDuDv,      {0xffff, 0xffff0000, 0, 0}},
    {D3DFMT_A2W10V10U10,   Packed,  4,  1, 1, {10, 10, 10, 2},  {0, 10, 20, 30}, UVW,  false, true,  BumpDuDvA,     {0x3ff00000, 0xffc00, 0x3ff, 0xc0000000}},
    {D3DFMT_L16,           Packed,  2,  1, 1, {16, 0, 0, 0},    {0, 0, 0, 0},    0,    true,  false, Luminance,     {0xffff, 0, 0, 0}},
    {D3DFMT_Q16W16V16U16,  Packed,  8,  1, 1, {16, 16, 16, 16}, {0, 16, 32, 48}, UVWQ, false, false, FourCc,        {}},
    {D3DFMT_R16F,          Half,    2,  1, 1, {16, 0, 0, 0},    {0, 0, 0, 0},    0,    false, false, FourCc,        {}},
    {D3DFMT_G16R16F,       Half,    4,  1, 1, {16, 16, 0, 0},   {0, 16, 0, 0},   0,    false, false, FourCc,        {}},
    {D3DFMT_A16B16G16R16F, Half,    8,  1, 1, {16, 16, 16, 16}, {0, 16, 32, 48}, 0,    false, true,  FourCc,        {}},
    {D3DFMT_R32F,          Float,   4,  1, 1, {32, 0, 0, 0},    {0, 0, 0, 0},    0,    false, false, FourCc,        {}},
    {D3DFMT_G32R32F,       Float,   8,  1, 1, {32, 32, 0, 0},   {0, 32, 0, 0},   0,    false, false, FourCc,        {}},
    {D3DFMT_A32B32G32R32F, Float,   16, 1, 1, {32, 32, 32, 32}, {0, 32, 64, 96}, 0,    false, true,  FourCc,        {}},
    {D3DFMT_CxV8U8,        None,    2,  1, 1, {},               {},              0,    false, false, FourCc,        {}},
    {D3DFMT_UYVY,          None,    4,  2, 1, {},               {},              0,    false, false, FourCc,        {}},
    {D3DFMT_R8G8_B8G8,     None,    4,  2, 1, {},               {},              0,    false, false, FourCc,        {}},
    {D3DFMT_YUY2,          None,    4,  2, 1, {},               {},              0,    false, false, FourCc,        {}},
    {D3DFMT_G8R8_G8B8,     None,    4,  2, 1, {},               {},              0,    false, false, FourCc,        {}},
    {D3DFMT_DXT1,          Block,   8,  4, 4, {5, 6, 5, 1},     {0, 0, 0, 0},    0,    false, true,  FourCc,        {}},
    {D3DFMT_DXT2,          Block,   16, 4, 4, {5, 6, 5, 4},     {0, 0, 0, 0},    0,    false, true,  FourCc,        {}},
    {D3DFMT_DXT3,          Block,   16, 4, 4, {5, 6, 5, 4},     {0, 0, 0, 0},    0,    false, true,  FourCc,        {}},
    {D3DFMT_DXT4,          Block,   16, 4, 4, {5, 6, 5, 8},     {0, 0, 0, 0},    0,    false, true,  FourCc,        {}},
    {D3DFMT_DXT5,          Block,   16, 4, 4, {5, 6, 5, 8},     {0, 0, 0, 0},    0,    false, true,  FourCc,        {}},
};
// clang-format on

const FormatInfo unknownFormat = {D3DFMT_UNKNOWN, None, 0, 1, 1, {}, {}, 0, false, false, 0, {}};

template <unsigned Bytes>
std::uint64_t loadWord(const std::uint8_t* src) {
    std::uint64_t word = 0;
    std::memcpy(&word, src, Bytes);  // little-endian host
    return word;
}

template <unsigned Bytes>
void storeWord(std::uint8_t* dst, std::uint64_t word) {
    std::memcpy(dst, &word, Bytes);
}

// Per-channel constants of a packed format; absent channels have a zero mask
// and read as one through `offset`.
struct PackedChannels {
    std::uint64_t mask[4];
    unsigned shift[4];
    float scale[4], offset[4], maxValue[4];
    bool anySigned;

    explicit PackedChannels(const FormatInfo& info) : anySigned(info.signedMask != 0) {
        for (int c = 0; c < 4; ++c) {
            unsigned bits = info.bits[c];
            bool isSigned = info.signedMask & (1u << c);
            mask[c] = bits ? (~std::uint64_t(0) >> (64 - bits)) : 0;
            shift[c] = info.shift[c];
            maxValue[c] = float(isSigned ? (mask[c] >> 1) : mask[c]);
            scale[c] = bits ? 1.0f / maxValue[c] : 0.0f;
            offset[c] = bits ? 0.0f : 1.0f;
        }
    }
};

float clampUnit(float value, bool isSigned) {
    if (!(value == value)) return 1.0f;  // NaN is the largest value
    return std::min(1.0f, std::max(isSigned ? -1.0f : 0.0f, value));
}

float signedChannel(std::uint64_t raw, std::uint64_t mask, float scale) {
    std::int64_t value = std::int64_t(raw);
    if (raw > (mask >> 1)) value -= std::int64_t(mask) + 1;
    return std::max(-1.0f, float(value) * scale);
}

// Branch-free loops for the unsigned formats, which are nearly all of them.
template <unsigned Bytes>
void decodeUnsigned(const PackedChannels& k, bool luminance, const std::uint8_t* src, Float4* dst, unsigned count) {
    for (unsigned i = 0; i < count; ++i, src += Bytes) {
        std::uint64_t word = loadWord<Bytes>(src);
        float value[4];
        for (int c = 0; c < 4; ++c) value[c] = float((word >> k.shift[c]) & k.mask[c]) * k.scale[c] + k.offset[c];
        if (luminance) value[1] = value[2] = value[0];
        dst[i] = Float4{value[0], value[1], value[2], value[3]};
    }
}

template <unsigned Bytes>
void encodeUnsigned(const PackedChannels& k, bool luminance, const Float4* src, std::uint8_t* dst, unsigned count) {
    for (unsigned i = 0; i < count; ++i, dst += Bytes) {
        float value[4] = {src[i].r, src[i].g, src[i].b, src[i].a};
        for (float& v : value) v = v > 0.0f ? (v < 1.0f ? v : 1.0f) : v == v ? 0.0f : 1.0f;  // NaN is the largest
        // Luminance weighs the clamped channels, as D3DX does.
        if (luminance) value[0] = value[0] * 0.2125f + value[1] * 0.7154f + value[2] * 0.0721f;
        std::uint64_t word = 0;
        for (int c = 0; c < 4; ++c) word |= (std::uint64_t(value[c] * k.maxValue[c] + 0.5f) & k.mask[c]) << k.shift[c];
        storeWord<Bytes>(dst, word);
    }
}

void decodeSigned(const FormatInfo& info, const PackedChannels& k, const std::uint8_t* src, Float4* dst,
                  unsigned count) {
    for (unsigned i = 0; i < count; ++i, src += info.bytes) {
        std::uint64_t word = 0;
        std::memcpy(&word, src, info.bytes);
        float value[4];
        for (int c = 0; c < 4; ++c) {
            std::uint64_t raw = (word >> k.shift[c]) & k.mask[c];
            if (info.signedMask & (1u << c))
                value[c] = signedChannel(raw, k.mask[c], k.scale[c]);
            else
                value[c] = float(raw) * k.scale[c] + k.offset[c];
        }
        dst[i] = Float4{value[0], value[1], value[2], value[3]};
    }
}

void encodeSigned(const FormatInfo& info, const PackedChannels& k, const Float4* src, std::uint8_t* dst,
                  unsigned count) {
    for (unsigned i = 0; i < count; ++i, dst += info.bytes) {
        const float value[4] = {src[i].r, src[i].g, src[i].b, src[i].a};
        std::uint64_t word = 0;
        for (int c = 0; c < 4; ++c) {
            if (!k.mask[c]) continue;
            float scaled = clampUnit(value[c], info.signedMask & (1u << c)) * k.maxValue[c];
            // Add a half, then truncate towards zero: negative values round up, as D3DX's do.
            std::int64_t rounded = std::int64_t(scaled + 0.5f);
            word |= (std::uint64_t(rounded) & k.mask[c]) << k.shift[c];
        }
        std::memcpy(dst, &word, info.bytes);
    }
}

void decodePacked(const FormatInfo& info, const std::uint8_t* src, Float4* dst, unsigned count) {
    PackedChannels k(info);
    if (k.anySigned) return decodeSigned(info, k, src, dst, count);
    switch (info.bytes) {
        case 1:
            return decodeUnsigned<1>(k, info.luminance, src, dst, count);
        case 2:
            return decodeUnsigned<2>(k, info.luminance, src, dst, count);
        case 3:
            return decodeUnsigned<3>(k, info.luminance, src, dst, count);
        case 4:
            return decodeUnsigned<4>(k, info.luminance, src, dst, count);
        default:
            return decodeUnsigned<8>(k, info.luminance, src, dst, count);
    }
}

void encodePacked(const FormatInfo& info, const Float4* src, std::uint8_t* dst, unsigned count) {
    PackedChannels k(info);
    if (k.anySigned) return encodeSigned(info, k, src, dst, count);
    switch (info.bytes) {
        case 1:
            return encodeUnsigned<1>(k, info.luminance, src, dst, count);
        case 2:
            return encodeUnsigned<2>(k, info.luminance, src, dst, count);
        case 3:
            return encodeUnsigned<3>(k, info.luminance, src, dst, count);
        case 4:
            return encodeUnsigned<4>(k, info.luminance, src, dst, count);
        default:
            return encodeUnsigned<8>(k, info.luminance, src, dst, count);
    }
}

void decodeFloat(const FormatInfo& info, const std::uint8_t* src, Float4* dst, unsigned count) {
    for (unsigned i = 0; i < count; ++i, src += info.bytes) {
        float value[4];
        for (int c = 0; c < 4; ++c) {
            if (!info.bits[c]) {
                value[c] = 1.0f;
            } else if (info.kind == FormatKind::Float16) {
                std::uint16_t half;
                std::memcpy(&half, src + info.shift[c] / 8, 2);
                value[c] = halfToFloat(half);
            } else {
                std::memcpy(&value[c], src + info.shift[c] / 8, 4);
            }
        }
        dst[i] = Float4{value[0], value[1], value[2], value[3]};
    }
}

void encodeFloat(const FormatInfo& info, const Float4* src, std::uint8_t* dst, unsigned count) {
    for (unsigned i = 0; i < count; ++i, dst += info.bytes) {
        const float value[4] = {src[i].r, src[i].g, src[i].b, src[i].a};
        for (int c = 0; c < 4; ++c) {
            if (!info.bits[c]) continue;
            if (info.kind == FormatKind::Float16) {
                std::uint16_t half = floatToHalf(value[c]);
                std::memcpy(dst + info.shift[c] / 8, &half, 2);
            } else {
                std::memcpy(dst + info.shift[c] / 8, &value[c], 4);
            }
        }
    }
}

void decodePalette(const FormatInfo& info, const std::uint8_t* src, Float4* dst, unsigned count,
                   const PALETTEENTRY* palette) {
    const float scale = 1.0f / 255.0f;
    for (unsigned i = 0; i < count; ++i, src += info.bytes) {
        const PALETTEENTRY& entry = palette[src[0]];
        float alpha = info.bytes == 2 ? src[1] * scale : entry.peFlags * scale;
        dst[i] = Float4{entry.peRed * scale, entry.peGreen * scale, entry.peBlue * scale, alpha};
    }
}

}  // namespace

const FormatInfo& formatInfo(D3DFORMAT format) {
    for (const FormatInfo& info : formatTable)
        if (info.format == format) return info;
    return unknownFormat;
}

FormatRows allFormats() { return FormatRows{formatTable, sizeof formatTable / sizeof formatTable[0]}; }

bool isBlockFormat(D3DFORMAT format) { return formatInfo(format).kind == FormatKind::Block; }

unsigned rowPitch(const FormatInfo& info, unsigned width) {
    return (width + info.unitWidth - 1) / info.unitWidth * info.bytes;
}

unsigned rowCount(const FormatInfo& info, unsigned height) { return (height + info.unitHeight - 1) / info.unitHeight; }

std::size_t levelSize(const FormatInfo& info, unsigned width, unsigned height) {
    return std::size_t(rowPitch(info, width)) * rowCount(info, height);
}

void decodeRow(const FormatInfo& info, const std::uint8_t* src, Float4* dst, unsigned count,
               const PALETTEENTRY* palette) {
    switch (info.kind) {
        case FormatKind::Packed:
            decodePacked(info, src, dst, count);
            break;
        case FormatKind::Float16:
        case FormatKind::Float32:
            decodeFloat(info, src, dst, count);
            break;
        case FormatKind::Palette:
            decodePalette(info, src, dst, count, palette);
            break;
        default:
            break;
    }
}

void encodeRow(const FormatInfo& info, const Float4* src, std::uint8_t* dst, unsigned count) {
    switch (info.kind) {
        case FormatKind::Packed:
            encodePacked(info, src, dst, count);
            break;
        case FormatKind::Float16:
        case FormatKind::Float32:
            encodeFloat(info, src, dst, count);
            break;
        default:
            break;
    }
}

float halfToFloat(std::uint16_t half) {
    unsigned sign = half >> 15, exponent = (half >> 10) & 0x1f, mantissa = half & 0x3ff;
    float magnitude;
    if (exponent == 0)
        magnitude = std::ldexp(float(mantissa), -24);
    else if (exponent == 31)
        magnitude = mantissa ? NAN : INFINITY;
    else
        magnitude = std::ldexp(float(mantissa | 0x400), int(exponent) - 25);
    return sign ? -magnitude : magnitude;
}

std::uint16_t floatToHalf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    std::uint16_t sign = std::uint16_t((bits >> 16) & 0x8000);
    std::uint32_t magnitude = bits & 0x7fffffff;
    if (magnitude > 0x7f800000) return std::uint16_t(sign | 0x7e00);   // NaN
    if (magnitude >= 0x477ff000) return std::uint16_t(sign | 0x7c00);  // rounds past the largest half
    if (magnitude < 0x38800000) {                                      // subnormal half or zero
        float scaled = std::fabs(value) * 16777216.0f;                 // units of 2^-24
        return std::uint16_t(sign | std::uint16_t(std::nearbyint(scaled)));
    }
    // Round to nearest even on the 13 dropped mantissa bits.
    std::uint32_t rebased = magnitude - 0x38000000;
    std::uint32_t rounded = rebased + 0xfff + ((rebased >> 13) & 1);
    return std::uint16_t(sign | (rounded >> 13));
}

std::uint8_t expandToByte(unsigned value, unsigned bits) {
    float maxValue = float((1u << bits) - 1);
    return std::uint8_t(std::floor(float(value) * (1.0f / maxValue) * 255.0f + 0.5f));
}

}  // namespace d3d9soft
