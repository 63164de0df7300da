// Loading textures from image files: decoded texels, the power-of-two texture
// with the image at its top-left, the mip chain, DDS levels kept bit for bit,
// and refusal of bad input without leaking objects.
#include "platform/image_fixtures.h"
#include "platform/soft_device.h"

#include <cmath>
#include <cstdlib>
#include <functional>

using namespace fixtures;

namespace {

constexpr DWORD kNone = D3DX_FILTER_NONE;

class TextureLoad : public SoftDeviceTest {
protected:
    HRESULT load(const Bytes& file, UINT size, IDirect3DTexture9** texture, UINT mips = 0,
                 D3DXIMAGE_INFO* info = nullptr, DWORD filter = kNone) {
        return D3DXCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()), size, size, mips, 0,
                                                   D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM, filter, D3DX_DEFAULT, 0, info,
                                                   nullptr, texture);
    }

    // Level `level` as 8-bit RGBA, read from the few formats that files load into.
    std::vector<Rgba> texels(IDirect3DTexture9* texture, UINT level) {
        D3DSURFACE_DESC desc = levelDesc(texture, level);
        std::vector<Rgba> out(std::size_t(desc.Width) * desc.Height);
        D3DLOCKED_RECT locked{};
        if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) return {};
        for (UINT y = 0; y < desc.Height; ++y) {
            const std::uint8_t* row = static_cast<const std::uint8_t*>(locked.pBits) + y * locked.Pitch;
            for (UINT x = 0; x < desc.Width; ++x) out[y * desc.Width + x] = texel(desc.Format, row, x);
        }
        texture->UnlockRect(level);
        return out;
    }

    static Rgba texel(D3DFORMAT format, const std::uint8_t* row, UINT x) {
        auto five = [](unsigned v) { return std::uint8_t((v << 3) | (v >> 2)); };
        switch (format) {
        case D3DFMT_A8R8G8B8: return {row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]};
        case D3DFMT_X8R8G8B8: return {row[4 * x + 2], row[4 * x + 1], row[4 * x], 255};
        case D3DFMT_L8: return {row[x], row[x], row[x], 255};
        case D3DFMT_A16B16G16R16: {
            const std::uint8_t* p = row + 8 * x;  // high bytes of little-endian 16-bit channels
            return {p[1], p[3], p[5], p[7]};
        }
        case D3DFMT_A32B32G32R32F: {
            float f[4];
            std::memcpy(f, row + 16 * x, 16);
            auto byte = [](float v) { return std::uint8_t(std::lround(std::fmin(std::fmax(v, 0.f), 1.f) * 255)); };
            return {byte(f[0]), byte(f[1]), byte(f[2]), byte(f[3])};
        }
        case D3DFMT_A1R5G5B5:
        case D3DFMT_X1R5G5B5: {
            unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
            std::uint8_t a = format == D3DFMT_X1R5G5B5 || (v & 0x8000) ? 255 : 0;
            return {five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31), a};
        }
        default: ADD_FAILURE() << "unexpected format " << format; return {};
        }
    }

    // The image at the top-left of level 0, within `tolerance` per channel.
    void expectImage(IDirect3DTexture9* texture, const std::vector<Rgba>& image, UINT width, UINT height,
                     int tolerance, const std::string& what) {
        SCOPED_TRACE(what);
        D3DSURFACE_DESC desc = levelDesc(texture, 0);
        std::vector<Rgba> actual = texels(texture, 0);
        ASSERT_EQ(actual.size(), std::size_t(desc.Width) * desc.Height);
        int worst = 0;
        for (UINT y = 0; y < height; ++y) {
            for (UINT x = 0; x < width; ++x) {
                const Rgba& a = actual[y * desc.Width + x];
                const Rgba& e = image[y * width + x];
                for (int d : {a.r - e.r, a.g - e.g, a.b - e.b, a.a - e.a}) worst = std::max(worst, std::abs(d));
            }
        }
        EXPECT_LE(worst, tolerance);
    }
};

// Grey levels that a `bits`-bit grey PNG stores exactly.
std::vector<Rgba> greyPattern(unsigned width, unsigned height, unsigned bits, bool opaque) {
    std::vector<Rgba> pixels = pattern(width, height, opaque);
    unsigned steps = (1u << bits) - 1;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        std::uint8_t v = std::uint8_t((i * 7 % (steps + 1)) * 255 / steps);
        pixels[i].r = pixels[i].g = pixels[i].b = v;
    }
    return pixels;
}

}  // namespace

