#include <cmath>
#include <cstdlib>
#include <random>

#include "soft_device.h"

namespace {

struct Channel {
    unsigned shift, bits;
    bool isSigned;
};

struct Layout {
    D3DFORMAT format;
    unsigned bytes;
    std::vector<Channel> channels;  // the bits that carry data
    bool isFloat;
};

// Layouts as the SDK documents them, independent of the layer's own table.
const std::vector<Layout>& layouts() {
    static const std::vector<Layout> all = {
        {D3DFMT_A8R8G8B8, 4, {{0, 8, false}, {8, 8, false}, {16, 8, false}, {24, 8, false}}, false},
        {D3DFMT_X8R8G8B8, 4, {{0, 8, false}, {8, 8, false}, {16, 8, false}}, false},
        {D3DFMT_R5G6B5, 2, {{0, 5, false}, {5, 6, false}, {11, 5, false}}, false},
        {D3DFMT_X1R5G5B5, 2, {{0, 5, false}, {5, 5, false}, {10, 5, false}}, false},
        {D3DFMT_A1R5G5B5, 2, {{0, 5, false}, {5, 5, false}, {10, 5, false}, {15, 1, false}}, false},
        {D3DFMT_A4R4G4B4, 2, {{0, 4, false}, {4, 4, false}, {8, 4, false}, {12, 4, false}}, false},
        {D3DFMT_X4R4G4B4, 2, {{0, 4, false}, {4, 4, false}, {8, 4, false}}, false},
        {D3DFMT_R3G3B2, 1, {{0, 2, false}, {2, 3, false}, {5, 3, false}}, false},
        {D3DFMT_A8R3G3B2, 2, {{0, 2, false}, {2, 3, false}, {5, 3, false}, {8, 8, false}}, false},
        {D3DFMT_A8, 1, {{0, 8, false}}, false},
        {D3DFMT_L8, 1, {{0, 8, false}}, false},
        {D3DFMT_A8L8, 2, {{0, 8, false}, {8, 8, false}}, false},
        {D3DFMT_A4L4, 1, {{0, 4, false}, {4, 4, false}}, false},
        {D3DFMT_L16, 2, {{0, 16, false}}, false},
        {D3DFMT_A8B8G8R8, 4, {{0, 8, false}, {8, 8, false}, {16, 8, false}, {24, 8, false}}, false},
        {D3DFMT_X8B8G8R8, 4, {{0, 8, false}, {8, 8, false}, {16, 8, false}}, false},
        {D3DFMT_A2R10G10B10, 4, {{0, 10, false}, {10, 10, false}, {20, 10, false}, {30, 2, false}}, false},
        {D3DFMT_A2B10G10R10, 4, {{0, 10, false}, {10, 10, false}, {20, 10, false}, {30, 2, false}}, false},
        {D3DFMT_G16R16, 4, {{0, 16, false}, {16, 16, false}}, false},
        {D3DFMT_A16B16G16R16, 8, {{0, 16, false}, {16, 16, false}, {32, 16, false}, {48, 16, false}}, false},
        {D3DFMT_V8U8, 2, {{0, 8, true}, {8, 8, true}}, false},
        {D3DFMT_Q8W8V8U8, 4, {{0, 8, true}, {8, 8, true}, {16, 8, true}, {24, 8, true}}, false},
        {D3DFMT_V16U16, 4, {{0, 16, true}, {16, 16, true}}, false},
        {D3DFMT_R16F, 2, {{0, 16, false}}, true},
        {D3DFMT_G16R16F, 4, {{0, 16, false}, {16, 16, false}}, true},
        {D3DFMT_A16B16G16R16F, 8, {{0, 16, false}, {16, 16, false}, {32, 16, false}, {48, 16, false}}, true},
        {D3DFMT_R32F, 4, {{0, 32, false}}, true},
        {D3DFMT_G32R32F, 8, {{0, 32, false}, {32, 32, false}}, true},
        {D3DFMT_A32B32G32R32F, 16, {{0, 32, false}, {32, 32, false}, {64, 32, false}, {96, 32, false}}, true},
    };
    return all;
}

// Bit fields of a little-endian texel, one bit at a time.
std::uint64_t getBits(const std::uint8_t* texel, unsigned shift, unsigned bits) {
    std::uint64_t value = 0;
    for (unsigned b = 0; b < bits; ++b) value |= std::uint64_t((texel[(shift + b) / 8] >> ((shift + b) % 8)) & 1) << b;
    return value;
}

void setBits(std::uint8_t* texel, unsigned shift, unsigned bits, std::uint64_t value) {
    for (unsigned b = 0; b < bits; ++b)
        if ((value >> b) & 1) texel[(shift + b) / 8] = std::uint8_t(texel[(shift + b) / 8] | (1u << ((shift + b) % 8)));
}

// Random texels in which every channel holds a value the format represents
// exactly: no NaN or infinity, no most-negative signed value.
std::vector<std::uint8_t> randomTexels(const Layout& layout, unsigned count, std::mt19937& random) {
    std::vector<std::uint8_t> bytes(std::size_t(count) * layout.bytes);
    for (unsigned i = 0; i < count; ++i) {
        for (const Channel& c : layout.channels) {
            std::uint64_t value = random() & ((c.bits == 32) ? 0xffffffffu : ((1u << c.bits) - 1));
            if (layout.isFloat && c.bits == 16 && (value & 0x7c00) == 0x7c00) value &= ~0x4000u;
            if (layout.isFloat && c.bits == 32 && (value & 0x7f800000) == 0x7f800000) value &= ~0x40000000u;
            if (c.isSigned && value == (1u << (c.bits - 1))) value += 1;
            setBits(&bytes[std::size_t(i) * layout.bytes], c.shift, c.bits, value);
        }
    }
    return bytes;
}

std::uint64_t significant(const Layout& layout, const std::uint8_t* texel, unsigned channel) {
    return getBits(texel, layout.channels[channel].shift, layout.channels[channel].bits);
}

class SurfaceCopy : public SoftDeviceTest {
protected:
    struct Level {
        IDirect3DTexture9* texture = nullptr;
        IDirect3DSurface9* surface = nullptr;
        ~Level() {
            if (surface) surface->Release();
            if (texture) texture->Release();
        }
    };
    void make(Level& level, UINT width, UINT height, D3DFORMAT format) {
        level.texture = makeTexture(width, height, 1, format);
        ASSERT_NE(level.texture, nullptr);
        ASSERT_EQ(level.texture->GetSurfaceLevel(0, &level.surface), D3D_OK);
    }
    std::vector<std::uint32_t> argb(Level& level, UINT width, UINT height) {
        Level out;
        make(out, width, height, D3DFMT_A8R8G8B8);
        EXPECT_EQ(D3DXLoadSurfaceFromSurface(out.surface, nullptr, nullptr, level.surface, nullptr, nullptr,
                                             D3DX_FILTER_NONE, 0),
                  D3D_OK);
        std::vector<std::uint8_t> bytes = readLevel(out.texture, 0, width * 4, height);
        std::vector<std::uint32_t> texels(std::size_t(width) * height);
        std::memcpy(texels.data(), bytes.data(), bytes.size());
        return texels;
    }
};

TEST_F(SurfaceCopy, EveryFormatRoundTripsExactlyThroughFloats) {
    std::mt19937 random(7);
    const unsigned width = 37, height = 5;
    for (const Layout& layout : layouts()) {
        SCOPED_TRACE(layout.format);
        std::vector<std::uint8_t> texels = randomTexels(layout, width * height, random);
        Level source, wide, back;
        make(source, width, height, layout.format);
        make(wide, width, height, D3DFMT_A32B32G32R32F);
        make(back, width, height, layout.format);
        writeLevel(source.texture, 0, texels.data(), width * layout.bytes, height);
        ASSERT_EQ(D3DXLoadSurfaceFromSurface(wide.surface, nullptr, nullptr, source.surface, nullptr, nullptr,
                                             D3DX_FILTER_NONE, 0),
                  D3D_OK);
        ASSERT_EQ(D3DXLoadSurfaceFromSurface(back.surface, nullptr, nullptr, wide.surface, nullptr, nullptr,
                                             D3DX_FILTER_NONE, 0),
                  D3D_OK);
        std::vector<std::uint8_t> result = readLevel(back.texture, 0, width * layout.bytes, height);
        for (unsigned i = 0; i < width * height; ++i)
            for (unsigned c = 0; c < layout.channels.size(); ++c)
                ASSERT_EQ(significant(layout, &result[i * layout.bytes], c),
                          significant(layout, &texels[i * layout.bytes], c))
                    << "texel " << i << " channel " << c;
    }
}

TEST_F(SurfaceCopy, DirectConversionsMatchTheFloatPath) {
    struct Pair {
        D3DFORMAT from, to;
        unsigned bytes;
    } pairs[] = {
        {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, 4}, {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, 4},
        {D3DFMT_A8B8G8R8, D3DFMT_A8R8G8B8, 4}, {D3DFMT_A8R8G8B8, D3DFMT_A8B8G8R8, 4},
        {D3DFMT_R8G8B8, D3DFMT_A8R8G8B8, 3},   {D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, 3},
        {D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, 2},   {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, 2},
        {D3DFMT_X1R5G5B5, D3DFMT_A8R8G8B8, 2}, {D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8, 2},
        {D3DFMT_L8, D3DFMT_A8R8G8B8, 1},       {D3DFMT_A8L8, D3DFMT_A8R8G8B8, 2},
    };
    const unsigned width = 256, height = 256;  // every 16-bit value once
    for (const Pair& pair : pairs) {
        SCOPED_TRACE(pair.from);
        std::vector<std::uint8_t> source(std::size_t(width) * height * pair.bytes);
        for (std::size_t i = 0; i < source.size(); ++i) source[i] = std::uint8_t(i * 7 + i / 251);
        if (pair.bytes == 2)
            for (std::size_t i = 0; i < width * height; ++i) std::memcpy(&source[2 * i], &i, 2);
        RECT rect{0, 0, LONG(width), LONG(height)};
        Level direct, wide, viaFloat;
        make(direct, width, height, pair.to);
        make(wide, width, height, D3DFMT_A32B32G32R32F);
        make(viaFloat, width, height, pair.to);
        ASSERT_EQ(D3DXLoadSurfaceFromMemory(direct.surface, nullptr, nullptr, source.data(), pair.from,
                                            width * pair.bytes, nullptr, &rect, D3DX_FILTER_NONE, 0),
                  D3D_OK);
        ASSERT_EQ(D3DXLoadSurfaceFromMemory(wide.surface, nullptr, nullptr, source.data(), pair.from,
                                            width * pair.bytes, nullptr, &rect, D3DX_FILTER_NONE, 0),
                  D3D_OK);
        ASSERT_EQ(D3DXLoadSurfaceFromSurface(viaFloat.surface, nullptr, nullptr, wide.surface, nullptr, nullptr,
                                             D3DX_FILTER_NONE, 0),
                  D3D_OK);
        EXPECT_EQ(readLevel(direct.texture, 0, width * 4, height), readLevel(viaFloat.texture, 0, width * 4, height));
    }
    // The documented expansion: 5 bits round to the nearest of 255 steps.
    Level out;
    make(out, 32, 1, D3DFMT_A8R8G8B8);
    std::vector<std::uint16_t> blues(32);
    for (unsigned v = 0; v < 32; ++v) blues[v] = std::uint16_t(v);
    RECT rect{0, 0, 32, 1};
    ASSERT_EQ(D3DXLoadSurfaceFromMemory(out.surface, nullptr, nullptr, blues.data(), D3DFMT_R5G6B5, 64, nullptr, &rect,
                                        D3DX_FILTER_NONE, 0),
              D3D_OK);
    std::vector<std::uint8_t> bytes = readLevel(out.texture, 0, 128, 1);
    for (unsigned v = 0; v < 32; ++v) EXPECT_EQ(bytes[4 * v], unsigned(std::lround(v * 255.0 / 31))) << v;
}

TEST_F(SurfaceCopy, RectanglesPlaceCropAndPadWithoutScaling) {
    Level source, dest;
    make(source, 4, 4, D3DFMT_X8R8G8B8);
    make(dest, 8, 8, D3DFMT_A8R8G8B8);
    std::vector<std::uint32_t> texels(16);
    for (unsigned i = 0; i < 16; ++i) texels[i] = 0x00010203u * (i + 1);
    writeLevel(source.texture, 0, texels.data(), 16, 4);
    std::vector<std::uint32_t> marker(64, 0x77777777u);
    writeLevel(dest.texture, 0, marker.data(), 32, 8);

    RECT smaller{1, 2, 4, 4};  // crops the 4x4 source to 3x2
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(dest.surface, nullptr, &smaller, source.surface, nullptr, nullptr,
                                         D3DX_FILTER_NONE, 0),
              D3D_OK);
    RECT larger{3, 3, 8, 8};  // 5x5: one row and one column of transparent black
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(dest.surface, nullptr, &larger, source.surface, nullptr, nullptr,
                                         D3DX_FILTER_NONE, 0),
              D3D_OK);
    std::vector<std::uint32_t> result = argb(dest, 8, 8);
    EXPECT_EQ(result[2 * 8 + 1], 0xff000000u | texels[0]);
    EXPECT_EQ(result[3 * 8 + 2], 0xff000000u | texels[5]);
    EXPECT_EQ(result[1 * 8 + 1], 0x77777777u);
    EXPECT_EQ(result[3 * 8 + 3], 0xff000000u | texels[0]);
    EXPECT_EQ(result[6 * 8 + 6], 0xff000000u | texels[15]);
    EXPECT_EQ(result[6 * 8 + 7], 0u);
    EXPECT_EQ(result[7 * 8 + 3], 0u);
    EXPECT_EQ(result[0], 0x77777777u);

    for (RECT bad : {RECT{-1, 0, 2, 2}, RECT{0, 0, 9, 2}, RECT{4, 4, 2, 6}, RECT{0, 5, 2, 4}})
        EXPECT_EQ(D3DXLoadSurfaceFromSurface(dest.surface, nullptr, &bad, source.surface, nullptr, nullptr,
                                             D3DX_FILTER_NONE, 0),
                  D3DERR_INVALIDCALL);
    RECT badSource{0, 0, 5, 1};
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(dest.surface, nullptr, nullptr, source.surface, nullptr, &badSource,
                                         D3DX_FILTER_NONE, 0),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(dest.surface, nullptr, nullptr, source.surface, nullptr, nullptr, 0, 0),
              D3DERR_INVALIDCALL);
    d3d9soft::failCall("D3DXLoadSurfaceFromSurface", 1, E_FAIL);
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(dest.surface, nullptr, nullptr, source.surface, nullptr, nullptr,
                                         D3DX_FILTER_NONE, 0),
              E_FAIL);
}

