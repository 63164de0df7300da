// DDS files: the header written for each format, levels packed after it,
// what we write loads back bit for bit, and independent writers and readers
// agree with us.
#include <cstdlib>

#include "platform/image_fixtures.h"
#include "platform/soft_device.h"

using namespace fixtures;

namespace {

using Dds = SoftDeviceTest;

}  // namespace

TEST_F(Dds, HeaderFieldsFollowTheFormatAndLevelCount) {
    using Fields = std::vector<std::uint32_t>;  // flags, mips, caps, pf flags, FourCC, bits, r, g, b, a masks
    const struct {
        D3DFORMAT format;
        UINT width, height, levels;
        std::size_t dataSize;
        Fields fields;
    } cases[] = {
        {D3DFMT_A8R8G8B8, 4, 4, 3, 84, {0x21007, 3, 0x40100a, 0x41, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000}},
        {D3DFMT_X8R8G8B8, 4, 2, 1, 32, {0x1007, 0, 0x1000, 0x40, 0, 32, 0xff0000, 0xff00, 0xff, 0}},
        {D3DFMT_DXT1, 8, 8, 1, 32, {0x1007, 0, 0x1000, 0x4, 0x31545844, 0, 0, 0, 0, 0}},
        {D3DFMT_DXT5, 8, 8, 4, 64 + 16 * 3, {0x21007, 4, 0x401008, 0x4, 0x35545844, 0, 0, 0, 0, 0}},
        {D3DFMT_A16B16G16R16F, 2, 2, 1, 32, {0x1007, 0, 0x1000, 0x4, 113, 0, 0, 0, 0, 0}},
        {D3DFMT_A2B10G10R10, 1, 1, 1, 4, {0x1007, 0, 0x1002, 0x41, 0, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000}},
        {D3DFMT_A8L8, 3, 5, 2, 30 + 4, {0x21007, 2, 0x40100a, 0x20001, 0, 16, 0xff, 0, 0, 0xff00}},
        {D3DFMT_A8, 2, 1, 1, 2, {0x1007, 0, 0x1002, 0x2, 0, 8, 0, 0, 0, 0xff}},
        {D3DFMT_V8U8, 2, 1, 1, 4, {0x1007, 0, 0x1000, 0x80000, 0, 16, 0xff, 0xff00, 0, 0}},
    };
    const std::string path = scratchPath("header.dds");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        IDirect3DTexture9* texture = makeTexture(c.width, c.height, c.levels, c.format);
        ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture, nullptr), D3D_OK);
        texture->Release();
        Bytes bytes = readFile(path);
        ASSERT_EQ(bytes.size(), 128 + c.dataSize);
        std::uint32_t h[32];
        std::memcpy(h, bytes.data(), 128);
        EXPECT_EQ(std::memcmp(h, "DDS ", 4), 0);
        // size, height, width, pitch, depth, pixel format size, then the row's fields in file order
        Fields expected = {124, c.height, c.width, 0, 0, 32, c.fields[0], c.fields[1], c.fields[2]};
        expected.insert(expected.end(), c.fields.begin() + 3, c.fields.end());
        EXPECT_EQ(Fields({h[1], h[3], h[4], h[5], h[6], h[19], h[2], h[7], h[27], h[20], h[21], h[22], h[23], h[24],
                          h[25], h[26]}),
                  expected);
    }
}

