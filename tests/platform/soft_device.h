// Shared fixture of the platform tests: a software device, and checks that
// every object a test made is gone when it ends.
#pragma once

#include <d3d9.h>
#include <d3d9_testing.h>
#include <d3d9soft.h>
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

// Level 0 of a new texture with its surface, released together.
struct Level {
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* surface = nullptr;
    Level(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format, UINT levels = 1) {
        EXPECT_EQ(D3DXCreateTexture(device, width, height, levels, 0, format, D3DPOOL_SYSTEMMEM, &texture), D3D_OK);
        if (texture) texture->GetSurfaceLevel(0, &surface);
    }
    Level(const Level&) = delete;
    ~Level() {
        if (surface) surface->Release();
        if (texture) texture->Release();
    }
};

class SoftDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        before = d3d9soft::liveObjects();
        d3d9soft::resetCalls();
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(direct3D, nullptr);
        D3DPRESENT_PARAMETERS params{};
        ASSERT_EQ(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &params, &device), D3D_OK);
    }
    void TearDown() override {
        D3D9SoftSetThreadCount(0);  // tests that set a count leave the default
        for (IDirect3DTexture9* texture : owned) texture->Release();
        if (device) device->Release();
        if (direct3D) direct3D->Release();
        d3d9soft::LiveObjects after = d3d9soft::liveObjects();
        EXPECT_EQ(after.devices, before.devices);
        EXPECT_EQ(after.textures, before.textures);
        EXPECT_EQ(after.surfaces, before.surfaces);
    }

    IDirect3DTexture9* makeTexture(UINT width, UINT height, UINT levels, D3DFORMAT format) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3DXCreateTexture(device, width, height, levels, 0, format, D3DPOOL_SYSTEMMEM, &texture), D3D_OK);
        return texture;
    }

    static HRESULT copy(IDirect3DSurface9* to, const RECT* toRect, IDirect3DSurface9* from,
                        DWORD filter = D3DX_FILTER_NONE, D3DCOLOR colorKey = 0) {
        return D3DXLoadSurfaceFromSurface(to, nullptr, toRect, from, nullptr, nullptr, filter, colorKey);
    }
    static HRESULT copy(const Level& to, const RECT* toRect, const Level& from, DWORD filter = D3DX_FILTER_NONE,
                        D3DCOLOR colorKey = 0) {
        return copy(to.surface, toRect, from.surface, filter, colorKey);
    }
    static HRESULT fromMemory(const Level& to, const RECT* toRect, const void* data, D3DFORMAT format, UINT pitch,
                              const RECT* rect, const PALETTEENTRY* palette = nullptr, D3DCOLOR colorKey = 0) {
        return D3DXLoadSurfaceFromMemory(to.surface, nullptr, toRect, data, format, pitch, palette, rect,
                                         D3DX_FILTER_NONE, colorKey);
    }

    // An image file into a new texture; the default size rounds up to powers of two.
    HRESULT loadImage(const std::vector<std::uint8_t>& file, IDirect3DTexture9** texture, UINT size = 0, UINT mips = 0,
                      D3DXIMAGE_INFO* info = nullptr, DWORD filter = D3DX_FILTER_NONE,
                      D3DFORMAT format = D3DFMT_UNKNOWN, DWORD mipFilter = D3DX_DEFAULT, D3DCOLOR colorKey = 0) {
        return D3DXCreateTextureFromFileInMemoryEx(device, file.data(), UINT(file.size()), size, size, mips, 0, format,
                                                   D3DPOOL_SYSTEMMEM, filter, mipFilter, colorKey, info, nullptr,
                                                   texture);
    }
    // The same, for loads that must succeed: the texture (null on failure)
    // lives until the test ends.
    IDirect3DTexture9* loaded(const std::vector<std::uint8_t>& file, UINT size = 0, UINT mips = 0,
                              D3DXIMAGE_INFO* info = nullptr, DWORD filter = D3DX_FILTER_NONE,
                              D3DFORMAT format = D3DFMT_UNKNOWN, DWORD mipFilter = D3DX_DEFAULT,
                              D3DCOLOR colorKey = 0) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(loadImage(file, &texture, size, mips, info, filter, format, mipFilter, colorKey), D3D_OK);
        if (texture) owned.push_back(texture);
        return texture;
    }

    // The whole of a surface as A8R8G8B8 texels.
    std::vector<std::uint32_t> argb(IDirect3DSurface9* from) {
        D3DSURFACE_DESC desc{};
        from->GetDesc(&desc);
        Level out(device, desc.Width, desc.Height, D3DFMT_A8R8G8B8);
        EXPECT_EQ(copy(out.surface, nullptr, from), D3D_OK);
        std::vector<std::uint32_t> texels(std::size_t(desc.Width) * desc.Height);
        std::vector<std::uint8_t> bytes = readLevel(out.texture, 0, desc.Width * 4, desc.Height);
        std::memcpy(texels.data(), bytes.data(), bytes.size());
        return texels;
    }
    std::vector<std::uint32_t> argb(const Level& from) { return argb(from.surface); }
    std::vector<std::uint32_t> argb(IDirect3DTexture9* texture, UINT level) {
        IDirect3DSurface9* surface = nullptr;
        if (FAILED(texture->GetSurfaceLevel(level, &surface))) return {};
        std::vector<std::uint32_t> texels = argb(surface);
        surface->Release();
        return texels;
    }

    // Level `level` of `texture` as tightly packed bytes.
    static std::vector<std::uint8_t> readLevel(IDirect3DTexture9* texture, UINT level, unsigned rowBytes,
                                               unsigned rows) {
        D3DLOCKED_RECT locked{};
        std::vector<std::uint8_t> bytes(std::size_t(rowBytes) * rows);
        if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY))) return {};
        for (unsigned y = 0; y < rows; ++y)
            std::memcpy(&bytes[std::size_t(y) * rowBytes], static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch,
                        rowBytes);
        texture->UnlockRect(level);
        return bytes;
    }

    static void writeLevel(IDirect3DTexture9* texture, UINT level, const void* data, unsigned rowBytes, unsigned rows) {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
        for (unsigned y = 0; y < rows; ++y)
            std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + y * locked.Pitch,
                        static_cast<const std::uint8_t*>(data) + std::size_t(y) * rowBytes, rowBytes);
        texture->UnlockRect(level);
    }

    static D3DSURFACE_DESC levelDesc(IDirect3DTexture9* texture, UINT level) {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        return desc;
    }

    std::vector<IDirect3DTexture9*> owned;  // released before the leak check
    d3d9soft::LiveObjects before{};
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
};
