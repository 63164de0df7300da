// Image files: the format each kind reports, the texels it loads to, the
// power-of-two texture with the image at its top-left, and its mip chain.
#include <d3d9soft.h>

#include <tuple>

#include "platform/image_fixtures.h"
#include "platform/soft_device.h"

using namespace fixtures;

namespace {

class TextureLoad : public SoftDeviceTest {
protected:
    // Largest channel difference between `image` and the top-left of `level`.
    int worstDifference(IDirect3DTexture9* texture, const std::vector<Rgba>& image, UINT width, UINT height,
                        UINT level = 0) {
        std::vector<std::uint32_t> actual = argb(texture, level);
        UINT pitch = levelDesc(texture, level).Width;
        int worst = 0;
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x) {
                const Rgba& e = image[y * width + x];
                std::uint32_t a = actual.at(y * pitch + x);
                for (int d :
                     {int(a >> 16 & 255) - e.r, int(a >> 8 & 255) - e.g, int(a & 255) - e.b, int(a >> 24) - e.a})
                    worst = std::max(worst, std::abs(d));
            }
        return worst;
    }
};

// Grey levels that a `bits`-bit grey PNG stores exactly.
std::vector<Rgba> greyPattern(unsigned width, unsigned height, unsigned bits) {
    std::vector<Rgba> pixels = pattern(width, height, true);
    unsigned steps = (1u << bits) - 1;
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i].r = pixels[i].g = pixels[i].b = std::uint8_t((i * 7 % (steps + 1)) * 255 / steps);
    return pixels;
}

}  // namespace