TEST_F(Dds, EveryHeldFormatLoadsBackExactly) {
    // clang-format off
    const D3DFORMAT formats[] = {
        D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4,
        D3DFMT_X4R4G4B4, D3DFMT_R3G3B2, D3DFMT_A8R3G3B2, D3DFMT_A8, D3DFMT_L8, D3DFMT_A8L8, D3DFMT_A4L4, D3DFMT_L16,
        D3DFMT_A8B8G8R8, D3DFMT_X8B8G8R8, D3DFMT_A2R10G10B10, D3DFMT_A2B10G10R10, D3DFMT_G16R16, D3DFMT_A16B16G16R16,
        D3DFMT_R16F, D3DFMT_G16R16F, D3DFMT_A16B16G16R16F, D3DFMT_R32F, D3DFMT_G32R32F, D3DFMT_A32B32G32R32F,
        D3DFMT_V8U8, D3DFMT_Q8W8V8U8, D3DFMT_V16U16, D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5};
    // clang-format on
    const std::string path = scratchPath("roundtrip.dds");
    // Distinct bytes in every level, the whole locked area of each.
    auto forEachLevel = [](IDirect3DTexture9* texture, DWORD flags, auto visit) {
        for (UINT level = 0; level < 3; ++level) {
            D3DLOCKED_RECT locked{};
            ASSERT_EQ(texture->LockRect(level, &locked, nullptr, flags), D3D_OK);
            D3DSURFACE_DESC desc = levelDesc(texture, level);
            UINT rows = desc.Format >= D3DFMT_DXT1 && desc.Format <= D3DFMT_DXT5 ? (desc.Height + 3) / 4 : desc.Height;
            Bytes expected(std::size_t(locked.Pitch) * rows);
            for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = std::uint8_t(i * 131 + level * 17 + 5);
            visit(static_cast<std::uint8_t*>(locked.pBits), expected);
            texture->UnlockRect(level);
        }
    };
    for (D3DFORMAT format : formats) {
        SCOPED_TRACE(format);
        IDirect3DTexture9* saved = makeTexture(8, 4, 3, format);
        ASSERT_EQ(levelDesc(saved, 0).Format, format);
        forEachLevel(saved, 0,
                     [](std::uint8_t* bits, const Bytes& bytes) { std::copy(bytes.begin(), bytes.end(), bits); });
        ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, saved, nullptr), D3D_OK);
        saved->Release();
        IDirect3DTexture9* back = loaded(readFile(path), 0, D3DX_FROM_FILE);
        ASSERT_TRUE(back);
        ASSERT_EQ(back->GetLevelCount(), 3u);
        EXPECT_EQ(levelDesc(back, 0).Format, format);
        forEachLevel(back, D3DLOCK_READONLY, [](std::uint8_t* bits, const Bytes& bytes) {
            EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), bits));
        });
    }
}

// Files of ImageMagick and nvcompress: their levels are kept bit for bit and
// the rest of the chain is filtered from the smallest one.
TEST_F(Dds, ReadsIndependentWritersLevelsBitForBit) {
    std::vector<Rgba> pixels = pattern(16, 8, false);
    std::string png = convertPixels(pixels, 16, 8, "-define png:color-type=6", "source.png");
    std::string dxt3 = scratchPath("nv_dxt3.dds");
    ASSERT_EQ(std::system(("nvcompress -bc2 '" + png + "' '" + dxt3 + "' >/dev/null 2>&1").c_str()), 0);
    const struct {
        std::string path;
        D3DFORMAT format;
        UINT fileLevels;
        unsigned blockBytes;
    } cases[] = {
        {convertPixels(pixels, 16, 8, "-define dds:compression=dxt1 -define dds:mipmaps=2", "im_dxt1.dds"), D3DFMT_DXT1,
         3, 8},
        {dxt3, D3DFMT_DXT3, 5, 16},
        {convertPixels(pixels, 16, 8, "-define dds:compression=dxt5 -define dds:mipmaps=0", "im_dxt5.dds"), D3DFMT_DXT5,
         1, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Bytes file = readFile(c.path), stored;
        D3DXIMAGE_INFO info{};
        IDirect3DTexture9* texture = loaded(file, 0, 0, &info);
        ASSERT_TRUE(texture);
        EXPECT_EQ(std::make_pair(info.Format, info.MipLevels), std::make_pair(c.format, c.fileLevels));
        EXPECT_EQ(std::make_pair(texture->GetLevelCount(), levelDesc(texture, 0).Format),
                  std::make_pair(DWORD(5), c.format));
        for (UINT level = 0; level < 5; ++level) {
            unsigned blocksWide = std::max(1u, (16u >> level) / 4), blocksHigh = std::max(1u, (8u >> level) / 4);
            Bytes bytes = readLevel(texture, level, blocksWide * c.blockBytes, blocksHigh);
            if (level < c.fileLevels) stored.insert(stored.end(), bytes.begin(), bytes.end());
            // Filtered from the file's smallest level: an opaque-ish gradient is never all zero.
            EXPECT_NE(std::count(bytes.begin(), bytes.end(), 0), std::ptrdiff_t(bytes.size())) << level;
        }
        EXPECT_EQ(Bytes(file.begin() + 128, file.end()), stored);
    }
}

// Pillow decodes our blocks to the texels we hold; uncompressed layouts are
// pinned by the pixel-format table and the round trip.
TEST_F(Dds, PillowReadsOurFiles) {
    const std::string python = "/usr/bin/python3 -c \"from PIL import Image; im = Image.open('";
    if (commandOutput("/usr/bin/python3 -c 'import PIL; print(1)' 2>/dev/null") != "1\n")
        GTEST_SKIP() << "Pillow (python3-pil) is not installed";
    const UINT width = 20, height = 12;
    std::vector<std::uint32_t> image(width * height);
    for (UINT i = 0; i < width * height; ++i) image[i] = 0x01000000u * (i * 3 % 256) + 0x00010203u * (i % 80);
    Level source(device, width, height, D3DFMT_A8R8G8B8);
    writeLevel(source.texture, 0, image.data(), width * 4, height);
    const std::string path = scratchPath("pillow.dds"), raw = scratchPath("pillow.rgba");
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT3, D3DFMT_DXT5}) {
        SCOPED_TRACE(format);
        Level texture(device, width, height, format, 0), ours(device, width, height, D3DFMT_A8B8G8R8);
        ASSERT_EQ(copy(texture, nullptr, source), D3D_OK);
        ASSERT_EQ(D3DXFilterTexture(texture.texture, nullptr, 0, D3DX_DEFAULT), D3D_OK);
        ASSERT_EQ(copy(ours, nullptr, texture), D3D_OK);
        Bytes expected = readLevel(ours.texture, 0, width * 4, height);
        ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture.texture, nullptr), D3D_OK);
        EXPECT_EQ(commandOutput(python + path + "'); print(im.size[0], im.size[1], im.mode); open('" + raw +
                                "', 'wb').write(im.convert('RGBA').tobytes())\" 2>&1"),
                  std::to_string(width) + " " + std::to_string(height) + " RGBA\n");
        Bytes decoded = readFile(raw);
        ASSERT_EQ(decoded.size(), expected.size());
        int worst = 0;
        for (std::size_t i = 0; i < decoded.size(); ++i)
            worst = std::max(worst, std::abs(int(decoded[i]) - int(expected[i])));
        EXPECT_LE(worst, 2);
    }
}

