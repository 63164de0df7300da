// Hostile image data: whatever the bytes, probing and loading return an error
// or what the whole file holds, allocate no more than the data can fill, and
// leave no object behind (run under the sanitizers to see more).
#include <random>
#include <tuple>

#include "platform/image_fixtures.h"
#include "platform/soft_device.h"

using namespace fixtures;

namespace {

class HostileImages : public SoftDeviceTest {
protected:
    static HRESULT probe(const Bytes& bytes, D3DXIMAGE_INFO& info) {
        info = D3DXIMAGE_INFO{};
        return D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), &info);
    }
    // A texture is handed out exactly when the load succeeds.
    HRESULT load(const Bytes& bytes) {
        IDirect3DTexture9* texture = nullptr;
        HRESULT hr = loadImage(bytes, &texture);
        EXPECT_EQ(SUCCEEDED(hr), texture != nullptr);
        if (texture) texture->Release();
        return hr;
    }
};

}  // namespace

// No prefix of a file loads. A probe of a prefix fails or reports exactly what
// the whole file does; where the format fixes the data size, it fails (TGA
// probes read only the header, as on Windows).
TEST_F(HostileImages, EveryTruncationIsRefused) {
    const std::vector<Rgba> pixels = pattern(9, 6, false);
    const struct {
        const char* name;
        const char* options;
        bool sizeIsFixed;
    } samples[] = {
        {"t.png", "-define png:color-type=6", false},
        {"t.jpg", "-quality 80", false},
        {"tp.jpg", "-quality 80 -interlace Plane", false},
        {"t.bmp", "-type TrueColorAlpha", true},
        {"t.tga", "-type TrueColorAlpha", false},
        {"rle.tga", "-type TrueColorAlpha -compress RLE", false},
        {"t.ppm", "", true},
        {"t.pfm", "", true},
        {"t.hdr", "", false},
        {"t.dds", "-define dds:compression=dxt5 -define dds:mipmaps=3", true},
    };
    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.name);
        std::string path = convertPixels(pixels, 9, 6, sample.options, sample.name);
        ASSERT_FALSE(path.empty());
        const Bytes whole = readFile(path);
        D3DXIMAGE_INFO full, part;
        ASSERT_EQ(probe(whole, full), D3D_OK);
        ASSERT_EQ(load(whole), D3D_OK);
        for (std::size_t length = 1; length < whole.size(); ++length) {
            Bytes prefix(whole.begin(), whole.begin() + std::ptrdiff_t(length));
            ASSERT_EQ(load(prefix), D3DXERR_INVALIDDATA) << "cut at " << length;
            HRESULT hr = probe(prefix, part);
            bool sameAsWhole = hr == D3D_OK && std::memcmp(&part, &full, sizeof full) == 0;
            EXPECT_TRUE(sample.sizeIsFixed ? hr == D3DXERR_INVALIDDATA : hr != D3D_OK || sameAsWhole)
                << "cut at " << length << ": " << std::hex << hr;
        }
    }
}

// Headers over the device's 4096 limit or far beyond the data behind them are
// refused before any pixel buffer is sized by them.
TEST_F(HostileImages, HugeDimensionsAreRefused) {
    Bytes bigBmp = bmpFile({2, 2, 24, false, {}, false, {0, 0, 0, 0}});
    put32(bigBmp, 18, 65535);
    put32(bigBmp, 22, 65535);
    Bytes bigTga = tgaFile({2, 2, 24, false, {0, 0, 0, 0}});
    put32(bigTga, 12, 0xffffffff);
    Bytes widePng = readFile(convertPixels(pattern(4, 2, true), 4, 2, "-define png:color-type=2", "wide.png"));
    put32(widePng, 16, 0x01100000);  // 4097, big-endian
    std::string ppm = "P6\n65535 65535\n255\n" + std::string(64, '\0');
    const struct {
        const char* what;
        Bytes bytes;
        bool probeFails;
    } cases[] = {
        {"bmp", bigBmp, true},
        {"tga", bigTga, false},  // the probe reads only the header
        {"ppm", Bytes(ppm.begin(), ppm.end()), true},
        {"png 4097 wide", widePng, false},
        {"dds argb", ddsOf(65535, 65535, 1, 0, 64), true},
        {"dds dxt1", ddsOf(65535, 65535, 1, 0x31545844, 64), true},
        {"dds 2^31 with 32 levels", ddsOf(0x80000000u, 0x80000000u, 32, 0x31545844, 64), true},
    };
    for (const auto& c : cases) {
        D3DXIMAGE_INFO info;
        EXPECT_EQ(load(c.bytes), D3DXERR_INVALIDDATA) << c.what;
        HRESULT probed = probe(c.bytes, info);
        EXPECT_TRUE(!c.probeFails || probed == D3DXERR_INVALIDDATA) << c.what;
    }
}

