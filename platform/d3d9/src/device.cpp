#include "decode_ahead.h"
#include "injection.h"
#include "objects.h"

namespace d3d9soft {

bool deviceHoldsFormat(D3DFORMAT format) {
    const FormatInfo& info = formatInfo(format);
    // 24-bit and paletted textures are not offered, as on real hardware.
    return info.kind != FormatKind::Unsupported && info.kind != FormatKind::Palette && format != D3DFMT_R8G8B8;
}

HRESULT SoftDirect3D::QueryInterface(REFIID, void** ppvObj) {
    if (ppvObj) *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG SoftDirect3D::AddRef() { return ++references; }

ULONG SoftDirect3D::Release() {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT SoftDirect3D::CreateDevice(UINT Adapter, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS*,
                                   IDirect3DDevice9** ppReturnedDeviceInterface) {
    if (!ppReturnedDeviceInterface) return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = nullptr;
    if (Adapter != D3DADAPTER_DEFAULT) return D3DERR_INVALIDCALL;
    *ppReturnedDeviceInterface = new SoftDevice(this);
    return D3D_OK;
}

SoftDevice::SoftDevice(SoftDirect3D* direct3D) : direct3D(direct3D) {
    direct3D->AddRef();
    ++liveDevices;
}

SoftDevice::~SoftDevice() {
    direct3D->Release();
    --liveDevices;
}

HRESULT SoftDevice::QueryInterface(REFIID, void** ppvObj) {
    if (ppvObj) *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG SoftDevice::AddRef() { return ++references; }

ULONG SoftDevice::Release() {
    ULONG left = --references;
    if (left == 0) {
        // Its threads use the device: they stop before it goes.
        if (std::shared_ptr<DecodeAhead> ahead = swapDecodeAhead(nullptr)) stopDecodeAhead(*ahead);
        delete this;
    }
    return left;
}

std::shared_ptr<DecodeAhead> SoftDevice::decodeAhead() {
    std::lock_guard<std::mutex> lock(decodeAheadMutex);
    return announced;
}

std::shared_ptr<DecodeAhead> SoftDevice::swapDecodeAhead(std::shared_ptr<DecodeAhead> next) {
    std::lock_guard<std::mutex> lock(decodeAheadMutex);
    announced.swap(next);
    return next;
}

HRESULT SoftDevice::GetDeviceCaps(D3DCAPS9* pCaps) {
    if (!pCaps) return D3DERR_INVALIDCALL;
    *pCaps = D3DCAPS9{};
    pCaps->DeviceType = D3DDEVTYPE_HAL;
    pCaps->TextureCaps = D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    pCaps->MaxTextureWidth = maxTextureSize;
    pCaps->MaxTextureHeight = maxTextureSize;
    return D3D_OK;
}

HRESULT SoftDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) {
    if (!ppTexture || pSharedHandle) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    if (Width == 0 || Height == 0 || Width > maxTextureSize || Height > maxTextureSize) return D3DERR_INVALIDCALL;
    if (Pool > D3DPOOL_SCRATCH || !deviceHoldsFormat(Format)) return D3DERR_INVALIDCALL;
    unsigned fullChain = 1;
    for (unsigned size = Width > Height ? Width : Height; size > 1; size >>= 1) ++fullChain;
    if (Levels == 0) Levels = fullChain;
    if (Levels > fullChain) return D3DERR_INVALIDCALL;
    SoftTexture* texture = SoftTexture::create(this, Width, Height, Levels, Usage, formatInfo(Format), Pool);
    if (!texture) return E_OUTOFMEMORY;
    *ppTexture = texture;
    return D3D_OK;
}

}  // namespace d3d9soft

extern "C" IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion) {
    if (SDKVersion != D3D_SDK_VERSION) return nullptr;
    return new d3d9soft::SoftDirect3D();
}