namespace {

Bytes countingBytes(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = std::uint8_t(i * 7 + 1);
    return bytes;
}

}  // namespace

// Every pixel format of the platform's DDS writer, as its documentation
// lists them: read back from a bare header, and written for the formats a
// texture can have.
TEST_F(Dds, EveryPixelFormatMatchesThePlatformsTable) {
    const std::uint32_t rgb = 0x40, alphaPixels = 0x1, lum = 0x20000, bumpLum = 0x40000, dudv = 0x80000, cc = 0x4;
    const struct {
        D3DFORMAT format;
        DdsPixelFormat pf;
    } cases[] = {
        {D3DFMT_R8G8B8, {rgb, 0, 24, 0xff0000, 0xff00, 0xff, 0}},
        {D3DFMT_A8R8G8B8, {rgb | alphaPixels, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000}},
        {D3DFMT_X8R8G8B8, {rgb, 0, 32, 0xff0000, 0xff00, 0xff, 0}},
        {D3DFMT_A8B8G8R8, {rgb | alphaPixels, 0, 32, 0xff, 0xff00, 0xff0000, 0xff000000}},
        {D3DFMT_X8B8G8R8, {rgb, 0, 32, 0xff, 0xff00, 0xff0000, 0}},
        {D3DFMT_R5G6B5, {rgb, 0, 16, 0xf800, 0x7e0, 0x1f, 0}},
        {D3DFMT_A1R5G5B5, {rgb | alphaPixels, 0, 16, 0x7c00, 0x3e0, 0x1f, 0x8000}},
        {D3DFMT_X1R5G5B5, {rgb, 0, 16, 0x7c00, 0x3e0, 0x1f, 0}},
        {D3DFMT_A4R4G4B4, {rgb | alphaPixels, 0, 16, 0xf00, 0xf0, 0xf, 0xf000}},
        {D3DFMT_X4R4G4B4, {rgb, 0, 16, 0xf00, 0xf0, 0xf, 0}},
        {D3DFMT_R3G3B2, {rgb, 0, 8, 0xe0, 0x1c, 0x3, 0}},
        {D3DFMT_A8R3G3B2, {rgb | alphaPixels, 0, 16, 0xe0, 0x1c, 0x3, 0xff00}},
        {D3DFMT_A2B10G10R10, {rgb | alphaPixels, 0, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000}},
        {D3DFMT_A2R10G10B10, {rgb | alphaPixels, 0, 32, 0x3ff, 0xffc00, 0x3ff00000, 0xc0000000}},
        {D3DFMT_G16R16, {rgb, 0, 32, 0xffff, 0xffff0000, 0, 0}},
        {D3DFMT_A8, {0x2, 0, 8, 0, 0, 0, 0xff}},
        {D3DFMT_L8, {lum, 0, 8, 0xff, 0, 0, 0}},
        {D3DFMT_L16, {lum, 0, 16, 0xffff, 0, 0, 0}},
        {D3DFMT_A8L8, {lum | alphaPixels, 0, 16, 0xff, 0, 0, 0xff00}},
        {D3DFMT_A4L4, {lum | alphaPixels, 0, 8, 0xf, 0, 0, 0xf0}},
        {D3DFMT_P8, {0x20, 0, 8, 0, 0, 0, 0}},
        {D3DFMT_A8P8, {0x20 | alphaPixels, 0, 16, 0, 0, 0, 0xff00}},
        {D3DFMT_V8U8, {dudv, 0, 16, 0xff, 0xff00, 0, 0}},
        {D3DFMT_V16U16, {dudv, 0, 32, 0xffff, 0xffff0000, 0, 0}},
        {D3DFMT_Q8W8V8U8, {dudv, 0, 32, 0xff, 0xff00, 0xff0000, 0xff000000}},
        {D3DFMT_A2W10V10U10, {dudv | alphaPixels, 0, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000}},
        {D3DFMT_X8L8V8U8, {bumpLum, 0, 32, 0xff, 0xff00, 0xff0000, 0}},
        {D3DFMT_L6V5U5, {bumpLum, 0, 16, 0x1f, 0x3e0, 0xfc00, 0}},
        {D3DFMT_DXT1, {cc, 0x31545844, 0, 0, 0, 0, 0}},
        {D3DFMT_DXT2, {cc, 0x32545844, 0, 0, 0, 0, 0}},
        {D3DFMT_DXT3, {cc, 0x33545844, 0, 0, 0, 0, 0}},
        {D3DFMT_DXT4, {cc, 0x34545844, 0, 0, 0, 0, 0}},
        {D3DFMT_DXT5, {cc, 0x35545844, 0, 0, 0, 0, 0}},
        {D3DFMT_UYVY, {cc, 0x59565955, 0, 0, 0, 0, 0}},
        {D3DFMT_YUY2, {cc, 0x32595559, 0, 0, 0, 0, 0}},
        {D3DFMT_R8G8_B8G8, {cc, 0x47424752, 0, 0, 0, 0, 0}},
        {D3DFMT_G8R8_G8B8, {cc, 0x42475247, 0, 0, 0, 0, 0}},
        {D3DFMT_A16B16G16R16, {cc, 36, 0, 0, 0, 0, 0}},
        {D3DFMT_Q16W16V16U16, {cc, 110, 0, 0, 0, 0, 0}},
        {D3DFMT_R16F, {cc, 111, 0, 0, 0, 0, 0}},
        {D3DFMT_G16R16F, {cc, 112, 0, 0, 0, 0, 0}},
        {D3DFMT_A16B16G16R16F, {cc, 113, 0, 0, 0, 0, 0}},
        {D3DFMT_R32F, {cc, 114, 0, 0, 0, 0, 0}},
        {D3DFMT_G32R32F, {cc, 115, 0, 0, 0, 0, 0}},
        {D3DFMT_A32B32G32R32F, {cc, 116, 0, 0, 0, 0, 0}},
        {D3DFMT_CxV8U8, {cc, 117, 0, 0, 0, 0, 0}},
    };
    const std::string path = scratchPath("format.dds");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const Bytes file = ddsFile(0x1007, 4, 4, 0, 1, c.pf, 0, Bytes(1024 + 4 * 4 * 16));
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), UINT(file.size()), &info), D3D_OK);
        EXPECT_EQ(info.Format, c.format);
        IDirect3DTexture9* texture = nullptr;
        if (FAILED(D3DXCreateTexture(device, 4, 4, 1, 0, c.format, D3DPOOL_SYSTEMMEM, &texture))) continue;
        if (levelDesc(texture, 0).Format == c.format) {
            ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture, nullptr), D3D_OK);
            const Bytes saved = readFile(path);
            ASSERT_GE(saved.size(), 128u);
            EXPECT_EQ(Bytes(saved.begin() + 80, saved.begin() + 108), Bytes(file.begin() + 80, file.begin() + 108));
        }
        texture->Release();
    }
}