// ImageMagick 6 writes bottom-left TGAs top row first, hence -orient TopLeft.
TEST_F(TextureLoad, EachKindOfFileReportsItsFormatAndDecodesToItsTexels) {
    const unsigned w = 13, h = 7;
    const std::vector<Rgba> opaque = pattern(w, h, true), alpha = pattern(w, h, false), grey = greyPattern(w, h, 8);
    std::vector<Rgba> greyAlpha = grey;
    for (std::size_t i = 0; i < grey.size(); ++i) greyAlpha[i].a = alpha[i].a;
    struct Case {
        const char* name;
        std::string options;
        std::vector<Rgba> pixels;
        D3DXIMAGE_FILEFORMAT fileFormat;
        D3DFORMAT reported, textureFormat;
        int tolerance;
    };
    const D3DFORMAT A8 = D3DFMT_A8R8G8B8, X8 = D3DFMT_X8R8G8B8, L8 = D3DFMT_L8, A16 = D3DFMT_A16B16G16R16,
                    F32 = D3DFMT_A32B32G32R32F;
    const std::string png16 = "-depth 16 -define png:bit-depth=16 -define png:color-type=";
    const Case cases[] = {
        {"rgb8.png", "-define png:color-type=2", opaque, D3DXIFF_PNG, X8, X8, 0},
        {"rgba8.png", "-define png:color-type=6", alpha, D3DXIFF_PNG, A8, A8, 0},
        {"rgb16.png", png16 + "2", opaque, D3DXIFF_PNG, A16, A16, 0},
        {"rgba16.png", png16 + "6", alpha, D3DXIFF_PNG, A16, A16, 0},
        {"grey16.png", png16 + "0", grey, D3DXIFF_PNG, A16, A16, 0},
        {"indexed8.png", "-define png:color-type=3", opaque, D3DXIFF_PNG, D3DFMT_P8, A8, 0},
        {"grey1.png", "-define png:color-type=0 -define png:bit-depth=1", greyPattern(w, h, 1), D3DXIFF_PNG, L8, L8, 0},
        {"grey8.png", "-define png:color-type=0", grey, D3DXIFF_PNG, L8, L8, 0},
        {"greyalpha.png", "-define png:color-type=4", greyAlpha, D3DXIFF_PNG, A8, A8, 0},
        {"colour.jpg", "-quality 100", opaque, D3DXIFF_JPG, X8, X8, 24},
        {"grey.jpg", "-colorspace gray -quality 100", grey, D3DXIFF_JPG, L8, L8, 24},
        {"24.bmp", "-define bmp:format=bmp3 -type TrueColor", opaque, D3DXIFF_BMP, D3DFMT_R8G8B8, X8, 0},
        {"32.bmp", "-type TrueColorAlpha", alpha, D3DXIFF_BMP, A8, A8, 0},
        {"8.bmp", "-type Palette -compress None", opaque, D3DXIFF_BMP, D3DFMT_P8, A8, 0},
        {"rle24.tga", "-type TrueColor -compress RLE -orient TopLeft", opaque, D3DXIFF_TGA, D3DFMT_R8G8B8, X8, 0},
        {"rle32.tga", "-type TrueColorAlpha -compress RLE -orient TopLeft", alpha, D3DXIFF_TGA, A8, A8, 0},
        {"mapped.tga", "-type Palette -orient TopLeft", opaque, D3DXIFF_TGA, D3DFMT_P8, A8, 0},
        {"grey.tga", "-type Grayscale -compress RLE -orient TopLeft", grey, D3DXIFF_TGA, L8, L8, 0},
        {"image.ppm", "", opaque, D3DXIFF_PPM, X8, X8, 0},
        {"image.pfm", "", opaque, D3DXIFF_PFM, F32, F32, 1},
        {"image.hdr", "", opaque, D3DXIFF_HDR, F32, F32, 2},
        {"plain.dds", "-define dds:compression=none -define dds:mipmaps=0", alpha, D3DXIFF_DDS, A8, A8, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = convertPixels(c.pixels, w, h, c.options, c.name);
        ASSERT_FALSE(path.empty());
        const Bytes file = readFile(path);
        D3DXIMAGE_INFO info{}, fromFile{};
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), UINT(file.size()), &info), D3D_OK);
        EXPECT_EQ(
            std::make_tuple(info.Width, info.Height, info.Depth, info.MipLevels, info.Format, info.ImageFileFormat),
            std::make_tuple(w, h, 1u, 1u, c.reported, c.fileFormat));
        ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &fromFile), D3D_OK);
        EXPECT_EQ(std::memcmp(&fromFile, &info, sizeof info), 0);

        IDirect3DTexture9* texture = loaded(file, D3DX_DEFAULT_NONPOW2, 1);
        ASSERT_TRUE(texture);
        D3DSURFACE_DESC desc = levelDesc(texture, 0);
        EXPECT_EQ(std::make_tuple(desc.Format, desc.Width, desc.Height), std::make_tuple(c.textureFormat, w, h));
        EXPECT_LE(worstDifference(texture, c.pixels, w, h), c.tolerance);
    }
}

