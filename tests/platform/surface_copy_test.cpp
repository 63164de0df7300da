// Surface copies: exact conversions between every format, the unscaled
// placement rules, the scaling filters and paletted sources.
#include <cmath>
#include <random>
#include <tuple>

#include "image_fixtures.h"
#include "soft_device.h"

namespace {

enum Kind { U, S, F };  // unsigned, signed, float

// Layouts as the SDK documents them, independent of the layer's own table:
// channel widths from bit 0 up; the bits past them carry nothing.
struct Layout {
    D3DFORMAT format;
    unsigned bytes;
    std::vector<unsigned> widths;
    Kind kind;
};
// clang-format off
const Layout kLayouts[] = {
    {D3DFMT_A8R8G8B8, 4, {8, 8, 8, 8}, U}, {D3DFMT_X8R8G8B8, 4, {8, 8, 8}, U}, {D3DFMT_R5G6B5, 2, {5, 6, 5}, U},
    {D3DFMT_X1R5G5B5, 2, {5, 5, 5}, U}, {D3DFMT_A1R5G5B5, 2, {5, 5, 5, 1}, U}, {D3DFMT_A4R4G4B4, 2, {4, 4, 4, 4}, U},
    {D3DFMT_X4R4G4B4, 2, {4, 4, 4}, U}, {D3DFMT_R3G3B2, 1, {2, 3, 3}, U}, {D3DFMT_A8R3G3B2, 2, {2, 3, 3, 8}, U},
    {D3DFMT_A8, 1, {8}, U}, {D3DFMT_L8, 1, {8}, U}, {D3DFMT_A8L8, 2, {8, 8}, U}, {D3DFMT_A4L4, 1, {4, 4}, U},
    {D3DFMT_L16, 2, {16}, U}, {D3DFMT_A8B8G8R8, 4, {8, 8, 8, 8}, U}, {D3DFMT_X8B8G8R8, 4, {8, 8, 8}, U},
    {D3DFMT_A2R10G10B10, 4, {10, 10, 10, 2}, U}, {D3DFMT_A2B10G10R10, 4, {10, 10, 10, 2}, U},
    {D3DFMT_G16R16, 4, {16, 16}, U}, {D3DFMT_A16B16G16R16, 8, {16, 16, 16, 16}, U}, {D3DFMT_V8U8, 2, {8, 8}, S},
    {D3DFMT_Q8W8V8U8, 4, {8, 8, 8, 8}, S}, {D3DFMT_V16U16, 4, {16, 16}, S}, {D3DFMT_R16F, 2, {16}, F},
    {D3DFMT_G16R16F, 4, {16, 16}, F}, {D3DFMT_A16B16G16R16F, 8, {16, 16, 16, 16}, F}, {D3DFMT_R32F, 4, {32}, F},
    {D3DFMT_G32R32F, 8, {32, 32}, F}, {D3DFMT_A32B32G32R32F, 16, {32, 32, 32, 32}, F},
};
// clang-format on

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

// Every channel holds a value the format represents exactly: no NaN or
// infinity, no most-negative signed value.
std::uint64_t exactValue(const Layout& layout, unsigned bits, std::uint64_t value) {
    value &= (std::uint64_t(1) << bits) - 1;
    if (layout.kind == F && bits == 16 && (value & 0x7c00) == 0x7c00) value &= ~0x4000u;
    if (layout.kind == F && bits == 32 && (value & 0x7f800000) == 0x7f800000) value &= ~0x40000000u;
    if (layout.kind == S && value == (std::uint64_t(1) << (bits - 1))) value += 1;
    return value;
}

class SurfaceCopy : public SoftDeviceTest {
protected:
    // One texel of `format` (its bytes little-endian in `bits`) into A8R8G8B8.
    std::uint32_t oneTexel(D3DFORMAT format, std::uint64_t bits, D3DCOLOR key) {
        Level out(device, 1, 1, D3DFMT_A8R8G8B8);
        RECT rect{0, 0, 1, 1};
        EXPECT_EQ(fromMemory(out, nullptr, &bits, format, 16, &rect, nullptr, key), D3D_OK);
        return argb(out).at(0);
    }
};

}  // namespace