// Unused pixel-format fields full of junk, as other tools write them, do not
// hide the format; an A8L8 file that claims 8 bits is still A8L8.
TEST_F(Dds, JunkInUnusedPixelFormatFieldsIsIgnored) {
    const std::uint32_t junk = 0xffffffff, fourCc = 0x31545844;
    const struct {
        DdsPixelFormat pf;
        D3DFORMAT format;
        unsigned bytesPerTexel;
    } cases[] = {
        {{0x2, fourCc, 8, junk, junk, junk, 0xff}, D3DFMT_A8, 1},
        {{0x20000, fourCc, 8, 0xff, junk, junk, junk}, D3DFMT_L8, 1},
        {{0x20000, 0, 16, 0xffff, junk, junk, junk}, D3DFMT_L16, 2},
        {{0x20001, fourCc, 16, 0xff, junk, junk, 0xff00}, D3DFMT_A8L8, 2},
        {{0x20001, 0, 8, 0xff, 0, 0, 0xff00}, D3DFMT_A8L8, 2},
        {{0x20001, 0, 8, 0xf, junk, junk, 0xf0}, D3DFMT_A4L4, 1},
        {{0x40000, fourCc, 32, 0xff, 0xff00, 0xff0000, junk}, D3DFMT_X8L8V8U8, 4},
        {{0x40000, 0, 16, 0x1f, 0x3e0, 0xfc00, junk}, D3DFMT_L6V5U5, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        const Bytes data = countingBytes(4 * 2 * c.bytesPerTexel);
        const Bytes file = ddsFile(0x1007, 4, 2, 0, 1, c.pf, 0, data);
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), UINT(file.size()), &info), D3D_OK);
        EXPECT_EQ(info.Format, c.format);
        IDirect3DTexture9* texture = loaded(file, 0, 1, nullptr, D3DX_FILTER_NONE, c.format);
        ASSERT_TRUE(texture);
        EXPECT_EQ(readLevel(texture, 0, 4 * c.bytesPerTexel, 2), data);
    }
    // A luminance mask that matches nothing is still refused.
    const Bytes odd = ddsFile(0x1007, 4, 2, 0, 1, {0x20000, 0, 8, 0x7f, 0, 0, 0}, 0, Bytes(8));
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(odd.data(), UINT(odd.size()), nullptr), D3D_OK);
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(odd.data(), UINT(odd.size()), &info), D3DXERR_INVALIDDATA);
}