// ImageMagick 6 writes bottom-left TGAs top row first, so its TGAs here are
// top-left ones; our own writer makes the bottom-left ones.
TEST_F(TextureLoad, DecodesEveryKindOfFileToItsTexels) {
    struct Case {
        const char* name;
        const char* options;
        std::vector<Rgba> pixels;
        D3DFORMAT textureFormat;
        int tolerance;
    };
    const unsigned w = 13, h = 7;
    const Case cases[] = {
        {"l_rgba8.png", "-define png:color-type=6", pattern(w, h, false), D3DFMT_A8R8G8B8, 0},
        {"l_rgb8.png", "-define png:color-type=2", pattern(w, h, true), D3DFMT_X8R8G8B8, 0},
        {"l_rgba16.png", "-depth 16 -define png:bit-depth=16 -define png:color-type=6", pattern(w, h, false),
         D3DFMT_A16B16G16R16, 0},
        {"l_indexed.png", "-define png:color-type=3", pattern(w, h, true), D3DFMT_A8R8G8B8, 0},
        {"l_grey1.png", "-define png:color-type=0 -define png:bit-depth=1", greyPattern(w, h, 1, true), D3DFMT_L8, 0},
        {"l_grey2.png", "-define png:color-type=0 -define png:bit-depth=2", greyPattern(w, h, 2, true), D3DFMT_L8, 0},
        {"l_grey4.png", "-define png:color-type=0 -define png:bit-depth=4", greyPattern(w, h, 4, true), D3DFMT_L8, 0},
        {"l_grey16.png", "-define png:color-type=0 -depth 16 -define png:bit-depth=16", greyPattern(w, h, 8, true),
         D3DFMT_A16B16G16R16, 0},
        {"l_greyalpha.png", "-define png:color-type=4", greyPattern(w, h, 8, false), D3DFMT_A8R8G8B8, 0},
        {"l_colour.jpg", "-quality 100", pattern(w, h, true), D3DFMT_X8R8G8B8, 24},
        {"l_grey.jpg", "-colorspace gray -quality 100", greyPattern(w, h, 8, true), D3DFMT_L8, 24},
        {"l_24.bmp", "-define bmp:format=bmp3 -type TrueColor", pattern(w, h, true), D3DFMT_X8R8G8B8, 0},
        {"l_32.bmp", "-type TrueColorAlpha", pattern(w, h, false), D3DFMT_A8R8G8B8, 0},
        {"l_rle24.tga", "-type TrueColor -compress RLE -orient TopLeft", pattern(w, h, true), D3DFMT_X8R8G8B8, 0},
        {"l_rle32.tga", "-type TrueColorAlpha -compress RLE -orient TopLeft", pattern(w, h, false), D3DFMT_A8R8G8B8, 0},
        {"l_mapped.tga", "-type Palette -orient TopLeft", pattern(w, h, true), D3DFMT_A8R8G8B8, 0},
        {"l_grey.tga", "-type Grayscale -compress RLE -orient TopLeft", greyPattern(w, h, 8, true), D3DFMT_L8, 0},
        {"l_image.ppm", "", pattern(w, h, true), D3DFMT_X8R8G8B8, 0},
        {"l_image.pfm", "", pattern(w, h, true), D3DFMT_A32B32G32R32F, 1},
        {"l_image.hdr", "", pattern(w, h, true), D3DFMT_A32B32G32R32F, 2},
        {"l_plain.dds", "-define dds:compression=none -define dds:mipmaps=0", pattern(w, h, false), D3DFMT_A8R8G8B8, 0},
    };
    for (const Case& c : cases) {
        std::string path = convertPixels(c.pixels, w, h, c.options, c.name);
        ASSERT_FALSE(path.empty()) << c.name;
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(load(readFile(path), D3DX_DEFAULT_NONPOW2, &texture, 1), D3D_OK) << c.name;
        D3DSURFACE_DESC desc = levelDesc(texture, 0);
        EXPECT_EQ(desc.Format, c.textureFormat) << c.name;
        EXPECT_EQ(desc.Width, w) << c.name;
        EXPECT_EQ(desc.Height, h) << c.name;
        expectImage(texture, c.pixels, w, h, c.tolerance, c.name);
        texture->Release();
    }
}