TEST_F(SurfaceCopy, EveryFormatRoundTripsExactlyThroughFloats) {
    std::mt19937 random(7);
    const unsigned width = 37, height = 5, count = width * height;
    for (const Layout& layout : kLayouts) {
        SCOPED_TRACE(layout.format);
        std::vector<std::uint8_t> texels(count * layout.bytes);
        for (unsigned i = 0, shift = 0; i < count; ++i, shift = 0)
            for (unsigned bits : layout.widths) {
                setBits(&texels[i * layout.bytes], shift, bits, exactValue(layout, bits, random()));
                shift += bits;
            }
        Level source(device, width, height, layout.format), wide(device, width, height, D3DFMT_A32B32G32R32F),
            back(device, width, height, layout.format);
        writeLevel(source.texture, 0, texels.data(), width * layout.bytes, height);
        ASSERT_EQ(copy(wide, nullptr, source), D3D_OK);
        ASSERT_EQ(copy(back, nullptr, wide), D3D_OK);
        std::vector<std::uint8_t> result = readLevel(back.texture, 0, width * layout.bytes, height);
        // Channel by channel: a whole texel can be wider than 64 bits. Negative
        // signed values come back one step nearer zero: D3DX adds a half and truncates.
        for (unsigned i = 0; i < count; ++i)
            for (unsigned c = 0, shift = 0; c < layout.widths.size(); shift += layout.widths[c++]) {
                const unsigned bits = layout.widths[c];
                std::uint64_t expected = getBits(&texels[i * layout.bytes], shift, bits);
                if (layout.kind == S && (expected >> (bits - 1))) expected = (expected + 1) & ((1ull << bits) - 1);
                ASSERT_EQ(getBits(&result[i * layout.bytes], shift, bits), expected)
                    << "texel " << i << " channel " << c;
            }
    }
}

TEST_F(SurfaceCopy, DirectConversionsMatchTheFloatPath) {
    const struct {
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
    RECT rect{0, 0, LONG(width), LONG(height)};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair.from);
        std::vector<std::uint8_t> source(std::size_t(width) * height * pair.bytes);
        for (std::size_t i = 0; i < source.size(); ++i) source[i] = std::uint8_t(i * 7 + i / 251);
        if (pair.bytes == 2)
            for (std::size_t i = 0; i < width * height; ++i) std::memcpy(&source[2 * i], &i, 2);
        Level direct(device, width, height, pair.to), wide(device, width, height, D3DFMT_A32B32G32R32F),
            viaFloat(device, width, height, pair.to);
        for (const Level* to : {&direct, &wide})
            ASSERT_EQ(fromMemory(*to, nullptr, source.data(), pair.from, width * pair.bytes, &rect), D3D_OK);
        ASSERT_EQ(copy(viaFloat, nullptr, wide), D3D_OK);
        EXPECT_EQ(readLevel(direct.texture, 0, width * 4, height), readLevel(viaFloat.texture, 0, width * 4, height));
    }
    // The documented expansion: 5 bits round to the nearest of 255 steps.
    Level out(device, 32, 1, D3DFMT_A8R8G8B8);
    std::vector<std::uint16_t> blues(32);
    for (unsigned v = 0; v < 32; ++v) blues[v] = std::uint16_t(v);
    RECT row{0, 0, 32, 1};
    ASSERT_EQ(fromMemory(out, nullptr, blues.data(), D3DFMT_R5G6B5, 64, &row), D3D_OK);
    std::vector<std::uint32_t> texels = argb(out);
    for (unsigned v = 0; v < 32; ++v) EXPECT_EQ(texels[v] & 0xff, unsigned(std::lround(v * 255.0 / 31))) << v;
}

