#include "soft_device.h"

namespace {

using TextureCreation = SoftDeviceTest;

TEST_F(TextureCreation, LevelsAreClampedToTheFullChainAfterTheSize) {
    struct Case {
        UINT width, height, levels, expectLevels, expectWidth, expectHeight;
    } cases[] = {
        {64, 63, 9, 7, 64, 63},        {0, 0, 20, 1, 1, 1}, {256, 16, 0, 9, 256, 16},
        {5000, 100, 0, 13, 4096, 100}, {8, 8, 2, 2, 8, 8},
    };
    for (const Case& c : cases) {
        IDirect3DTexture9* texture = makeTexture(c.width, c.height, c.levels, D3DFMT_A8R8G8B8);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->GetLevelCount(), c.expectLevels) << c.width << "x" << c.height;
        D3DSURFACE_DESC desc = levelDesc(texture, 0);
        EXPECT_EQ(desc.Width, c.expectWidth);
        EXPECT_EQ(desc.Height, c.expectHeight);
        texture->Release();
    }
}

TEST_F(TextureCreation, FormatsTheDeviceLacksAreReplaced) {
    struct Case {
        D3DFORMAT asked, made;
    } cases[] = {
        {D3DFMT_UNKNOWN, D3DFMT_A8R8G8B8}, {D3DFMT_R8G8B8, D3DFMT_X8R8G8B8}, {D3DFMT_P8, D3DFMT_A8R8G8B8},
        {D3DFMT_DXT5, D3DFMT_DXT5},        {D3DFMT_L16, D3DFMT_L16},
    };
    for (const Case& c : cases) {
        IDirect3DTexture9* texture = makeTexture(16, 16, 1, c.asked);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(levelDesc(texture, 0).Format, c.made);
        texture->Release();
    }
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXCreateTexture(device, 16, 16, 1, 0, D3DFMT_D24S8, D3DPOOL_SYSTEMMEM, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
}

TEST_F(TextureCreation, NewTexturesAreZeroFilledAndBlockFormatsRoundUp) {
    IDirect3DTexture9* texture = makeTexture(2, 2, 0, D3DFMT_DXT1);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(levelDesc(texture, 0).Width, 4u);
    EXPECT_EQ(texture->GetLevelCount(), 3u);
    texture->Release();

    texture = makeTexture(33, 17, 0, D3DFMT_A16B16G16R16F);
    for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
        D3DSURFACE_DESC desc = levelDesc(texture, level);
        std::vector<std::uint8_t> bytes = readLevel(texture, level, desc.Width * 8, desc.Height);
        EXPECT_EQ(std::vector<std::uint8_t>(bytes.size(), 0), bytes) << "level " << level;
    }
    texture->Release();
}

