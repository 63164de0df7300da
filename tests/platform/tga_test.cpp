// TGA files written byte by byte: what the probe reads, run-length packets
// and row ends, colour maps shorter than the indices that use them.
#include "platform/image_fixtures.h"
#include "platform/soft_device.h"

using namespace fixtures;

namespace {

Bytes tgaHeader(int mapType, int imageType, unsigned mapLength, unsigned mapBits, unsigned width, unsigned height,
                unsigned bits, std::uint8_t descriptor = 0x20) {
    auto lo = [](unsigned v) { return std::uint8_t(v); };
    auto hi = [](unsigned v) { return std::uint8_t(v >> 8); };
    return {0, lo(mapType), lo(imageType), 0,         0,          lo(mapLength), hi(mapLength), lo(mapBits), 0, 0,
            0, 0,           lo(width),     hi(width), lo(height), hi(height),    lo(bits),      descriptor};
}

class Tga : public SoftDeviceTest {
protected:
    HRESULT probe(const Bytes& file, D3DXIMAGE_INFO& info) {
        return D3DXGetImageInfoFromFileInMemory(file.data(), UINT(file.size()), &info);
    }
    // Loads at the file's size; the texels of level 0 as A8R8G8B8 when it loaded.
    HRESULT load(const Bytes& file, std::vector<std::uint32_t>* texels = nullptr) {
        IDirect3DTexture9* texture = nullptr;
        HRESULT hr = loadImage(file, &texture, D3DX_DEFAULT_NONPOW2, 1, nullptr, D3DX_FILTER_NONE, D3DFMT_A8R8G8B8);
        if (texture && texels) *texels = argb(texture, 0);
        if (texture) texture->Release();
        return hr;
    }
};

}  // namespace

// The probe reads the header and the colour map only; loading needs the pixels.
TEST_F(Tga, ProbeReadsOnlyHeaderAndColourMap) {
    const struct {
        Bytes header;
        std::size_t mapBytes;
        HRESULT hr;
        D3DFORMAT format;
    } cases[] = {
        {tgaHeader(0, 2, 0, 0, 4, 4, 15), 0, D3D_OK, D3DFMT_X1R5G5B5},
        {tgaHeader(0, 2, 0, 0, 4, 4, 16), 0, D3D_OK, D3DFMT_A1R5G5B5},
        {tgaHeader(0, 10, 0, 0, 4, 4, 24), 0, D3D_OK, D3DFMT_R8G8B8},
        {tgaHeader(0, 2, 0, 0, 4, 4, 32, 0xcf), 0, D3D_OK, D3DFMT_A8R8G8B8},
        {tgaHeader(1, 1, 256, 24, 4, 4, 8), 768, D3D_OK, D3DFMT_P8},
        {tgaHeader(1, 9, 256, 16, 4, 4, 8), 512, D3D_OK, D3DFMT_P8},
        {tgaHeader(0, 11, 0, 0, 4, 4, 8), 0, D3D_OK, D3DFMT_L8},
        // A colour map counts even where no pixel uses it; its entry size is then not checked.
        {tgaHeader(0, 2, 1, 8, 4, 4, 24), 1, D3D_OK, D3DFMT_R8G8B8},
        {tgaHeader(1, 2, 1, 16, 4, 4, 24), 2, D3D_OK, D3DFMT_R8G8B8},
        {tgaHeader(1, 2, 1, 8, 4, 4, 24), 1, D3DXERR_INVALIDDATA, D3DFMT_UNKNOWN},
        {tgaHeader(1, 2, 0, 16, 4, 4, 24), 0, D3DXERR_INVALIDDATA, D3DFMT_UNKNOWN},
        // No 16-bit grey (grey plus alpha).
        {tgaHeader(0, 3, 0, 0, 4, 4, 16), 0, D3DXERR_INVALIDDATA, D3DFMT_UNKNOWN},
        {tgaHeader(0, 11, 0, 0, 4, 4, 16), 0, D3DXERR_INVALIDDATA, D3DFMT_UNKNOWN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << int(c.header[2]) << ", " << int(c.header[16]) << " bits");
        Bytes file = c.header;
        file.resize(file.size() + c.mapBytes, 0x55);
        D3DXIMAGE_INFO info{};
        EXPECT_EQ(probe(file, info), c.hr);
        EXPECT_EQ(load(file), D3DXERR_INVALIDDATA) << "no pixel data";
        if (FAILED(c.hr)) continue;
        EXPECT_EQ(info.Format, c.format);
        if (!c.mapBytes) continue;
        file.pop_back();
        EXPECT_EQ(probe(file, info), D3DXERR_INVALIDDATA) << "colour map one byte short";
    }
}

// A packet may not run past the end of a row in true-colour files.
TEST_F(Tga, RunLengthPacketsEndWithTheirRow) {
    for (unsigned bits : {15u, 16u, 24u, 32u}) {
        SCOPED_TRACE(bits);
        const std::size_t packet = (bits + 7) / 8 + 1;
        Bytes file = tgaHeader(0, 10, 0, 0, 4, 2, bits);
        const std::size_t start = file.size();
        file.resize(start + 2 * packet, 0xff);
        file[start] = 0x83;  // four repeats, one row each
        file[start + packet] = 0x83;
        std::vector<std::uint32_t> texels;
        ASSERT_EQ(load(file, &texels), D3D_OK);
        EXPECT_EQ(texels, std::vector<std::uint32_t>(8, 0xffffffff));
        file[start] = 0x87;  // eight repeats: across the end of the first row
        EXPECT_EQ(load(file), D3DXERR_INVALIDDATA);
        file[start] = 0x83;
        file[start + packet] = 0x82;  // the last row ends one texel short
        EXPECT_EQ(load(file), D3DXERR_INVALIDDATA);
    }
}

// Indices past the end of a short colour map read as opaque white.
TEST_F(Tga, IndicesPastAShortColourMapAreOpaqueWhite) {
    Bytes file = tgaHeader(1, 1, 2, 24, 3, 1, 8);
    const Bytes rest = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0, 1, 7};  // two BGR entries, then indices 0, 1, 7
    file.insert(file.end(), rest.begin(), rest.end());
    std::vector<std::uint32_t> texels;
    ASSERT_EQ(load(file, &texels), D3D_OK);
    EXPECT_EQ(texels, (std::vector<std::uint32_t>{0xff302010, 0xff605040, 0xffffffff}));
}