// Layouts only our own writers make: 16-bit texels are kept bit for bit, a
// 32-bit BMP has alpha only when some alpha byte is set, and a BMP without
// its file header is a DIB.
TEST_F(TextureLoad, BmpAndTgaLayoutsKeepTheirTexels) {
    std::vector<std::uint32_t> words;
    for (unsigned i = 0; i < 6 * 3; ++i) words.push_back((i * 0x9e37u) & 0xffff);
    auto check = [&](const Bytes& file, D3DXIMAGE_FILEFORMAT kind, D3DFORMAT format, std::uint16_t mask) {
        D3DXIMAGE_INFO info{};
        IDirect3DTexture9* texture = loaded(file, D3DX_DEFAULT_NONPOW2, 1, &info);
        ASSERT_TRUE(texture);
        EXPECT_EQ(std::make_tuple(info.ImageFileFormat, info.Format), std::make_tuple(kind, format));
        std::vector<std::uint8_t> bytes = readLevel(texture, 0, 12, 3);
        for (unsigned i = 0; mask && i < words.size(); ++i)
            EXPECT_EQ((bytes[2 * i] | (bytes[2 * i + 1] << 8)) & mask, words[i] & mask) << "texel " << i;
    };
    BmpImage bmp;
    bmp.width = 6, bmp.height = 3, bmp.bits = 16, bmp.values = words;
    check(bmpFile(bmp), D3DXIFF_BMP, D3DFMT_X1R5G5B5, 0x7fff);
    bmp.bitfields = true, bmp.topDown = true;
    bmp.masks[0] = 0xf800, bmp.masks[1] = 0x7e0, bmp.masks[2] = 0x1f;
    Bytes withMasks = bmpFile(bmp);
    check(withMasks, D3DXIFF_BMP, D3DFMT_R5G6B5, 0xffff);
    check(Bytes(withMasks.begin() + 14, withMasks.end()), D3DXIFF_DIB, D3DFMT_R5G6B5, 0xffff);

    TgaImage tga;
    tga.width = 6, tga.height = 3, tga.bits = 16, tga.values = words;
    check(tgaFile(tga), D3DXIFF_TGA, D3DFMT_A1R5G5B5, 0xffff);
    tga.bits = 15, tga.topDown = true;
    check(tgaFile(tga), D3DXIFF_TGA, D3DFMT_X1R5G5B5, 0x7fff);

    BmpImage bmp32;
    bmp32.width = 6, bmp32.height = 3, bmp32.bits = 32;
    bmp32.values.assign(18, 0x00a0b0c0);
    check(bmpFile(bmp32), D3DXIFF_BMP, D3DFMT_X8R8G8B8, 0);
    bmp32.values[17] = 0x01a0b0c0;
    check(bmpFile(bmp32), D3DXIFF_BMP, D3DFMT_A8R8G8B8, 0);
}

TEST_F(TextureLoad, SixteenBitNetpbmSamplesScaleToEightBits) {
    // Regression: these once overflowed a buffer in the decoder.
    const std::string ppm = std::string("P6 2 1 65535\n") + std::string("\xff\xff\x80\x00\x00\x00", 6) +
                            std::string("\x00\x00\x00\x00\x7f\xff", 6);
    const std::string pgm = std::string("P5 2 1 1000\n") + std::string("\x03\xe8\x01\xf4", 4);
    const std::pair<std::string, std::vector<std::uint32_t>> cases[] = {
        {ppm, {0xffff8000u, 0xff00007fu}},
        {pgm, {0xffffffffu, 0xff808080u}},
    };
    for (const auto& [file, expected] : cases) {
        IDirect3DTexture9* texture = loaded(Bytes(file.begin(), file.end()), D3DX_DEFAULT_NONPOW2, 1);
        ASSERT_TRUE(texture);
        std::vector<std::uint32_t> texels(2);
        std::memcpy(texels.data(), readLevel(texture, 0, 8, 1).data(), 8);
        EXPECT_EQ(texels, expected);
    }
}

TEST_F(TextureLoad, PadsToPowersOfTwoAndFiltersTheChainFromThePaddedLevel) {
    std::vector<Rgba> pixels = pattern(5, 3, false);
    IDirect3DTexture9* texture = loaded(readFile(convertPixels(pixels, 5, 3, "-define png:color-type=6", "pad.png")));
    ASSERT_TRUE(texture);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    EXPECT_EQ(std::make_pair(levelDesc(texture, 0).Width, levelDesc(texture, 0).Height), std::make_pair(8u, 4u));
    // Level 0, image and black padding, is PngsLoadAsTheSurfaceLoaderDecodesThem's "padded" case.
    std::vector<Rgba> padded(8 * 4, Rgba{0, 0, 0, 0});
    for (UINT i = 0; i < 15; ++i) padded[i / 5 * 8 + i % 5] = pixels[i];
    // Each level 1 texel averages four of level 0, black padding included.
    std::vector<int> sums(4 * 2 * 4);
    std::vector<Rgba> half(4 * 2);
    for (UINT i = 0; i < 8 * 4 * 4; ++i) sums[(i / 64 * 4 + i / 4 % 8 / 2) * 4 + i % 4] += (&padded[i / 4].r)[i % 4];
    for (UINT i = 0; i < sums.size(); ++i) (&half[i / 4].r)[i % 4] = std::uint8_t((sums[i] + 2) / 4);
    EXPECT_LE(worstDifference(texture, half, 4, 2, 1), 1);
}