// Both the direct and the float path: A16B16G16R16 has no direct converter.
TEST_F(SurfaceCopy, RectanglesPlaceCropAndPadWithoutScaling) {
    Level source(device, 4, 4, D3DFMT_X8R8G8B8), marker(device, 8, 8, D3DFMT_A8R8G8B8);
    std::vector<std::uint32_t> texels(16);
    for (unsigned i = 0; i < 16; ++i) texels[i] = 0x00010203u * (i + 1);
    writeLevel(source.texture, 0, texels.data(), 16, 4);
    writeLevel(marker.texture, 0, std::vector<std::uint32_t>(64, 0x77777777u).data(), 32, 8);
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_A16B16G16R16}) {
        SCOPED_TRACE(format);
        Level dest(device, 8, 8, format);
        ASSERT_EQ(copy(dest, nullptr, marker), D3D_OK);
        RECT smaller{1, 2, 4, 4};  // crops the 4x4 source to 3x2
        ASSERT_EQ(copy(dest, &smaller, source), D3D_OK);
        RECT larger{3, 3, 8, 8};  // 5x5: one row and one column of transparent black
        ASSERT_EQ(copy(dest, &larger, source), D3D_OK);
        std::vector<std::uint32_t> result = argb(dest);
        std::vector<std::uint32_t> expected = {texels[0],  texels[5], 0x77777777u, texels[0],
                                               texels[15], 0,         0,           0x77777777u};
        for (int i : {0, 1, 3, 4}) expected[i] |= 0xff000000u;
        EXPECT_EQ(
            std::vector<std::uint32_t>({result[2 * 8 + 1], result[3 * 8 + 2], result[1 * 8 + 1], result[3 * 8 + 3],
                                        result[6 * 8 + 6], result[6 * 8 + 7], result[7 * 8 + 3], result[0]}),
            expected);
    }

    Level& dest = marker;
    for (RECT bad : {RECT{-1, 0, 2, 2}, RECT{0, 0, 9, 2}, RECT{4, 4, 2, 6}, RECT{0, 5, 2, 4}})
        EXPECT_EQ(copy(dest, &bad, source), D3DERR_INVALIDCALL);
    RECT badSource{0, 0, 5, 1};
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(dest.surface, nullptr, nullptr, source.surface, nullptr, &badSource,
                                         D3DX_FILTER_NONE, 0),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(copy(dest, nullptr, source, 0), D3DERR_INVALIDCALL) << "no filter";
    // From memory: a source rectangle is required, and bounded before any buffer is sized by it.
    const std::uint8_t rgb[9] = {};
    RECT huge{0, 0, 1 << 20, 1}, three{0, 0, 3, 1}, outside{6, 6, 9, 7};
    const std::pair<const RECT*, const RECT*> memoryCases[] = {
        {nullptr, nullptr}, {nullptr, &huge}, {&outside, &three}};
    for (const auto& [to, from] : memoryCases)
        EXPECT_EQ(fromMemory(dest, to, rgb, D3DFMT_R8G8B8, 3u << 20, from), D3DERR_INVALIDCALL);
}

TEST_F(SurfaceCopy, FiltersScaleAndTheColourKeyClears) {
    Level source(device, 2, 2, D3DFMT_A8R8G8B8), point(device, 4, 4, D3DFMT_A8R8G8B8);
    std::vector<std::uint32_t> texels = {0xff000000u, 0xff0000ffu, 0xff00ff00u, 0xffff0000u};
    writeLevel(source.texture, 0, texels.data(), 8, 2);
    ASSERT_EQ(copy(point, nullptr, source, D3DX_FILTER_POINT), D3D_OK);
    std::vector<std::uint32_t> scaled = argb(point);
    EXPECT_EQ(std::vector<std::uint32_t>({scaled[0], scaled[1 * 4 + 3], scaled[3 * 4 + 3]}),
              std::vector<std::uint32_t>({texels[0], texels[1], texels[3]}));
    ASSERT_EQ(copy(point, nullptr, source, D3DX_FILTER_POINT, 0xff0000ffu), D3D_OK);
    scaled = argb(point);
    EXPECT_EQ(std::make_pair(scaled[3], scaled[0]), std::make_pair(0u, texels[0]));
}

