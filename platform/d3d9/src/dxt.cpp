#include "dxt.h"

#include <d3d9_testing.h>

#include <atomic>
#include <cstring>

#include "dxt_fit.h"

namespace d3d9soft {

#if defined(D3D9SOFT_HAS_DXT_AVX2)
namespace avx2 {
void encodeBlock(D3DFORMAT format, const std::uint8_t rgba[64], std::uint8_t* block);
}
#endif

namespace {

void expand565(unsigned value, std::uint8_t out[3]) {
    unsigned r = (value >> 11) & 31, g = (value >> 5) & 63, b = value & 31;
    out[0] = std::uint8_t((r << 3) | (r >> 2));
    out[1] = std::uint8_t((g << 2) | (g >> 4));
    out[2] = std::uint8_t((b << 3) | (b >> 2));
}

// Colour part shared by all five formats; DXT1 alone has the three-colour mode.
void decodeColours(const std::uint8_t* block, bool allowThreeColour, std::uint8_t rgba[64]) {
    unsigned c0 = block[0] | (block[1] << 8), c1 = block[2] | (block[3] << 8);
    std::uint8_t palette[4][4];
    expand565(c0, palette[0]);
    expand565(c1, palette[1]);
    palette[0][3] = palette[1][3] = palette[2][3] = palette[3][3] = 255;
    bool fourColour = c0 > c1 || !allowThreeColour;
    for (int c = 0; c < 3; ++c) {
        int a = palette[0][c], b = palette[1][c];
        if (fourColour) {
            palette[2][c] = std::uint8_t((2 * a + b) / 3);
            palette[3][c] = std::uint8_t((a + 2 * b) / 3);
        } else {
            palette[2][c] = std::uint8_t((a + b) / 2);
            palette[3][c] = 0;
        }
    }
    if (!fourColour) palette[3][3] = 0;
    std::uint32_t indices = block[4] | (block[5] << 8) | (block[6] << 16) | (std::uint32_t(block[7]) << 24);
    for (int i = 0; i < 16; ++i) std::memcpy(rgba + 4 * i, palette[(indices >> (2 * i)) & 3], 4);
}

void decodeExplicitAlpha(const std::uint8_t* block, std::uint8_t rgba[64]) {
    for (int i = 0; i < 16; ++i) {
        unsigned nibble = (block[i / 2] >> ((i & 1) * 4)) & 15;
        rgba[4 * i + 3] = std::uint8_t(nibble * 17);
    }
}

void decodeInterpolatedAlpha(const std::uint8_t* block, std::uint8_t rgba[64]) {
    int values[8];
    interpolatedAlphaPalette(block[0], block[1], values);
    std::uint64_t indices = 0;
    for (int i = 0; i < 6; ++i) indices |= std::uint64_t(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) rgba[4 * i + 3] = std::uint8_t(values[(indices >> (3 * i)) & 7]);
}

// D3DX divides the colour by alpha in floats straight from the 565 endpoints
// (not from their 8-bit expansions), clamps and rounds.
void unpremultiply(const std::uint8_t* colours, std::uint8_t rgba[64]) {
    const unsigned c0 = colours[0] | (colours[1] << 8), c1 = colours[2] | (colours[3] << 8);
    const unsigned shift[3] = {11, 5, 0}, mask[3] = {31, 63, 31};
    float palette[4][3];
    for (int c = 0; c < 3; ++c) {
        float a = float((c0 >> shift[c]) & mask[c]) / float(mask[c]);
        float b = float((c1 >> shift[c]) & mask[c]) / float(mask[c]);
        palette[0][c] = a;
        palette[1][c] = b;
        palette[2][c] = (2 * a + b) / 3;
        palette[3][c] = (a + 2 * b) / 3;
    }
    const std::uint32_t indices =
        colours[4] | (colours[5] << 8) | (colours[6] << 16) | (std::uint32_t(colours[7]) << 24);
    for (int i = 0; i < 16; ++i) {
        const float alpha = rgba[4 * i + 3] / 255.0f;
        for (int c = 0; c < 3; ++c) {
            float value = alpha > 0 ? palette[(indices >> (2 * i)) & 3][c] / alpha : 0.0f;
            rgba[4 * i + c] = value >= 1.0f ? 255 : std::uint8_t(value * 255.0f + 0.5f);
        }
    }
}

}  // namespace

void interpolatedAlphaPalette(int a0, int a1, int palette[8]) {
    palette[0] = a0;
    palette[1] = a1;
    if (a0 > a1) {
        for (int i = 1; i < 7; ++i) palette[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (int i = 1; i < 5; ++i) palette[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        palette[6] = 0;
        palette[7] = 255;
    }
}

void decodeDxtBlock(D3DFORMAT format, const std::uint8_t* block, std::uint8_t rgba[64]) {
    if (format == D3DFMT_DXT1) {
        decodeColours(block, true, rgba);
        return;
    }
    decodeColours(block + 8, false, rgba);
    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3)
        decodeExplicitAlpha(block, rgba);
    else
        decodeInterpolatedAlpha(block, rgba);
    if (premultiplied(format)) unpremultiply(block + 8, rgba);
}

DxtEncoder chosenDxtEncoder() {
#if defined(D3D9SOFT_HAS_DXT_AVX2)
    __builtin_cpu_init();  // may run before the compiler's own start-up code
    if (__builtin_cpu_supports("avx2")) return avx2::encodeBlock;
#endif
    return baseline::encodeBlock;
}

namespace {
std::atomic<DxtEncoder> encoder{chosenDxtEncoder()};
}

void encodeDxtBlock(D3DFORMAT format, const std::uint8_t rgba[64], std::uint8_t* block) {
    encoder.load(std::memory_order_relaxed)(format, rgba, block);
}

bool useBaselineDxtEncoder(bool baseline) {
    encoder.store(baseline ? baseline::encodeBlock : chosenDxtEncoder());
    return chosenDxtEncoder() != baseline::encodeBlock;
}

}  // namespace d3d9soft