TEST_F(SurfaceCopy, FiltersScaleAndTheColourKeyClears) {
    Level source, point, box;
    make(source, 2, 2, D3DFMT_A8R8G8B8);
    make(point, 4, 4, D3DFMT_A8R8G8B8);
    make(box, 1, 1, D3DFMT_A8R8G8B8);
    std::vector<std::uint32_t> texels = {0xff000000u, 0xff0000ffu, 0xff00ff00u, 0xffff0000u};
    writeLevel(source.texture, 0, texels.data(), 8, 2);
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(point.surface, nullptr, nullptr, source.surface, nullptr, nullptr,
                                         D3DX_FILTER_POINT, 0),
              D3D_OK);
    std::vector<std::uint32_t> scaled = argb(point, 4, 4);
    EXPECT_EQ(scaled[0], texels[0]);
    EXPECT_EQ(scaled[1 * 4 + 3], texels[1]);
    EXPECT_EQ(scaled[3 * 4 + 3], texels[3]);
    ASSERT_EQ(
        D3DXLoadSurfaceFromSurface(box.surface, nullptr, nullptr, source.surface, nullptr, nullptr, D3DX_FILTER_BOX, 0),
        D3D_OK);
    EXPECT_EQ(argb(box, 1, 1)[0], 0xff404040u);

    ASSERT_EQ(D3DXLoadSurfaceFromSurface(point.surface, nullptr, nullptr, source.surface, nullptr, nullptr,
                                         D3DX_FILTER_POINT, 0xff0000ffu),
              D3D_OK);
    scaled = argb(point, 4, 4);
    EXPECT_EQ(scaled[3], 0u);
    EXPECT_EQ(scaled[0], texels[0]);
}

