// Corrupted files: whatever the bytes, probing and loading return a result
// and leave no object behind (run under the sanitizers to see more).
#include "platform/image_fixtures.h"
#include "platform/soft_device.h"

#include <random>

using namespace fixtures;

using CorruptFiles = SoftDeviceTest;

TEST_F(CorruptFiles, NeverCrashOrLeak) {
    const std::vector<Rgba> pixels = pattern(12, 10, false);
    const std::string files[] = {
        convertPixels(pixels, 12, 10, "-define png:color-type=6", "m.png"),
        convertPixels(pixels, 12, 10, "-interlace Plane", "m.jpg"),
        convertPixels(pixels, 12, 10, "-type Palette", "m.bmp"),
        convertPixels(pixels, 12, 10, "-compress RLE", "m.tga"),
        convertPixels(pixels, 12, 10, "", "m.ppm"),
        convertPixels(pixels, 12, 10, "", "m.hdr"),
        convertPixels(pixels, 12, 10, "-define dds:compression=dxt1", "m.dds"),
    };
    std::mt19937 random(12345);
    int loaded = 0;
    for (const std::string& path : files) {
        ASSERT_FALSE(path.empty());
        const Bytes original = readFile(path);
        for (int round = 0; round < 400; ++round) {
            Bytes bytes = original;
            int edits = 1 + int(random() % 4);
            for (int e = 0; e < edits; ++e) {
                std::size_t at = random() % bytes.size();
                switch (random() % 3) {
                case 0: bytes[at] ^= std::uint8_t(1u << (random() % 8)); break;
                case 1: bytes[at] = (random() & 1) ? 0xff : 0x00; break;
                default: bytes.resize(std::max<std::size_t>(1, at)); break;
                }
            }
            D3DXIMAGE_INFO info{};
            D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), &info);
            IDirect3DTexture9* texture = nullptr;
            HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), UINT(bytes.size()), 0, 0, 0, 0,
                                                             D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE,
                                                             D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
            if (SUCCEEDED(hr)) {
                ASSERT_NE(texture, nullptr);
                texture->Release();
                ++loaded;
            } else {
                EXPECT_EQ(texture, nullptr);
            }
        }
    }
    // Some mutations only touch pixels; the test is void if none loads.
    EXPECT_GT(loaded, 0);
}
