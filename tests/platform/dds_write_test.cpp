#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "soft_device.h"

namespace {

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t field(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    if (offset + 4 <= bytes.size()) std::memcpy(&value, &bytes[offset], 4);
    return value;
}

std::string run(const std::string& command) {
    std::string output;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        pclose(pipe);
    }
    return output;
}

using DdsWrite = SoftDeviceTest;

TEST_F(DdsWrite, HeaderFieldsFollowTheFormatAndLevelCount) {
    struct Case {
        D3DFORMAT format;
        UINT width, height, levels;
        std::size_t fileSize;
        std::uint32_t flags, mipCount, caps, pfFlags, fourCC, bits, r, g, b, a;
    } cases[] = {
        {D3DFMT_A8R8G8B8, 4, 4, 3, 128 + 84, 0x21007, 3, 0x40100a, 0x41, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000},
        {D3DFMT_X8R8G8B8, 4, 2, 1, 128 + 32, 0x1007, 0, 0x1000, 0x40, 0, 32, 0xff0000, 0xff00, 0xff, 0},
        {D3DFMT_DXT1, 8, 8, 1, 128 + 32, 0x1007, 0, 0x1000, 0x4, 0x31545844, 0, 0, 0, 0, 0},
        {D3DFMT_DXT5, 8, 8, 4, 128 + 64 + 16 * 3, 0x21007, 4, 0x401008, 0x4, 0x35545844, 0, 0, 0, 0, 0},
        {D3DFMT_A16B16G16R16F, 2, 2, 1, 128 + 32, 0x1007, 0, 0x1000, 0x4, 113, 0, 0, 0, 0, 0},
        {D3DFMT_A2B10G10R10, 1, 1, 1, 128 + 4, 0x1007, 0, 0x1002, 0x41, 0, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000},
        {D3DFMT_A8L8, 3, 5, 2, 128 + 30 + 4, 0x21007, 2, 0x40100a, 0x20001, 0, 16, 0xff, 0, 0, 0xff00},
        {D3DFMT_V8U8, 2, 1, 1, 128 + 4, 0x1007, 0, 0x1000, 0x80000, 0, 16, 0xff, 0xff00, 0, 0},
    };
    const std::string path = std::string(TA_TEST_SCRATCH) + "/header.dds";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        IDirect3DTexture9* texture = makeTexture(c.width, c.height, c.levels, c.format);
        ASSERT_NE(texture, nullptr);
        ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture, nullptr), D3D_OK);
        texture->Release();
        std::vector<std::uint8_t> bytes = readFile(path);
        ASSERT_EQ(bytes.size(), c.fileSize);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "DDS ");
        EXPECT_EQ(field(bytes, 4), 124u);
        EXPECT_EQ(field(bytes, 8), c.flags);
        EXPECT_EQ(field(bytes, 12), c.height);
        EXPECT_EQ(field(bytes, 16), c.width);
        EXPECT_EQ(field(bytes, 20), 0u);
        EXPECT_EQ(field(bytes, 28), c.mipCount);
        EXPECT_EQ(field(bytes, 76), 32u);
        EXPECT_EQ(field(bytes, 80), c.pfFlags);
        EXPECT_EQ(field(bytes, 84), c.fourCC);
        EXPECT_EQ(field(bytes, 88), c.bits);
        EXPECT_EQ(field(bytes, 92), c.r);
        EXPECT_EQ(field(bytes, 96), c.g);
        EXPECT_EQ(field(bytes, 100), c.b);
        EXPECT_EQ(field(bytes, 104), c.a);
        EXPECT_EQ(field(bytes, 108), c.caps);
    }
}

TEST_F(DdsWrite, LevelsFollowTheHeaderTightlyPackedAndFailuresAreReported) {
    IDirect3DTexture9* texture = makeTexture(3, 2, 2, D3DFMT_R5G6B5);
    std::vector<std::uint16_t> level0 = {1, 2, 3, 4, 5, 6}, level1 = {7};
    writeLevel(texture, 0, level0.data(), 6, 2);
    writeLevel(texture, 1, level1.data(), 2, 1);
    const std::string path = std::string(TA_TEST_SCRATCH) + "/levels.dds";
    ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture, nullptr), D3D_OK);
    std::vector<std::uint8_t> bytes = readFile(path);
    ASSERT_EQ(bytes.size(), 128u + 14u);
    std::vector<std::uint16_t> data(7);
    std::memcpy(data.data(), &bytes[128], 14);
    EXPECT_EQ(data, (std::vector<std::uint16_t>{1, 2, 3, 4, 5, 6, 7}));

    EXPECT_EQ(D3DXSaveTextureToFileA("/nonexistent-dir/x.dds", D3DXIFF_DDS, texture, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveTextureToFileA("", D3DXIFF_DDS, texture, nullptr), D3DERR_INVALIDCALL);
    d3d9soft::failCall("D3DXSaveTextureToFileA", 1, E_OUTOFMEMORY);
    EXPECT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture, nullptr), E_OUTOFMEMORY);
    texture->Release();
}