// Only the DDS mip count and the file length are trusted, not the flags or the pitch.
TEST_F(HostileImages, LyingDdsHeaders) {
    // No MIPMAPCOUNT flag and a lying pitch.
    Bytes lying = ddsFile(0x1007, 8, 8, 0, 4, kDdsArgb, 0, Bytes((8 * 8 + 4 * 4 + 2 * 2 + 1) * 4), 12345);
    D3DXIMAGE_INFO info;
    ASSERT_EQ(probe(lying, info), D3D_OK);
    EXPECT_EQ(std::make_tuple(info.Format, info.MipLevels), std::make_tuple(D3DFMT_A8R8G8B8, 4u));
    EXPECT_EQ(load(lying), D3D_OK);
    put32(lying, 28, 0);
    ASSERT_EQ(probe(lying, info), D3D_OK);
    EXPECT_EQ(info.MipLevels, 1u) << "mip count 0";
    put32(lying, 28, 4);
    lying.pop_back();
    EXPECT_EQ(probe(lying, info), D3DXERR_INVALIDDATA) << "one byte short of four levels";
    EXPECT_EQ(load(lying), D3DXERR_INVALIDDATA);
    EXPECT_EQ(probe(ddsOf(4, 4, 1, 0x30315844, 4096), info), D3DXERR_INVALIDDATA) << "extended header";
}

TEST_F(HostileImages, MissingEmptyAndUnrecognisedData) {
    D3DXIMAGE_INFO info{};
    Bytes garbage(100, 'x');
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(nullptr, 10, &info), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(garbage.data(), 0, &info), D3DERR_INVALIDCALL);
    EXPECT_EQ(probe(garbage, info), D3DXERR_INVALIDDATA);
    EXPECT_EQ(load(garbage), D3DXERR_INVALIDDATA);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(nullptr, &info), D3DERR_INVALIDCALL);
    for (std::string path :
         {std::string(), std::string("no/such/file.png"), writeScratch("empty.png", {}), std::string(TA_TEST_SCRATCH)})
        EXPECT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3DXERR_INVALIDDATA) << path;
}

TEST_F(HostileImages, MutatedFilesNeverCrashOrLeak) {
    const std::vector<Rgba> pixels = pattern(12, 10, false);
    const std::pair<const char*, const char*> files[] = {
        {"m.png", "-define png:color-type=6"},
        {"m.jpg", "-interlace Plane"},
        {"m.bmp", "-type Palette -compress None"},
        {"m.tga", "-compress RLE"},
        {"m.ppm", ""},
        {"m.hdr", ""},
        {"m.dds", "-define dds:compression=dxt1"},
    };
    std::mt19937 random(12345);
    int loaded = 0;
    for (const auto& file : files) {
        std::string path = convertPixels(pixels, 12, 10, file.second, file.first);
        ASSERT_FALSE(path.empty());
        const Bytes original = readFile(path);
        for (int round = 0; round < 400; ++round) {
            Bytes bytes = original;
            for (int edits = 1 + int(random() % 4); edits > 0; --edits) {
                std::size_t at = random() % bytes.size();
                const unsigned kind = random() % 3;  // flip a bit, saturate a byte, cut
                if (kind == 2)
                    bytes.resize(std::max<std::size_t>(1, at));
                else
                    bytes[at] = kind == 0        ? std::uint8_t(bytes[at] ^ (1u << (random() % 8)))
                                : (random() & 1) ? 0xff
                                                 : 0;
            }
            D3DXIMAGE_INFO info;
            probe(bytes, info);
            loaded += load(bytes) == D3D_OK;
        }
    }
    // Some mutations only touch pixels; the test is void if none loads.
    EXPECT_GT(loaded, 0);
}