// Halving 8-bit and 16-bit channels, two rows or one, takes the rounded mean (the box filter).
TEST_F(SurfaceCopy, BoxHalvingGivesTheRoundedAverage) {
    std::mt19937 random(3);
    for (UINT height : {3u, 1u})
        for (auto [format, bytes] : {std::pair{D3DFMT_A8R8G8B8, 1u}, std::pair{D3DFMT_A16B16G16R16, 2u}}) {
            SCOPED_TRACE(format);
            UINT sourceHeight = height == 1 ? 1 : 2 * height;
            std::vector<std::uint8_t> texels(8 * sourceHeight * 4 * bytes);
            for (auto& b : texels) b = std::uint8_t(random());
            Level source(device, 8, sourceHeight, format), half(device, 4, height, format);
            writeLevel(source.texture, 0, texels.data(), 8 * 4 * bytes, sourceHeight);
            ASSERT_EQ(copy(half, nullptr, source, D3DX_FILTER_BOX), D3D_OK);
            std::vector<std::uint8_t> result = readLevel(half.texture, 0, 4 * 4 * bytes, height);
            auto value = [&](const std::vector<std::uint8_t>& from, UINT x, UINT y, UINT c, UINT rowWidth) {
                std::size_t at = ((std::size_t(y) * rowWidth + x) * 4 + c) * bytes;
                return bytes == 1 ? from[at] : unsigned(from[at] | (from[at + 1] << 8));
            };
            for (UINT i = 0; i < 4 * height * 4; ++i) {
                UINT x = i / 4 % 4, y = i / 16, c = i % 4, y1 = height == 1 ? 0 : 2 * y + 1;
                double sum = value(texels, 2 * x, 2 * y, c, 8) + value(texels, 2 * x + 1, 2 * y, c, 8) +
                             value(texels, 2 * x, y1, c, 8) + value(texels, 2 * x + 1, y1, c, 8);
                EXPECT_NEAR(value(result, x, y, c, 4), std::floor(sum / 4 + 0.5), bytes - 1) << x << "," << y;
            }
        }
}

TEST_F(SurfaceCopy, PalettedSourcesUseThePaletteWithFlagsAsAlpha) {
    Level out(device, 2, 1, D3DFMT_A8R8G8B8);
    PALETTEENTRY palette[256] = {};
    palette[7] = PALETTEENTRY{10, 20, 30, 255};
    palette[9] = PALETTEENTRY{40, 50, 60, 128};
    const std::uint8_t indices[2] = {7, 9};
    RECT rect{0, 0, 2, 1};
    ASSERT_EQ(fromMemory(out, nullptr, indices, D3DFMT_P8, 2, &rect, palette), D3D_OK);
    EXPECT_EQ(argb(out), (std::vector<std::uint32_t>{0xff0a141eu, 0x8028323cu}));
    EXPECT_EQ(fromMemory(out, nullptr, indices, D3DFMT_P8, 2, &rect), D3DERR_INVALIDCALL) << "no palette";
}