// Pillow, an independent reader, decodes what we wrote to the texels we hold.
TEST_F(DdsWrite, PillowReadsBackSizeModeAndTexels) {
    const char* python = "/usr/bin/python3";
    if (run(std::string(python) + " -c 'import PIL; print(1)' 2>/dev/null") != "1\n")
        GTEST_SKIP() << "Pillow (python3-pil) is not installed";
    struct Case {
        D3DFORMAT format;
        const char* mode;
        int tolerance;
    } cases[] = {
        {D3DFMT_A8R8G8B8, "RGBA", 0}, {D3DFMT_L8, "L", 0},      {D3DFMT_A8L8, "LA", 0},
        {D3DFMT_DXT1, "RGBA", 2},     {D3DFMT_DXT3, "RGBA", 2}, {D3DFMT_DXT5, "RGBA", 2},
    };
    const UINT width = 20, height = 12;
    std::vector<std::uint32_t> image(width * height);
    for (UINT i = 0; i < width * height; ++i) image[i] = 0x01000000u * (i * 3 % 256) + 0x00010203u * (i % 80);
    IDirect3DTexture9* source = makeTexture(width, height, 1, D3DFMT_A8R8G8B8);
    writeLevel(source, 0, image.data(), width * 4, height);
    IDirect3DSurface9* sourceSurface = nullptr;
    source->GetSurfaceLevel(0, &sourceSurface);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        IDirect3DTexture9* texture = makeTexture(width, height, 0, c.format);
        IDirect3DTexture9* ours = makeTexture(width, height, 1, D3DFMT_A8B8G8R8);
        IDirect3DSurface9 *level0 = nullptr, *oursSurface = nullptr;
        texture->GetSurfaceLevel(0, &level0);
        ours->GetSurfaceLevel(0, &oursSurface);
        ASSERT_EQ(
            D3DXLoadSurfaceFromSurface(level0, nullptr, nullptr, sourceSurface, nullptr, nullptr, D3DX_FILTER_NONE, 0),
            D3D_OK);
        ASSERT_EQ(D3DXFilterTexture(texture, nullptr, 0, D3DX_DEFAULT), D3D_OK);
        ASSERT_EQ(
            D3DXLoadSurfaceFromSurface(oursSurface, nullptr, nullptr, level0, nullptr, nullptr, D3DX_FILTER_NONE, 0),
            D3D_OK);
        std::vector<std::uint8_t> expected = readLevel(ours, 0, width * 4, height);
        const std::string path = std::string(TA_TEST_SCRATCH) + "/pillow.dds";
        const std::string raw = std::string(TA_TEST_SCRATCH) + "/pillow.rgba";
        ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture, nullptr), D3D_OK);
        std::string said = run(std::string(python) + " -c \"from PIL import Image; im = Image.open('" + path +
                               "'); print(im.size[0], im.size[1], im.mode); open('" + raw +
                               "', 'wb').write(im.convert('RGBA').tobytes())\" 2>&1");
        EXPECT_EQ(said, std::to_string(width) + " " + std::to_string(height) + " " + c.mode + "\n");
        std::vector<std::uint8_t> decoded = readFile(raw);
        ASSERT_EQ(decoded.size(), expected.size());
        int worst = 0;
        for (std::size_t i = 0; i < decoded.size(); ++i) {
            if (c.format == D3DFMT_L8 && i % 4 == 3) continue;  // Pillow's L has no alpha
            worst = std::max(worst, std::abs(int(decoded[i]) - int(expected[i])));
        }
        EXPECT_LE(worst, c.tolerance);
        oursSurface->Release();
        level0->Release();
        ours->Release();
        texture->Release();
    }
    sourceSurface->Release();
    source->Release();
}

TEST_F(DdsWrite, PngPreviewIsReadableByPillow) {
    const char* python = "/usr/bin/python3";
    if (run(std::string(python) + " -c 'import PIL; print(1)' 2>/dev/null") != "1\n")
        GTEST_SKIP() << "Pillow (python3-pil) is not installed";
    IDirect3DTexture9* texture = makeTexture(3, 2, 0, D3DFMT_A8R8G8B8);
    std::vector<std::uint32_t> texels = {0xff102030u, 0x80405060u, 0u, 0xffffffffu, 0x01020304u, 0xfe000000u};
    writeLevel(texture, 0, texels.data(), 12, 2);
    const std::string path = std::string(TA_TEST_SCRATCH) + "/preview.png";
    ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_PNG, texture, nullptr), D3D_OK);
    texture->Release();
    std::string said = run(std::string(python) + " -c \"from PIL import Image; im = Image.open('" + path +
                           "'); print(im.mode, list(im.getdata())[:2])\" 2>&1");
    EXPECT_EQ(said, "RGBA [(16, 32, 48, 255), (64, 80, 96, 128)]\n");
}

}  // namespace
