// The D3DX functions reach devices and surfaces only through their
// interfaces, so a host's own implementations work with them.
#include <tuple>

#include "soft_device.h"

namespace {

// A host device: reports its own limits, refuses 24-bit, 8-bit RGB,
// X4R4G4B4 and X8L8V8U8 textures, and delegates the rest to the software device.
class HostDevice final : public IDirect3DDevice9 {
public:
    explicit HostDevice(IDirect3DDevice9* inner) : inner(inner) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* caps) override {
        *caps = D3DCAPS9{};
        caps->TextureCaps = D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_MIPMAP;
        caps->MaxTextureWidth = caps->MaxTextureHeight = 256;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) override {
        requests.push_back(format);
        for (D3DFORMAT refused : {D3DFMT_R8G8B8, D3DFMT_R3G3B2, D3DFMT_X4R4G4B4, D3DFMT_X8L8V8U8})
            if (format == refused) return D3DERR_NOTAVAILABLE;
        return inner->CreateTexture(width, height, levels, usage, format, pool, texture, shared);
    }
    std::vector<D3DFORMAT> requests;

private:
    IDirect3DDevice9* inner;
};

// A host surface over memory of its own, with a pitch wider than its rows.
struct HostSurface final : public IDirect3DSurface9 {
    HostSurface(UINT width, UINT height) : width(width), height(height), texels((width + 3) * height) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override {
        *desc = D3DSURFACE_DESC{D3DFMT_A8R8G8B8, D3DRTYPE_SURFACE, 0, D3DPOOL_SYSTEMMEM, D3DMULTISAMPLE_NONE, 0, width,
                                height};
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD) override {
        if (rect || isLocked) return D3DERR_INVALIDCALL;
        isLocked = true;
        *locked = D3DLOCKED_RECT{INT(width + 3) * 4, texels.data()};
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockRect() override { return isLocked = false, D3D_OK; }
    std::uint32_t& texel(UINT x, UINT y) { return texels[y * (width + 3) + x]; }

    UINT width, height;
    std::vector<std::uint32_t> texels;
    bool isLocked = false;
};

using HostObjects = SoftDeviceTest;

TEST_F(HostObjects, CreateTextureFollowsTheHostsCapsAndFallsBackOnRefusal) {
    HostDevice host(device);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTexture(&host, 300, 100, 0, 0, D3DFMT_R8G8B8, D3DPOOL_SYSTEMMEM, &texture), D3D_OK);
    EXPECT_EQ(host.requests, (std::vector<D3DFORMAT>{D3DFMT_R8G8B8, D3DFMT_X8R8G8B8}));
    // 300 rounds up to 512, then the host's limit; 100 rounds up to 128.
    EXPECT_EQ(std::make_tuple(levelDesc(texture, 0).Width, levelDesc(texture, 0).Height, texture->GetLevelCount()),
              std::make_tuple(256u, 128u, DWORD(9)));
    texture->Release();
}

// Without X8L8V8U8, CxV8U8 falls back to V8U8; R3G3B2 to X4R4G4B4, else
// X1R5G5B5, else R5G6B5.
TEST_F(HostObjects, FormatsFallBackInTheOrderTheHostAllows) {
    HostDevice host(device);
    for (auto [asked, made] : {std::pair{D3DFMT_CxV8U8, D3DFMT_V8U8}, std::pair{D3DFMT_R3G3B2, D3DFMT_X1R5G5B5}}) {
        D3DFORMAT format = asked;
        ASSERT_EQ(D3DXCheckTextureRequirements(&host, nullptr, nullptr, nullptr, 0, &format, D3DPOOL_SYSTEMMEM),
                  D3D_OK);
        EXPECT_EQ(format, made);
    }
    host.requests.clear();
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTexture(&host, 4, 4, 1, 0, D3DFMT_CxV8U8, D3DPOOL_SYSTEMMEM, &texture), D3D_OK);
    EXPECT_EQ(host.requests, (std::vector<D3DFORMAT>{D3DFMT_CxV8U8, D3DFMT_X8L8V8U8, D3DFMT_V8U8}));
    EXPECT_EQ(levelDesc(texture, 0).Format, D3DFMT_V8U8);
    texture->Release();
}

TEST_F(HostObjects, SurfaceCopiesWorkBothWaysWithHostSurfaces) {
    HostSurface hostSource(3, 2), hostDest(4, 4);
    for (UINT y = 0; y < 2; ++y)
        for (UINT x = 0; x < 3; ++x) hostSource.texel(x, y) = 0x80000000u | (y << 8) | x;
    Level level(device, 4, 4, D3DFMT_A8R8G8B8);
    RECT rect{1, 1, 4, 3};
    ASSERT_EQ(copy(level.surface, &rect, &hostSource), D3D_OK);
    ASSERT_EQ(copy(&hostDest, nullptr, level.surface), D3D_OK);
    EXPECT_FALSE(hostSource.isLocked || hostDest.isLocked);
    EXPECT_EQ(std::vector<std::uint32_t>({hostDest.texel(1, 1), hostDest.texel(3, 2), hostDest.texel(0, 0)}),
              std::vector<std::uint32_t>({0x80000000u, 0x80000102u, 0u}));
}

}  // namespace