// Argument edge cases of the memory and file loaders, and a file's first level
// through D3DXLoadSurfaceFromFileInMemory.
TEST_F(SurfaceCopy, LoaderArgumentsAndFilesInMemory) {
    using namespace fixtures;
    Level dest(device, 2, 2, D3DFMT_A8R8G8B8), source(device, 2, 2, D3DFMT_A8R8G8B8);
    const std::uint32_t row[2] = {0xff102030u, 0x80405060u};
    RECT rect{0, 0, 2, 2};
    ASSERT_EQ(fromMemory(dest, nullptr, row, D3DFMT_A8R8G8B8, 0, &rect), D3D_OK) << "pitch 0 repeats the first row";
    EXPECT_EQ(argb(dest), (std::vector<std::uint32_t>{row[0], row[1], row[0], row[1]}));
    EXPECT_EQ(fromMemory(dest, nullptr, row, D3DFMT_UNKNOWN, 8, &rect), E_FAIL);

    RECT empty{1, 1, 1, 1};
    for (bool emptyDest : {false, true}) {
        const RECT* to = emptyDest ? &empty : nullptr;
        const RECT* from = emptyDest ? nullptr : &empty;
        EXPECT_EQ(D3DXLoadSurfaceFromSurface(dest.surface, nullptr, to, source.surface, nullptr, from, D3DX_DEFAULT, 0),
                  E_FAIL);
        EXPECT_EQ(
            D3DXLoadSurfaceFromSurface(dest.surface, nullptr, to, source.surface, nullptr, from, D3DX_FILTER_NONE, 0),
            D3D_OK);
    }

    const Bytes file = tgaFile({2, 1, 32, true, {0x80112233u, 0xff445566u}});
    D3DXIMAGE_INFO info{};
    RECT second{1, 0, 2, 1}, corner{1, 1, 2, 2};
    ASSERT_EQ(D3DXLoadSurfaceFromFileInMemory(dest.surface, nullptr, &corner, file.data(), UINT(file.size()), &second,
                                              D3DX_FILTER_NONE, 0, &info),
              D3D_OK);
    EXPECT_EQ(std::make_tuple(info.Width, info.Height, info.Format, info.ImageFileFormat),
              std::make_tuple(2u, 1u, D3DFMT_A8R8G8B8, D3DXIFF_TGA));
    EXPECT_EQ(argb(dest)[3], 0xff445566u);
    EXPECT_EQ(D3DXLoadSurfaceFromFileInMemory(dest.surface, nullptr, nullptr, file.data(), 0, nullptr, D3DX_DEFAULT, 0,
                                              nullptr),
              D3DERR_INVALIDCALL);
    const Bytes junk(40, 'x');
    // Without an info pointer a probe reads nothing, so any existing file passes.
    EXPECT_EQ(D3DXGetImageInfoFromFileA(writeScratch("junk.bin", junk).c_str(), nullptr), D3D_OK);
    EXPECT_EQ(D3DXGetImageInfoFromFileA("no/such/file", nullptr), D3DXERR_INVALIDDATA);
    EXPECT_EQ(D3DXLoadSurfaceFromFileInMemory(dest.surface, nullptr, nullptr, junk.data(), UINT(junk.size()), nullptr,
                                              D3DX_DEFAULT, 0, nullptr),
              D3DXERR_INVALIDDATA);
}