TEST_F(SurfaceCopy, BoxHalvingGivesTheRoundedAverage) {
    std::mt19937 random(3);
    for (UINT sourceHeight : {6u, 1u}) {
        const UINT sourceWidth = 8, width = 4, height = sourceHeight == 1 ? 1 : sourceHeight / 2;
        for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_A16B16G16R16}) {
            SCOPED_TRACE(format);
            unsigned bytes = format == D3DFMT_A8R8G8B8 ? 1 : 2, texel = 4 * bytes;
            std::vector<std::uint8_t> texels(sourceWidth * sourceHeight * texel);
            for (auto& b : texels) b = std::uint8_t(random());
            Level source, half;
            make(source, sourceWidth, sourceHeight, format);
            make(half, width, height, format);
            writeLevel(source.texture, 0, texels.data(), sourceWidth * texel, sourceHeight);
            ASSERT_EQ(D3DXLoadSurfaceFromSurface(half.surface, nullptr, nullptr, source.surface, nullptr, nullptr,
                                                 D3DX_FILTER_BOX, 0),
                      D3D_OK);
            std::vector<std::uint8_t> result = readLevel(half.texture, 0, width * texel, height);
            auto channel = [&](const std::vector<std::uint8_t>& from, UINT rowWidth, UINT x, UINT y, UINT c) {
                std::size_t at = (std::size_t(y) * rowWidth + x) * texel + c * bytes;
                return bytes == 1 ? from[at] : unsigned(from[at] | (from[at + 1] << 8));
            };
            for (UINT y = 0; y < height; ++y)
                for (UINT x = 0; x < width; ++x)
                    for (UINT c = 0; c < 4; ++c) {
                        UINT y1 = sourceHeight == 1 ? 0 : 2 * y + 1;
                        double sum = channel(texels, sourceWidth, 2 * x, 2 * y, c) +
                                     channel(texels, sourceWidth, 2 * x + 1, 2 * y, c) +
                                     channel(texels, sourceWidth, 2 * x, y1, c) +
                                     channel(texels, sourceWidth, 2 * x + 1, y1, c);
                        double got = channel(result, width, x, y, c);
                        EXPECT_NEAR(got, std::floor(sum / 4 + 0.5), bytes == 1 ? 0 : 1) << x << "," << y;
                    }
        }
    }
}

}  // namespace