TEST_F(TextureLoad, SixteenBitBmpAndTgaKeepTheirTexelsExactly) {
    std::vector<std::uint32_t> words;
    for (unsigned i = 0; i < 6 * 3; ++i) words.push_back((i * 0x9e37u) & 0xffff);
    auto loadWords = [&](const Bytes& file, D3DFORMAT format, std::uint16_t mask) {
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(load(file, D3DX_DEFAULT_NONPOW2, &texture, 1), D3D_OK);
        EXPECT_EQ(levelDesc(texture, 0).Format, format);
        std::vector<std::uint8_t> bytes = readLevel(texture, 0, 12, 3);
        for (unsigned i = 0; i < words.size(); ++i)
            EXPECT_EQ((bytes[2 * i] | (bytes[2 * i + 1] << 8)) & mask, words[i] & mask) << "texel " << i;
        texture->Release();
    };
    BmpSpec bmp;
    bmp.width = 6, bmp.height = 3, bmp.bits = 16, bmp.values = words;
    loadWords(bmpFile(bmp), D3DFMT_X1R5G5B5, 0x7fff);
    bmp.bitfields = true, bmp.topDown = true;
    bmp.masks[0] = 0xf800, bmp.masks[1] = 0x7e0, bmp.masks[2] = 0x1f;
    Bytes withMasks = bmpFile(bmp);
    loadWords(withMasks, D3DFMT_R5G6B5, 0xffff);
    loadWords(Bytes(withMasks.begin() + 14, withMasks.end()), D3DFMT_R5G6B5, 0xffff);  // as a DIB

    TgaSpec tga;
    tga.width = 6, tga.height = 3, tga.bits = 16, tga.values = words;
    loadWords(tgaFile(tga), D3DFMT_A1R5G5B5, 0xffff);
    tga.imageType = 10, tga.topDown = true;
    loadWords(tgaFile(tga), D3DFMT_A1R5G5B5, 0xffff);
    tga.bits = 15;
    loadWords(tgaFile(tga), D3DFMT_X1R5G5B5, 0x7fff);
}

TEST_F(TextureLoad, PadsToPowersOfTwoAndFiltersTheChainFromThePaddedLevel) {
    std::vector<Rgba> pixels = pattern(5, 3, false);
    Bytes png = readFile(convertPixels(pixels, 5, 3, "-define png:color-type=6", "pad.png"));
    IDirect3DTexture9* texture = nullptr;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(load(png, D3DX_DEFAULT, &texture, 0, &info), D3D_OK);
    EXPECT_EQ(info.Width, 5u);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    D3DSURFACE_DESC desc = levelDesc(texture, 0);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 4u);

    std::vector<Rgba> level0 = texels(texture, 0);
    expectImage(texture, pixels, 5, 3, 0, "level 0");
    for (UINT y = 0; y < 4; ++y)
        for (UINT x = 0; x < 8; ++x)
            if (x >= 5 || y >= 3) {
                const Rgba& t = level0[y * 8 + x];
                EXPECT_EQ(t.r | t.g | t.b | t.a, 0) << "padding at " << x << "," << y;
            }
    // Level 1 texel (2, 1) covers image column 4 and padding: half of its weight is black.
    std::vector<Rgba> level1 = texels(texture, 1);
    auto average = [&](int channel) {
        int sum = 0;
        for (UINT y : {2u, 3u})
            for (UINT x : {4u, 5u}) sum += (&level0[y * 8 + x].r)[channel];
        return sum / 4.0;
    };
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_NEAR((&level1[1 * 4 + 2].r)[channel], average(channel), 1.0) << "channel " << channel;
    texture->Release();

    // A file name loads the same texture as its bytes.
    std::string path = writeScratch("pad_copy.png", png);
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN,
                                           D3DPOOL_SYSTEMMEM, kNone, D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 4u);
    EXPECT_EQ(std::memcmp(texels(texture, 0).data(), level0.data(), level0.size() * sizeof(Rgba)), 0);
    texture->Release();
}