// Signed channels move between the signed and unsigned ranges (a half added,
// then truncated, on the way to signed); NaN is the largest value; the
// luminance of X8L8V8U8 is alpha; premultiplied blocks un-premultiply in floats from
// their 565 endpoints, rounded.
TEST_F(SurfaceCopy, SignedFloatAndPremultipliedConversions) {
    const struct {
        D3DFORMAT from, to;
        std::vector<std::uint32_t> in, out;
    } cases[] = {
        {D3DFMT_Q8W8V8U8, D3DFMT_A8R8G8B8, {0x817fe020u}, {0x00a05fffu}},
        {D3DFMT_A8R8G8B8, D3DFMT_Q8W8V8U8, {0x40c08000u}, {0xc2820040u}},
        {D3DFMT_V8U8, D3DFMT_X8R8G8B8, {0x0000e020u}, {0x00a05fffu}},
        {D3DFMT_A32B32G32R32F, D3DFMT_A8R8G8B8, {0x7fc00000u, 0xffc00000u, 0x3f000000u, 0x7f800000u}, {0xffffff80u}},
        {D3DFMT_A32B32G32R32F, D3DFMT_Q8W8V8U8, {0x7fc00000u, 0xffc00000u, 0x3f000000u, 0x7f800000u}, {0x7f407f7fu}},
        {D3DFMT_X8L8V8U8, D3DFMT_A32B32G32R32F, {0x1280c140u}, {0x3f010204u, 0xbefdfbf8u, 0x3f800000u, 0x3f008081u}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " to " << c.to);
        const unsigned inBytes = unsigned(c.in.size() * 4), outBytes = unsigned(c.out.size() * 4);
        Level dest(device, 1, 1, c.to);
        RECT rect{0, 0, 1, 1};
        ASSERT_EQ(fromMemory(dest, nullptr, c.in.data(), c.from, inBytes, &rect), D3D_OK);
        std::vector<std::uint8_t> bytes = readLevel(dest.texture, 0, outBytes, 1);
        std::vector<std::uint32_t> words(c.out.size());
        std::memcpy(words.data(), bytes.data(), outBytes);
        if (c.to == D3DFMT_A32B32G32R32F) {  // floats to within one unit in the last place
            for (std::size_t i = 0; i < words.size(); ++i) EXPECT_NEAR(double(words[i]), double(c.out[i]), 1.0) << i;
        } else {
            EXPECT_EQ(words, c.out);
        }
    }

    // Floats are clamped channel by channel (NaN counts as 1) before they
    // become bytes or luminance; luminance is weighted, then rounded.
    const float floats[16] = {0.0f,  0.1f,  NAN,  INFINITY,  1.0f,  1.1f,  1.2f,  1.3f,
                              -0.1f, -0.2f, -NAN, -INFINITY, -1.0f, -1.1f, -1.2f, -1.3f};
    RECT pair{0, 0, 2, 2};
    Level colour(device, 2, 2, D3DFMT_A8R8G8B8), luminance(device, 2, 2, D3DFMT_A8L8);
    ASSERT_EQ(fromMemory(colour, nullptr, floats, D3DFMT_A32B32G32R32F, 32, &pair), D3D_OK);
    ASSERT_EQ(fromMemory(luminance, nullptr, floats, D3DFMT_A32B32G32R32F, 32, &pair), D3D_OK);
    EXPECT_EQ(argb(colour), (std::vector<std::uint32_t>{0xff001affu, 0xffffffffu, 0x000000ffu, 0u}));
    std::vector<std::uint16_t> texels(4);
    std::memcpy(texels.data(), readLevel(luminance.texture, 0, 4, 2).data(), 8);
    EXPECT_EQ(texels, (std::vector<std::uint16_t>{0xff25, 0xffff, 0x0012, 0x0000}));

    // Alpha 0x88 everywhere; the premultiplied colour 565 (16, 32, 16) is 0x84, 0x82, 0x84.
    // DXT4's interpolated alpha is un-premultiplied in the block colour-key test.
    const std::uint8_t dxt2[16] = {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x10, 0x84, 0x10, 0x84};
    Level dxt2Dest(device, 4, 4, D3DFMT_A8R8G8B8);
    RECT block{0, 0, 4, 4};
    ASSERT_EQ(fromMemory(dxt2Dest, nullptr, dxt2, D3DFMT_DXT2, 16, &block), D3D_OK);
    EXPECT_EQ(argb(dxt2Dest), std::vector<std::uint32_t>(16, 0x88f7f3f7u));
}

// The key is rounded to the source's precision and compared on the channels
// the source has; a keyed texel is zero in the source's own range.
TEST_F(SurfaceCopy, ColourKeyIsComparedInTheSourceFormat) {
    const struct {
        D3DFORMAT format;
        std::uint64_t texel;
        D3DCOLOR key;
        bool keyed;
    } cases[] = {
        {D3DFMT_A4R4G4B4, 0x8a3c, 0x80a536c8u, true},
        {D3DFMT_A4R4G4B4, 0x8a3c, 0x80a536b0u, false},
        {D3DFMT_R5G6B5, 0x529e, 0x005251f7u, true},
        {D3DFMT_R5G6B5, 0x529e, 0x125251f7u, true},
        {D3DFMT_R5G6B5, 0x529e, 0x005255f7u, false},
        {D3DFMT_R8G8B8, 0x102030, 0x00102030u, true},
        {D3DFMT_A8R8G8B8, 0x80102030, 0x00102030u, false},
        {D3DFMT_A8R8G8B8, 0x80102030, 0x80102030u, true},
        {D3DFMT_A4L4, 0x88, 0x8a8a8a8au, true},
        {D3DFMT_A4L4, 0x88, 0x8a404040u, false},
        {D3DFMT_R3G3B2, 0xb6, 0x77a4c8bfu, true},
        {D3DFMT_R32F, 0x3f800000, 0x00ff1234u, true},
        {D3DFMT_R32F, 0x3f000000, 0x00801234u, false},
        {D3DFMT_X1R5G5B5, 0x7fff, 0x01ffffffu, true},
        {D3DFMT_A1R5G5B5, 0xd294, 0xffa5a5a5u, true},
        {D3DFMT_A1R5G5B5, 0xd294, 0x7fa5a5a5u, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.format << " key " << std::hex << c.key);
        const std::uint32_t plain = oneTexel(c.format, c.texel, 0);
        EXPECT_EQ(oneTexel(c.format, c.texel, c.key), c.keyed ? 0u : plain);
    }
    // Zero in a signed range is the middle of the unsigned one.
    EXPECT_EQ(oneTexel(D3DFMT_Q8W8V8U8, 0x38000028, 0xb8a8807fu), 0x80808080u);
    EXPECT_NE(oneTexel(D3DFMT_Q8W8V8U8, 0x38000028, 0xb8a8907fu), 0x80808080u);
}

