// Texture creation: sizes, level counts and formats as the device allows,
// reference counting and failure injection.
#include <tuple>

#include "soft_device.h"

namespace {

using TextureCreation = SoftDeviceTest;

}  // namespace

// D3DXCheckTextureRequirements reports what D3DXCreateTexture makes, each
// out value asked for alone or together. CxV8U8, which devices no longer
// make, becomes X8L8V8U8.
TEST_F(TextureCreation, SizesLevelsAndFormatsFollowTheDevice) {
    const UINT none = 12345;  // out value not asked for: nothing to create
    const struct {
        UINT width, height, levels;
        D3DFORMAT format;
        UINT expectWidth, expectHeight, expectLevels;
        D3DFORMAT expectFormat;
    } cases[] = {
        {64, 63, 9, D3DFMT_A8R8G8B8, 64, 63, 7, D3DFMT_A8R8G8B8},
        {0, 0, 20, D3DFMT_A8R8G8B8, 1, 1, 1, D3DFMT_A8R8G8B8},
        {256, 16, 0, D3DFMT_A8R8G8B8, 256, 16, 9, D3DFMT_A8R8G8B8},
        {5000, 100, 0, D3DFMT_A8R8G8B8, 4096, 100, 13, D3DFMT_A8R8G8B8},  // levels after the size limit
        {8, 8, 2, D3DFMT_A8R8G8B8, 8, 8, 2, D3DFMT_A8R8G8B8},
        {2, 2, 0, D3DFMT_DXT1, 4, 4, 3, D3DFMT_DXT1},  // whole blocks
        {16, 16, 1, D3DFMT_UNKNOWN, 16, 16, 1, D3DFMT_A8R8G8B8},
        {16, 16, 1, D3DFMT_R8G8B8, 16, 16, 1, D3DFMT_X8R8G8B8},
        {16, 16, 1, D3DFMT_P8, 16, 16, 1, D3DFMT_A8R8G8B8},
        {16, 16, 1, D3DFMT_L16, 16, 16, 1, D3DFMT_L16},
        {D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, 256, 256, 9, D3DFMT_A8R8G8B8},
        {D3DX_DEFAULT, 0, none, D3DFMT_R8G8B8, 1, 1, none, D3DFMT_X8R8G8B8},
        {62, D3DX_DEFAULT, 20, D3DFMT_P8, 62, 62, 6, D3DFMT_A8R8G8B8},
        {64, 63, 9, D3DFMT_DXT5, 64, 64, 7, D3DFMT_DXT5},
        {0xfffffffe, 1, 0, D3DFMT_L8, 4096, 1, 13, D3DFMT_L8},
        {none, none, 0, D3DFMT_UNKNOWN, none, none, 9, D3DFMT_A8R8G8B8},
        {none, none, none, D3DFORMAT(D3DX_DEFAULT), none, none, none, D3DFMT_A8R8G8B8},
        {none, none, none, D3DFMT_CxV8U8, none, none, none, D3DFMT_X8L8V8U8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " format " << c.format);
        const auto expected = std::make_tuple(c.expectWidth, c.expectHeight, c.expectLevels, c.expectFormat);
        UINT width = c.width, height = c.height, levels = c.levels;
        D3DFORMAT format = c.format;
        ASSERT_EQ(D3DXCheckTextureRequirements(device, c.width == none ? nullptr : &width,
                                               c.height == none ? nullptr : &height,
                                               c.levels == none ? nullptr : &levels, 0, &format, D3DPOOL_DEFAULT),
                  D3D_OK);
        EXPECT_EQ(std::make_tuple(width, height, levels, format), expected);
        if (c.width == none || c.levels == none) continue;
        IDirect3DTexture9* texture = makeTexture(c.width, c.height, c.levels, c.format);
        ASSERT_NE(texture, nullptr);
        D3DSURFACE_DESC desc = levelDesc(texture, 0);
        EXPECT_EQ(std::make_tuple(desc.Width, desc.Height, UINT(texture->GetLevelCount()), desc.Format), expected);
        texture->Release();
    }
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXCreateTexture(device, 16, 16, 1, 0, D3DFMT_D24S8, D3DPOOL_SYSTEMMEM, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
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

TEST_F(TextureCreation, FilterTextureBoxFiltersEachLevelFromTheOneAboveUncounted) {
    d3d9soft::failCall("D3DXCreateTexture", 2, D3DERR_OUTOFVIDEOMEMORY);
    IDirect3DTexture9 *texture = makeTexture(4, 2, 0, D3DFMT_A8R8G8B8), *refused = nullptr;
    EXPECT_EQ(D3DXCreateTexture(device, 8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &refused),
              D3DERR_OUTOFVIDEOMEMORY);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    // Left half opaque white, right half transparent black.
    std::vector<std::uint32_t> level0 = {~0u, ~0u, 0, 0, ~0u, ~0u, 0, 0};
    writeLevel(texture, 0, level0.data(), 16, 2);
    ASSERT_EQ(D3DXFilterTexture(texture, nullptr, 0, D3DX_DEFAULT), D3D_OK);
    // Its own surface levels and copies are not the caller's calls.
    EXPECT_EQ(d3d9soft::callCount("GetSurfaceLevel") + d3d9soft::callCount("D3DXLoadSurfaceFromSurface"), 0);
    EXPECT_EQ(readLevel(texture, 1, 8, 1), (std::vector<std::uint8_t>{255, 255, 255, 255, 0, 0, 0, 0}));
    EXPECT_EQ(readLevel(texture, 2, 4, 1), (std::vector<std::uint8_t>{128, 128, 128, 128}));
    EXPECT_EQ(D3DXFilterTexture(texture, nullptr, 3, D3DX_DEFAULT), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXFilterTexture(texture, nullptr, 0, 9), D3DERR_INVALIDCALL);
    texture->Release();
}

// Usages meant for buffers are refused by both.
TEST_F(TextureCreation, CheckTextureRequirementsRefusesWhatCreationRefuses) {
    EXPECT_EQ(D3DXCheckTextureRequirements(nullptr, nullptr, nullptr, nullptr, 0, nullptr, D3DPOOL_DEFAULT),
              D3DERR_INVALIDCALL);
    // D3DX_DEFAULT as the usage asks for nothing in particular.
    EXPECT_EQ(D3DXCheckTextureRequirements(device, nullptr, nullptr, nullptr, D3DX_DEFAULT, nullptr, D3DPOOL_DEFAULT),
              D3D_OK);
    for (DWORD usage :
         {D3DUSAGE_WRITEONLY, D3DUSAGE_DONOTCLIP, D3DUSAGE_POINTS, D3DUSAGE_RTPATCHES, D3DUSAGE_NPATCHES}) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCheckTextureRequirements(device, nullptr, nullptr, nullptr, usage, nullptr, D3DPOOL_DEFAULT),
                  D3DERR_INVALIDCALL);
        EXPECT_EQ(D3DXCreateTexture(device, 4, 4, 1, usage, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &texture),
                  D3DERR_INVALIDCALL)
            << usage;
        EXPECT_EQ(texture, nullptr);
    }
}