// DDSD_DEPTH alone decides a volume; caps2's volume bit does not; partial cube
// maps are refused. A 2D texture loads the first face or slice of every level.
TEST_F(Dds, ResourceTypeAndFirstFaceOrSliceOfEveryLevel) {
    const std::uint32_t plain = 0x1007, depthFlag = 0x800000, volumeCaps = 0x200000, cube = 0x200 | 0xfc00;
    // 4x4, 3 levels: 16 + 4 + 1 texels a face; 4x4x4 volume: 64 + 8 + 1 texels.
    const struct {
        std::uint32_t flags, depth, caps2;
        std::size_t texels;
        HRESULT hr;
        D3DRESOURCETYPE type;
        UINT reportedDepth;
        std::size_t level1Offset;  // texels before the second level's first face or slice
    } cases[] = {
        {plain, 4, 0, 21, D3D_OK, D3DRTYPE_TEXTURE, 1, 16},
        {plain, 4, volumeCaps, 21, D3D_OK, D3DRTYPE_TEXTURE, 1, 16},
        {plain | depthFlag, 4, 0, 73, D3D_OK, D3DRTYPE_VOLUMETEXTURE, 4, 64},
        {plain | depthFlag, 0, 0, 21, D3D_OK, D3DRTYPE_VOLUMETEXTURE, 1, 16},
        {plain | depthFlag, 4, cube, 73 * 6, D3D_OK, D3DRTYPE_VOLUMETEXTURE, 4, 64},
        {plain, 1, cube, 21 * 6, D3D_OK, D3DRTYPE_CUBETEXTURE, 1, 16},
        {plain, 1, 0x200 | 0x400, 21 * 6, D3DXERR_INVALIDDATA, D3DRTYPE_TEXTURE, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.flags << " caps2 " << c.caps2);
        const Bytes data = countingBytes(c.texels * 4);
        const Bytes file = ddsFile(c.flags, 4, 4, c.depth, 3, kDdsArgb, c.caps2, data);
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), UINT(file.size()), &info), c.hr);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(loadImage(file, &texture, 0, D3DX_FROM_FILE), c.hr);
        if (FAILED(c.hr)) continue;
        EXPECT_EQ(std::make_pair(info.ResourceType, info.Depth), std::make_pair(c.type, c.reportedDepth));
        ASSERT_EQ(texture->GetLevelCount(), 3u);
        EXPECT_EQ(readLevel(texture, 0, 16, 4), Bytes(data.begin(), data.begin() + 64));
        const auto level1 = data.begin() + std::ptrdiff_t(c.level1Offset * 4);
        EXPECT_EQ(readLevel(texture, 1, 8, 2), Bytes(level1, level1 + 16));
        texture->Release();
    }
}