// Blocks are keyed after decoding (and un-premultiplying), with the key's
// colour in R5G6B5 range: 0xfb and 0xfd round to the largest 5- and 6-bit
// values, 0xfa and 0xfc do not.
TEST_F(SurfaceCopy, ColourKeyOfBlocksComparesDecodedTexelsInTheirPrecision) {
    const std::uint8_t dxt4[16] = {0x22, 0xcc, 0x86, 0xc6, 0xe6, 0x86, 0xc6, 0xe6, 0x10, 0x84, 0x10, 0x84};
    const std::uint8_t dxt5[16] = {0xff, 0x00, 0x00, 0x00, 0x00, 0x49, 0x92, 0x24, 0x00, 0xf8, 0x00, 0xf8};
    const std::vector<std::uint32_t> dxt4Rows = {0x00000000u, 0x22ffffffu, 0x44ffffffu, 0x66ffffffu,
                                                 0x88f7f3f7u, 0xaac5c2c5u, 0xcca5a2a5u, 0xff848284u};
    std::vector<std::uint32_t> dxt4Plain = dxt4Rows, dxt4Keyed = dxt4Rows;
    dxt4Plain.insert(dxt4Plain.end(), dxt4Rows.begin(), dxt4Rows.end());
    dxt4Keyed[2] = 0;
    dxt4Keyed.insert(dxt4Keyed.end(), dxt4Keyed.begin(), dxt4Keyed.end());
    std::vector<std::uint32_t> dxt5Plain(8, 0xffff0000u), dxt5Keyed(8, 0);
    dxt5Plain.insert(dxt5Plain.end(), 8, 0x00ff0000u);
    dxt5Keyed.insert(dxt5Keyed.end(), 8, 0x00ff0000u);
    const struct {
        D3DFORMAT format;
        const std::uint8_t* block;
        D3DCOLOR key;
        const std::vector<std::uint32_t>& expected;
    } cases[] = {
        {D3DFMT_DXT4, dxt4, 0x44ffffffu, dxt4Keyed}, {D3DFMT_DXT4, dxt4, 0x44fbfdfbu, dxt4Keyed},
        {D3DFMT_DXT4, dxt4, 0x44fafcfau, dxt4Plain}, {D3DFMT_DXT4, dxt4, 0x45ffffffu, dxt4Plain},
        {D3DFMT_DXT5, dxt5, 0xffff0000u, dxt5Keyed}, {D3DFMT_DXT5, dxt5, 0xfffb0000u, dxt5Keyed},
        {D3DFMT_DXT5, dxt5, 0xfeff0000u, dxt5Plain},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.format << " key " << std::hex << c.key);
        Level dest(device, 4, 4, D3DFMT_A8R8G8B8);
        RECT rect{0, 0, 4, 4};
        ASSERT_EQ(fromMemory(dest, nullptr, c.block, c.format, 16, &rect, nullptr, c.key), D3D_OK);
        EXPECT_EQ(argb(dest), c.expected);
    }
}
