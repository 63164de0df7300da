#include <cstdlib>

#include "soft_device.h"

namespace {

class BlockCompression : public SoftDeviceTest {
protected:
    // A8R8G8B8 texels through a texture of `format` and back.
    std::vector<std::uint8_t> roundTrip(const std::vector<std::uint32_t>& texels, UINT width, UINT height,
                                        D3DFORMAT format, IDirect3DTexture9** keep = nullptr) {
        IDirect3DTexture9* source = makeTexture(width, height, 1, D3DFMT_A8R8G8B8);
        IDirect3DTexture9* packed = makeTexture(width, height, 1, format);
        IDirect3DTexture9* back = makeTexture(width, height, 1, D3DFMT_A8R8G8B8);
        writeLevel(source, 0, texels.data(), width * 4, height);
        IDirect3DSurface9 *from = nullptr, *mid = nullptr, *to = nullptr;
        source->GetSurfaceLevel(0, &from);
        packed->GetSurfaceLevel(0, &mid);
        back->GetSurfaceLevel(0, &to);
        EXPECT_EQ(D3DXLoadSurfaceFromSurface(mid, nullptr, nullptr, from, nullptr, nullptr, D3DX_DEFAULT, 0), D3D_OK);
        EXPECT_EQ(D3DXLoadSurfaceFromSurface(to, nullptr, nullptr, mid, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3D_OK);
        std::vector<std::uint8_t> result = readLevel(back, 0, width * 4, height);
        from->Release();
        mid->Release();
        to->Release();
        source->Release();
        back->Release();
        if (keep)
            *keep = packed;
        else
            packed->Release();
        return result;
    }

    static std::vector<std::uint32_t> gradient(UINT width, UINT height, bool varyAlpha) {
        std::vector<std::uint32_t> texels(std::size_t(width) * height);
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x) {
                std::uint32_t r = x * 255 / (width - 1), g = y * 255 / (height - 1),
                              b = (x + y) * 127 / (width + height);
                std::uint32_t a = varyAlpha ? 80 + x * 3 + y * 5 : 255;
                texels[y * width + x] = (a << 24) | (r << 16) | (g << 8) | b;
            }
        return texels;
    }