TEST_F(TextureLoad, RefusesBadArgumentsAndInjectedFailuresWithoutLeaks) {
    Bytes png = readFile(convertPixels(pattern(4, 4, true), 4, 4, "-define png:color-type=2", "args.png"));
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(&png);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, png.data(), 0, 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM,
                                                  D3DX_FILTER_NONE, D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(nullptr, png.data(), UINT(png.size()), 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                                  D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, D3DX_DEFAULT, 0, nullptr,
                                                  nullptr, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(loadImage(png, &texture, 0, 0, nullptr, 6), D3DERR_INVALIDCALL) << "no such filter";
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileExA(device, "no/such/file.png", 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM,
                                           D3DX_FILTER_NONE, D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture, nullptr);

    d3d9soft::failCall("D3DXCreateTextureFromFileInMemoryEx", 2, E_OUTOFMEMORY);
    for (HRESULT expected : {D3D_OK, E_OUTOFMEMORY, D3D_OK}) {
        texture = nullptr;
        ASSERT_EQ(loadImage(png, &texture), expected);
        if (texture) texture->Release();
    }
    // The layer's own calls inside a load are not the caller's.
    EXPECT_EQ(d3d9soft::callCount("D3DXCreateTexture"), 0);
    d3d9soft::failCall("D3DXCreateTextureFromFileExA", 1, D3DERR_NOTAVAILABLE);
    EXPECT_EQ(
        D3DXCreateTextureFromFileExA(device, writeScratch("inject.png", png).c_str(), 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                     D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
        D3DERR_NOTAVAILABLE);
}

// Options of the Ex loaders: a colour key asks for alpha, the mip filter is
// never refused and may skip leading DDS levels, point halving takes the
// top-left texel.
TEST_F(TextureLoad, ColourKeyMipFilterAndSkippedLevels) {
    // 4 x 4 X1R5G5B5 of one level and X8R8G8B8 of three, distinct bytes throughout.
    auto dds = [](std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b, UINT levels,
                  std::size_t size) {
        Bytes data(size);
        for (std::size_t i = 0; i < size; ++i) data[i] = std::uint8_t(i * 5 + 1);
        return ddsFile(levels > 1 ? 0x21007 : 0x1007, 4, 4, 0, levels, {0x40, 0, bits, r, g, b, 0}, 0, data);
    };
    const Bytes dds16 = dds(16, 0x7c00, 0x3e0, 0x1f, 1, 32), dds32 = dds(32, 0xff0000, 0xff00, 0xff, 3, 84);
    const Bytes grey =
        readFile(convertPixels(pattern(4, 4, true), 4, 4, "-colorspace gray -define png:color-type=0", "grey.png"));
    auto load = [&](const Bytes& file, D3DFORMAT format, DWORD mipFilter, D3DCOLOR key) {
        return loaded(file, D3DX_DEFAULT, 0, nullptr, D3DX_FILTER_NONE, format, mipFilter, key);
    };
    const struct {
        const Bytes* file;
        D3DFORMAT requested;
        D3DCOLOR key;
        D3DFORMAT expected;
    } formats[] = {
        {&dds16, D3DFMT_UNKNOWN, 0, D3DFMT_X1R5G5B5},
        {&dds16, D3DFMT_UNKNOWN, 0xff000000, D3DFMT_A1R5G5B5},
        {&dds16, D3DFMT_X1R5G5B5, 0xff000000, D3DFMT_X1R5G5B5},
        {&dds32, D3DFMT_UNKNOWN, 0xff000000, D3DFMT_A8R8G8B8},
        {&grey, D3DFMT_UNKNOWN, 0, D3DFMT_L8},
        {&grey, D3DFMT_UNKNOWN, 0xff000000, D3DFMT_A8L8},
    };
    for (const auto& c : formats) {
        IDirect3DTexture9* texture = load(*c.file, c.requested, D3DX_DEFAULT, c.key);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(levelDesc(texture, 0).Format, c.expected) << c.requested << " key " << std::hex << c.key;
    }

    // Never an error; anything unusable filters with a box.
    Bytes png = readFile(convertPixels(pattern(2, 2, true), 2, 2, "-define png:color-type=6", "mips.png"));
    for (DWORD mipFilter : {D3DX_DEFAULT_NONPOW2, D3DX_FROM_FILE, DWORD(0), DWORD(6), DWORD(0x12345)}) {
        IDirect3DTexture9* texture = load(png, D3DFMT_UNKNOWN, mipFilter, 0);
        ASSERT_NE(texture, nullptr) << mipFilter;
        EXPECT_EQ(texture->GetLevelCount(), 2u);
    }
    IDirect3DTexture9* point = load(png, D3DFMT_A8R8G8B8, D3DX_FILTER_POINT, 0);
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(readLevel(point, 1, 4, 1), readLevel(point, 0, 4, 1));

    // Skipping the first level of a 3-level DDS keeps the file's other two.
    IDirect3DTexture9* skipped = load(dds32, D3DFMT_UNKNOWN, D3DX_SKIP_DDS_MIP_LEVELS(1, D3DX_FILTER_POINT), 0);
    IDirect3DTexture9* whole = load(dds32, D3DFMT_UNKNOWN, D3DX_DEFAULT, 0);
    ASSERT_TRUE(skipped && whole);
    EXPECT_EQ(std::make_pair(skipped->GetLevelCount(), levelDesc(skipped, 0).Width), std::make_pair(DWORD(2), 2u));
    EXPECT_EQ(readLevel(skipped, 0, 8, 2), readLevel(whole, 1, 8, 2));
    EXPECT_EQ(readLevel(skipped, 1, 4, 1), readLevel(whole, 2, 4, 1));
}

// A 2x2 R8G8B8 DDS with 2 levels: skipped levels are gone from the texture
// and from the source information, which describes the first level kept.
// Only bits 26-30 count: bit 31 alone skips nothing.
TEST_F(TextureLoad, SkippedDdsLevelsLeaveTheSourceInformation) {
    const Bytes file =
        ddsFile(0xa1007, 2, 2, 0, 2, {0x40, 0, 24, 0xff0000, 0xff00, 0xff, 0}, 0, Bytes(15, 0xff), 12, 0x401008);
    const struct {
        DWORD mipFilter;
        UINT size, levels;
    } cases[] = {
        {D3DX_SKIP_DDS_MIP_LEVELS(0, D3DX_FILTER_POINT), 2, 2},
        {D3DX_SKIP_DDS_MIP_LEVELS(1, D3DX_FILTER_POINT), 1, 1},
        {D3DX_SKIP_DDS_MIP_LEVELS(3, D3DX_FILTER_POINT), 1, 1},
        {D3DX_FILTER_POINT | 0x80000000u, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.mipFilter);
        D3DXIMAGE_INFO info{};
        IDirect3DTexture9* texture =
            loaded(file, D3DX_DEFAULT, D3DX_DEFAULT, &info, D3DX_DEFAULT, D3DFMT_UNKNOWN, c.mipFilter);
        ASSERT_TRUE(texture);
        EXPECT_EQ(std::make_tuple(info.Width, info.Height, info.Depth, info.MipLevels, info.Format),
                  std::make_tuple(c.size, c.size, 1u, c.levels, D3DFMT_R8G8B8));
        EXPECT_EQ(std::make_tuple(texture->GetLevelCount(), levelDesc(texture, 0).Width, levelDesc(texture, 0).Format),
                  std::make_tuple(DWORD(c.levels), c.size, D3DFMT_X8R8G8B8));
    }
}

// A PNG goes straight into its texture where its texels fit as they are;
// whichever way a load takes, its top level holds what loading the file into
// a surface of that size and format gives, and a bad file reports before a
// texture that cannot be made.
TEST_F(TextureLoad, PngsLoadAsTheSurfaceLoaderDecodesThem) {
    const std::vector<Rgba> alpha = pattern(13, 7, false), opaque = pattern(13, 7, true);
    const Bytes rgba = readFile(convertPixels(alpha, 13, 7, "-define png:color-type=6", "direct_rgba.png"));
    const Bytes rgb = readFile(convertPixels(opaque, 13, 7, "-define png:color-type=2", "direct_rgb.png"));
    const Bytes interlaced =
        readFile(convertPixels(alpha, 13, 7, "-define png:color-type=6 -interlace PNG", "direct_adam7.png"));
    struct Case {
        const char* name;
        const Bytes& file;
        UINT size;
        DWORD filter;
        D3DFORMAT format;
    };
    const Case cases[] = {
        {"padded", rgba, 0, D3DX_FILTER_NONE, D3DFMT_UNKNOWN},
        {"interlaced", interlaced, 0, D3DX_FILTER_NONE, D3DFMT_UNKNOWN},
        {"opaque rows into alpha", rgb, 0, D3DX_FILTER_NONE, D3DFMT_A8R8G8B8},
        {"alpha rows into opaque", rgba, 0, D3DX_FILTER_NONE, D3DFMT_X8R8G8B8},
        {"cropped", rgba, 8, D3DX_FILTER_NONE, D3DFMT_UNKNOWN},
        {"scaled", rgba, 16, D3DX_FILTER_TRIANGLE, D3DFMT_UNKNOWN},
        {"converted", rgba, 0, D3DX_FILTER_NONE, D3DFMT_A4R4G4B4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IDirect3DTexture9* texture = loaded(c.file, c.size, 1, nullptr, c.filter, c.format);
        ASSERT_TRUE(texture);
        const D3DSURFACE_DESC desc = levelDesc(texture, 0);
        Level expected(device, desc.Width, desc.Height, desc.Format);
        const RECT corner{0, 0, LONG(std::min(desc.Width, 13u)), LONG(std::min(desc.Height, 7u))};
        const RECT* unscaled = c.filter == D3DX_FILTER_NONE ? &corner : nullptr;
        ASSERT_EQ(D3DXLoadSurfaceFromFileInMemory(expected.surface, nullptr, unscaled, c.file.data(),
                                                  UINT(c.file.size()), unscaled, c.filter, 0, nullptr),
                  D3D_OK);
        const unsigned rowBytes = desc.Width * D3D9SoftGetTexelBytes(desc.Format);
        ASSERT_NE(rowBytes, 0u);
        EXPECT_EQ(readLevel(texture, 0, rowBytes, desc.Height),  // X8R8G8B8's unused byte too
                  readLevel(expected.texture, 0, rowBytes, desc.Height));
    }

    const Bytes truncated(rgba.begin(), rgba.begin() + std::ptrdiff_t(rgba.size() - 20));
    const auto load = [&](const Bytes& file, D3DPOOL pool) {
        IDirect3DTexture9* texture = nullptr;
        const HRESULT hr =
            D3DXCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()), 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                                pool, D3DX_FILTER_NONE, D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
        EXPECT_EQ(texture, nullptr);
        return hr;
    };
    const D3DPOOL noSuchPool = D3DPOOL(7);
    EXPECT_EQ(load(truncated, D3DPOOL_SYSTEMMEM), D3DXERR_INVALIDDATA);
    EXPECT_EQ(load(truncated, noSuchPool), D3DXERR_INVALIDDATA);
    EXPECT_EQ(load(rgba, noSuchPool), D3DERR_INVALIDCALL);
}