TEST_F(TextureLoad, DdsLevelsAreKeptBitForBitAndTheRestOfTheChainIsFiltered) {
    std::vector<Rgba> pixels = pattern(16, 8, false);
    std::string png = convertPixels(pixels, 16, 8, "-define png:color-type=6", "dds_source.png");
    std::string dxt3 = std::string(TA_TEST_SCRATCH) + "/load_dxt3.dds";
    ASSERT_EQ(std::system(("nvcompress -bc2 '" + png + "' '" + dxt3 + "' >/dev/null 2>&1").c_str()), 0);
    struct Case {
        std::string path;
        D3DFORMAT format;
        UINT fileLevels;
        unsigned blockBytes;
    };
    const Case cases[] = {
        {convertPixels(pixels, 16, 8, "-define dds:compression=dxt1 -define dds:mipmaps=2", "load_dxt1.dds"),
         D3DFMT_DXT1, 3, 8},
        {dxt3, D3DFMT_DXT3, 5, 16},
        {convertPixels(pixels, 16, 8, "-define dds:compression=dxt5 -define dds:mipmaps=0", "load_dxt5.dds"),
         D3DFMT_DXT5, 1, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Bytes file = readFile(c.path);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(load(file, D3DX_DEFAULT, &texture), D3D_OK);
        ASSERT_EQ(texture->GetLevelCount(), 5u);
        EXPECT_EQ(levelDesc(texture, 0).Format, c.format);
        std::size_t offset = 128;
        for (UINT level = 0; level < 5; ++level) {
            unsigned blocksWide = std::max(1u, (16u >> level) / 4), blocksHigh = std::max(1u, (8u >> level) / 4);
            std::vector<std::uint8_t> stored = readLevel(texture, level, blocksWide * c.blockBytes, blocksHigh);
            std::size_t size = stored.size();
            if (level < c.fileLevels) {
                ASSERT_LE(offset + size, file.size());
                EXPECT_TRUE(std::equal(stored.begin(), stored.end(), file.begin() + std::ptrdiff_t(offset)))
                    << "level " << level;
                offset += size;
            } else {
                // Filtered from the file's smallest level: an opaque-ish gradient is never all zero.
                EXPECT_NE(std::count(stored.begin(), stored.end(), 0), std::ptrdiff_t(size)) << "level " << level;
            }
        }
        texture->Release();
    }
}

TEST_F(TextureLoad, RefusesBadArgumentsAndInjectedFailuresWithoutLeaks) {
    Bytes png = readFile(convertPixels(pattern(4, 4, true), 4, 4, "-define png:color-type=2", "args.png"));
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(&png);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device, png.data(), 0, 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                                  D3DPOOL_SYSTEMMEM, kNone, D3DX_DEFAULT, 0, nullptr, nullptr,
                                                  &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(nullptr, png.data(), UINT(png.size()), 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                                  D3DPOOL_SYSTEMMEM, kNone, D3DX_DEFAULT, 0, nullptr, nullptr,
                                                  &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(load(png, 0, &texture, 0, nullptr, 6), D3DERR_INVALIDCALL) << "no such filter";
    EXPECT_EQ(D3DXCreateTextureFromFileExA(device, "no/such/file.png", 0, 0, 0, 0, D3DFMT_UNKNOWN,
                                           D3DPOOL_SYSTEMMEM, kNone, D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture, nullptr);

    d3d9soft::failCall("D3DXCreateTextureFromFileInMemoryEx", 2, E_OUTOFMEMORY);
    ASSERT_EQ(load(png, 0, &texture), D3D_OK);
    texture->Release();
    EXPECT_EQ(load(png, 0, &texture), E_OUTOFMEMORY);
    ASSERT_EQ(load(png, 0, &texture), D3D_OK);
    texture->Release();
    // The layer's own calls inside a load are not the caller's.
    EXPECT_EQ(d3d9soft::callCount("D3DXCreateTexture"), 0);

    std::string path = writeScratch("inject.png", png);
    d3d9soft::failCall("D3DXCreateTextureFromFileExA", 1, D3DERR_NOTAVAILABLE);
    EXPECT_EQ(D3DXCreateTextureFromFileExA(device, path.c_str(), 0, 0, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM, kNone,
                                           D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
              D3DERR_NOTAVAILABLE);
}

// Every prefix of a valid file fails to load, and images that claim more
// than the device can hold are refused before their pixels are allocated.
TEST_F(TextureLoad, TruncatedAndOversizedImagesAreInvalidData) {
    const std::vector<Rgba> pixels = pattern(9, 6, false);
    const std::string files[] = {
        convertPixels(pixels, 9, 6, "-define png:color-type=6", "t.png"),
        convertPixels(pixels, 9, 6, "-define png:color-type=3 -define png:bit-depth=8", "t8.png"),
        convertPixels(pixels, 9, 6, "-quality 80", "t.jpg"),
        convertPixels(pixels, 9, 6, "-quality 80 -interlace Plane", "tp.jpg"),
        convertPixels(pixels, 9, 6, "-type TrueColorAlpha", "t.bmp"),
        convertPixels(pixels, 9, 6, "-type TrueColorAlpha -compress RLE", "t.tga"),
        convertPixels(pixels, 9, 6, "", "t.ppm"),
        convertPixels(pixels, 9, 6, "", "t.pfm"),
        convertPixels(pixels, 9, 6, "", "t.hdr"),
        convertPixels(pixels, 9, 6, "-define dds:compression=dxt5", "t.dds"),
    };
    for (const std::string& path : files) {
        ASSERT_FALSE(path.empty());
        Bytes whole = readFile(path);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(load(whole, 0, &texture), D3D_OK) << path;
        texture->Release();
        for (std::size_t length = 1; length < whole.size(); ++length) {
            Bytes prefix(whole.begin(), whole.begin() + std::ptrdiff_t(length));
            EXPECT_EQ(load(prefix, 0, &texture), D3DXERR_INVALIDDATA) << path << " cut at " << length;
        }
    }

    // Valid headers of images over the 4096 limit, followed by too little data.
    Bytes wide = readFile(convertPixels(pattern(4, 2, true), 4, 2, "-define png:color-type=2", "wide.png"));
    wide[16] = 0, wide[17] = 0, wide[18] = 0x10, wide[19] = 0x01;  // 4097 wide
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(load(wide, 0, &texture), D3DXERR_INVALIDDATA);
    Bytes dds(128 + 64, 0);
    const std::uint32_t header[] = {0x20534444, 124, 0x1007, 65535, 65535, 0, 0, 1};
    std::memcpy(dds.data(), header, sizeof header);
    const std::uint32_t pixelFormat[] = {32, 4, 0x31545844};
    std::memcpy(dds.data() + 76, pixelFormat, sizeof pixelFormat);
    EXPECT_EQ(load(dds, 0, &texture), D3DXERR_INVALIDDATA);
}

// What the layer saves, it loads back bit for bit, in every format it holds.
TEST_F(TextureLoad, SavedDdsFilesLoadBackExactly) {
    const D3DFORMAT formats[] = {
        D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4,
        D3DFMT_X4R4G4B4, D3DFMT_R3G3B2, D3DFMT_A8R3G3B2, D3DFMT_A8, D3DFMT_L8, D3DFMT_A8L8, D3DFMT_A4L4, D3DFMT_L16,
        D3DFMT_A8B8G8R8, D3DFMT_X8B8G8R8, D3DFMT_A2R10G10B10, D3DFMT_A2B10G10R10, D3DFMT_G16R16, D3DFMT_A16B16G16R16,
        D3DFMT_R16F, D3DFMT_G16R16F, D3DFMT_A16B16G16R16F, D3DFMT_R32F, D3DFMT_G32R32F, D3DFMT_A32B32G32R32F,
        D3DFMT_V8U8, D3DFMT_Q8W8V8U8, D3DFMT_V16U16, D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5,
    };
    const std::string path = std::string(TA_TEST_SCRATCH) + "/roundtrip.dds";
    for (D3DFORMAT format : formats) {
        SCOPED_TRACE("format " + std::to_string(int(format)));
        IDirect3DTexture9* saved = makeTexture(8, 4, 3, format);
        ASSERT_NE(saved, nullptr);
        ASSERT_EQ(levelDesc(saved, 0).Format, format);
        std::vector<std::vector<std::uint8_t>> levels;
        for (UINT level = 0; level < 3; ++level) {
            D3DLOCKED_RECT locked{};
            ASSERT_EQ(saved->LockRect(level, &locked, nullptr, 0), D3D_OK);
            D3DSURFACE_DESC desc = levelDesc(saved, level);
            bool blocks = format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
                          format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
            unsigned rows = blocks ? (desc.Height + 3) / 4 : desc.Height;
            std::vector<std::uint8_t> bytes(std::size_t(locked.Pitch) * rows);
            for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = std::uint8_t(i * 131 + level * 17 + 5);
            std::memcpy(locked.pBits, bytes.data(), bytes.size());
            saved->UnlockRect(level);
            levels.push_back(bytes);
        }
        ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, saved, nullptr), D3D_OK);
        saved->Release();

        IDirect3DTexture9* loaded = nullptr;
        ASSERT_EQ(D3DXCreateTextureFromFileExA(device, path.c_str(), 0, 0, D3DX_FROM_FILE, 0, D3DFMT_UNKNOWN,
                                               D3DPOOL_SYSTEMMEM, kNone, D3DX_DEFAULT, 0, nullptr, nullptr, &loaded),
                  D3D_OK);
        ASSERT_EQ(loaded->GetLevelCount(), 3u);
        EXPECT_EQ(levelDesc(loaded, 0).Format, format);
        for (UINT level = 0; level < 3; ++level) {
            D3DLOCKED_RECT locked{};
            ASSERT_EQ(loaded->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
            EXPECT_EQ(std::memcmp(locked.pBits, levels[level].data(), levels[level].size()), 0) << "level " << level;
            loaded->UnlockRect(level);
        }
        loaded->Release();
    }
}