    static int channel(std::uint32_t texel, int c) { return int((texel >> (8 * c)) & 255); }
};

TEST_F(BlockCompression, EachFormatStaysCloseToItsSource) {
    const UINT width = 32, height = 16;
    struct Case {
        D3DFORMAT format;
        bool alpha;
        int colourTolerance, alphaTolerance;
    } cases[] = {
        {D3DFMT_DXT1, false, 20, 0}, {D3DFMT_DXT2, true, 24, 9}, {D3DFMT_DXT3, true, 20, 9},
        {D3DFMT_DXT4, true, 24, 6},  {D3DFMT_DXT5, true, 20, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        std::vector<std::uint32_t> source = gradient(width, height, c.alpha);
        std::vector<std::uint8_t> bytes = roundTrip(source, width, height, c.format);
        int worstColour = 0, worstAlpha = 0;
        for (std::size_t i = 0; i < source.size(); ++i) {
            std::uint32_t got;
            std::memcpy(&got, &bytes[4 * i], 4);
            int alpha = channel(source[i], 3);
            // Premultiplied formats hold colour times alpha: compare it so.
            bool premultiplied = c.format == D3DFMT_DXT2 || c.format == D3DFMT_DXT4;
            int weight = premultiplied ? alpha : 255;
            for (int ch = 0; ch < 3; ++ch)
                worstColour = std::max(worstColour, std::abs(channel(got, ch) - channel(source[i], ch)) * weight / 255);
            worstAlpha = std::max(worstAlpha, std::abs(channel(got, 3) - alpha));
        }
        EXPECT_LE(worstColour, c.colourTolerance);
        EXPECT_LE(worstAlpha, c.alphaTolerance);
    }
}

TEST_F(BlockCompression, PremultipliedFormatsStoreColourTimesAlpha) {
    std::vector<std::uint32_t> texels(16, 0x80c86432u);  // alpha 128, colour (200, 100, 50)
    IDirect3DTexture9* packed = nullptr;
    std::vector<std::uint8_t> back = roundTrip(texels, 4, 4, D3DFMT_DXT4, &packed);
    std::vector<std::uint8_t> block = readLevel(packed, 0, 16, 1);
    unsigned colour0 = block[8] | (block[9] << 8);
    EXPECT_NEAR(int((colour0 >> 11) << 3), 100, 8);  // red stored premultiplied
    EXPECT_NEAR(back[2], 200, 4);                    // and read back un-premultiplied
    EXPECT_NEAR(back[3], 128, 2);
    packed->Release();
    std::vector<std::uint8_t> plain;
    roundTrip(texels, 4, 4, D3DFMT_DXT5, &packed);
    block = readLevel(packed, 0, 16, 1);
    colour0 = block[8] | (block[9] << 8);
    EXPECT_NEAR(int((colour0 >> 11) << 3), 200, 8);
    packed->Release();
}

TEST_F(BlockCompression, Dxt1KeepsOneBitAlpha) {
    std::vector<std::uint32_t> texels = gradient(8, 8, false);
    for (std::size_t i = 0; i < texels.size(); ++i)
        texels[i] = (texels[i] & 0x00ffffffu) | ((i % 3 == 0 ? 100u : 200u) << 24);
    std::vector<std::uint8_t> back = roundTrip(texels, 8, 8, D3DFMT_DXT1);
    for (std::size_t i = 0; i < texels.size(); ++i) {
        if (i % 3 == 0)
            EXPECT_EQ(std::memcmp(&back[4 * i], "\0\0\0\0", 4), 0) << i;  // transparent black
        else
            EXPECT_EQ(back[4 * i + 3], 255) << i;
    }
}

TEST_F(BlockCompression, UnalignedRectanglesKeepTheRestOfTouchedBlocks) {
    const UINT size = 8;
    IDirect3DTexture9* packed = makeTexture(size, size, 1, D3DFMT_DXT5);
    IDirect3DTexture9* red = makeTexture(size, size, 1, D3DFMT_A8R8G8B8);
    IDirect3DTexture9* green = makeTexture(2, 3, 1, D3DFMT_A8R8G8B8);
    IDirect3DTexture9* back = makeTexture(size, size, 1, D3DFMT_A8R8G8B8);
    writeLevel(red, 0, std::vector<std::uint32_t>(size * size, 0xffff0000u).data(), size * 4, size);
    writeLevel(green, 0, std::vector<std::uint32_t>(6, 0xff00ff00u).data(), 8, 3);
    IDirect3DSurface9 *packedSurface, *redSurface, *greenSurface, *backSurface;
    packed->GetSurfaceLevel(0, &packedSurface);
    red->GetSurfaceLevel(0, &redSurface);
    green->GetSurfaceLevel(0, &greenSurface);
    back->GetSurfaceLevel(0, &backSurface);
    ASSERT_EQ(
        D3DXLoadSurfaceFromSurface(packedSurface, nullptr, nullptr, redSurface, nullptr, nullptr, D3DX_FILTER_NONE, 0),
        D3D_OK);
    RECT rect{3, 2, 5, 5};  // straddles blocks in both directions
    ASSERT_EQ(
        D3DXLoadSurfaceFromSurface(packedSurface, nullptr, &rect, greenSurface, nullptr, nullptr, D3DX_FILTER_NONE, 0),
        D3D_OK);
    ASSERT_EQ(
        D3DXLoadSurfaceFromSurface(backSurface, nullptr, nullptr, packedSurface, nullptr, nullptr, D3DX_FILTER_NONE, 0),
        D3D_OK);
    std::vector<std::uint8_t> bytes = readLevel(back, 0, size * 4, size);
    for (UINT y = 0; y < size; ++y)
        for (UINT x = 0; x < size; ++x) {
            bool inside = x >= 3 && x < 5 && y >= 2 && y < 5;
            const std::uint8_t* t = &bytes[(y * size + x) * 4];
            EXPECT_EQ(t[2], inside ? 0 : 255) << x << "," << y;  // red
            EXPECT_EQ(t[1], inside ? 255 : 0) << x << "," << y;  // green
        }
    for (IDirect3DSurface9* s : {packedSurface, redSurface, greenSurface, backSurface}) s->Release();
    for (IDirect3DTexture9* t : {packed, red, green, back}) t->Release();
}

TEST_F(BlockCompression, LevelsSmallerThanABlockCompress) {
    IDirect3DTexture9* texture = makeTexture(8, 8, 0, D3DFMT_DXT1);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    IDirect3DTexture9* source = makeTexture(2, 2, 1, D3DFMT_A8R8G8B8);
    writeLevel(source, 0, std::vector<std::uint32_t>(4, 0xff0000ffu).data(), 8, 2);
    IDirect3DSurface9 *to, *from;
    texture->GetSurfaceLevel(2, &to);
    source->GetSurfaceLevel(0, &from);
    ASSERT_EQ(D3DXLoadSurfaceFromSurface(to, nullptr, nullptr, from, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3D_OK);
    std::vector<std::uint8_t> block = readLevel(texture, 2, 8, 1);
    EXPECT_EQ(block[0] | (block[1] << 8), 0x001f);  // pure blue, padding did not pull the endpoints
    to->Release();
    from->Release();
    source->Release();
    texture->Release();
}

}  // namespace