TEST_F(TextureCreation, SurfacesKeepTheirTextureAliveAndCountAsLive) {
    IDirect3DTexture9* texture = makeTexture(8, 8, 0, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(1, &surface), D3D_OK);
    EXPECT_EQ(d3d9soft::liveObjects().surfaces, before.surfaces + 1);
    EXPECT_EQ(texture->Release(), 1u);  // the surface's reference remains
    EXPECT_EQ(d3d9soft::liveObjects().textures, before.textures + 1);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(surface->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(surface->Release(), 0u);
    EXPECT_EQ(d3d9soft::liveObjects().textures, before.textures);

    texture = makeTexture(8, 8, 0, D3DFMT_A8R8G8B8);
    EXPECT_EQ(texture->GetSurfaceLevel(4, &surface), D3DERR_INVALIDCALL);
    d3d9soft::failCall("GetSurfaceLevel", 1, E_OUTOFMEMORY);
    EXPECT_EQ(texture->GetSurfaceLevel(0, &surface), E_OUTOFMEMORY);
    EXPECT_EQ(surface, nullptr);
    texture->Release();
}

TEST_F(TextureCreation, InjectedFailuresCountOnlyTheCallersCalls) {
    d3d9soft::failCall("D3DXCreateTexture", 2, D3DERR_OUTOFVIDEOMEMORY);
    IDirect3DTexture9* first = makeTexture(8, 8, 0, D3DFMT_A8R8G8B8);
    IDirect3DTexture9* second = nullptr;
    EXPECT_EQ(D3DXCreateTexture(device, 8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &second),
              D3DERR_OUTOFVIDEOMEMORY);
    // Mip filtering gets surface levels internally: not counted.
    ASSERT_EQ(D3DXFilterTexture(first, nullptr, 0, D3DX_DEFAULT), D3D_OK);
    EXPECT_EQ(d3d9soft::callCount("GetSurfaceLevel"), 0);
    EXPECT_EQ(d3d9soft::callCount("D3DXLoadSurfaceFromSurface"), 0);
    first->Release();
}

using LoadFromMemory = SoftDeviceTest;

TEST_F(LoadFromMemory, ConvertsAndPadsTheUncoveredPartWithTransparentBlack) {
    IDirect3DTexture9* texture = makeTexture(4, 4, 1, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    writeLevel(texture, 0, std::vector<std::uint32_t>(16, 0x11223344u).data(), 16, 4);
    // 3x2 R8G8B8 source (bytes B, G, R) into the 4x3 top-left rectangle.
    const std::uint8_t rgb[2][9] = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}};
    RECT srcRect{0, 0, 3, 2}, dstRect{0, 0, 4, 3};
    ASSERT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, &dstRect, rgb, D3DFMT_R8G8B8, 9, nullptr, &srcRect,
                                        D3DX_FILTER_NONE, 0),
              D3D_OK);
    std::vector<std::uint8_t> bytes = readLevel(texture, 0, 16, 4);
    std::vector<std::uint32_t> texels(16);
    std::memcpy(texels.data(), bytes.data(), 64);
    EXPECT_EQ(texels[0], 0xff030201u);
    EXPECT_EQ(texels[2], 0xff090807u);
    EXPECT_EQ(texels[4 + 1], 0xff0f0e0du);
    EXPECT_EQ(texels[3], 0u);            // beside the source, inside the rectangle
    EXPECT_EQ(texels[8], 0u);            // below the source, inside the rectangle
    EXPECT_EQ(texels[12], 0x11223344u);  // outside the rectangle
    EXPECT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, rgb, D3DFMT_R8G8B8, 9, nullptr, nullptr,
                                        D3DX_FILTER_NONE, 0),
              D3DERR_INVALIDCALL);
    RECT huge{0, 0, 1 << 20, 1};  // refused before any buffer is sized by it
    EXPECT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, rgb, D3DFMT_R8G8B8, 3u << 20, nullptr, &huge,
                                        D3DX_FILTER_POINT, 0),
              D3DERR_INVALIDCALL);
    RECT outside{2, 2, 5, 4};
    EXPECT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, &outside, rgb, D3DFMT_R8G8B8, 9, nullptr, &srcRect,
                                        D3DX_FILTER_NONE, 0),
              D3DERR_INVALIDCALL);
    surface->Release();
    texture->Release();
}

TEST_F(LoadFromMemory, PalettedSourcesUseThePaletteWithFlagsAsAlpha) {
    IDirect3DTexture9* texture = makeTexture(2, 1, 1, D3DFMT_A8R8G8B8);
    IDirect3DSurface9* surface = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    PALETTEENTRY palette[256] = {};
    palette[7] = PALETTEENTRY{10, 20, 30, 255};
    palette[9] = PALETTEENTRY{40, 50, 60, 128};
    const std::uint8_t indices[2] = {7, 9};
    RECT rect{0, 0, 2, 1};
    ASSERT_EQ(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, indices, D3DFMT_P8, 2, palette, &rect,
                                        D3DX_FILTER_NONE, 0),
              D3D_OK);
    std::vector<std::uint8_t> bytes = readLevel(texture, 0, 8, 1);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{30, 20, 10, 255, 60, 50, 40, 128}));
    surface->Release();
    texture->Release();
}

TEST_F(LoadFromMemory, FilterTextureBoxFiltersEveryLevelFromTheOneAbove) {
    IDirect3DTexture9* texture = makeTexture(4, 2, 0, D3DFMT_A8R8G8B8);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    // Level 0: left half opaque white, right half transparent black.
    std::vector<std::uint32_t> level0 = {0xffffffffu, 0xffffffffu, 0, 0, 0xffffffffu, 0xffffffffu, 0, 0};
    writeLevel(texture, 0, level0.data(), 16, 2);
    ASSERT_EQ(D3DXFilterTexture(texture, nullptr, 0, D3DX_DEFAULT), D3D_OK);
    std::vector<std::uint8_t> level1 = readLevel(texture, 1, 8, 1);
    EXPECT_EQ(level1, (std::vector<std::uint8_t>{255, 255, 255, 255, 0, 0, 0, 0}));
    std::vector<std::uint8_t> level2 = readLevel(texture, 2, 4, 1);
    EXPECT_EQ(level2, (std::vector<std::uint8_t>{128, 128, 128, 128}));
    EXPECT_EQ(D3DXFilterTexture(texture, nullptr, 3, D3DX_DEFAULT), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXFilterTexture(texture, nullptr, 0, 9), D3DERR_INVALIDCALL);
    texture->Release();
}

}  // namespace
