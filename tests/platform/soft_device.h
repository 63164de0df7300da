// Shared fixture of the platform tests: a software device, and checks that
// every object a test made is gone when it ends.
#pragma once

#include <d3d9.h>
#include <d3d9_testing.h>
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

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

    d3d9soft::LiveObjects before{};
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
};
