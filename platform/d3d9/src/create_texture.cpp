// D3DXCreateTexture and D3DXFilterTexture, through the device and texture
// interfaces only, so that a host's own device works as well as ours.
#include <d3dx9.h>

#include "injection.h"
#include "pixel_format.h"

namespace d3d9soft {

namespace {

unsigned roundUpToPowerOfTwo(unsigned value) {
    unsigned power = 1;
    while (power < value && power < 0x80000000u) power <<= 1;
    return power;
}

unsigned fullChainLength(unsigned width, unsigned height) {
    unsigned levels = 1;
    for (unsigned size = width > height ? width : height; size > 1; size >>= 1) ++levels;
    return levels;
}

// What D3DX picks when the device cannot create the requested format.
D3DFORMAT replacementFormat(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_R8G8B8:
        case D3DFMT_UYVY:
        case D3DFMT_YUY2:
        case D3DFMT_R8G8_B8G8:
        case D3DFMT_G8R8_G8B8:
            return D3DFMT_X8R8G8B8;
        case D3DFMT_P8:
        case D3DFMT_A8P8:
        case D3DFMT_MULTI2_ARGB8:
            return D3DFMT_A8R8G8B8;
        case D3DFMT_CxV8U8:
            return D3DFMT_V8U8;
        default:
            return D3DFMT_UNKNOWN;
    }
}

bool isUnavailable(HRESULT hr) { return hr == D3DERR_INVALIDCALL || hr == D3DERR_NOTAVAILABLE; }

}  // namespace

}  // namespace d3d9soft

using namespace d3d9soft;

extern "C" HRESULT WINAPI D3DXCreateTexture(LPDIRECT3DDEVICE9 pDevice, UINT Width, UINT Height, UINT MipLevels,
                                            DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                            LPDIRECT3DTEXTURE9* ppTexture) {
    HRESULT injected;
    if (injectedFailure("D3DXCreateTexture", injected)) return injected;
    InternalCalls internal;
    if (!pDevice || !ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;

    D3DCAPS9 caps{};
    if (FAILED(pDevice->GetDeviceCaps(&caps))) return D3DERR_INVALIDCALL;
    unsigned maxWidth = caps.MaxTextureWidth ? caps.MaxTextureWidth : 4096;
    unsigned maxHeight = caps.MaxTextureHeight ? caps.MaxTextureHeight : 4096;

    bool defaultWidth = Width == D3DX_DEFAULT || Width == D3DX_DEFAULT_NONPOW2;
    bool defaultHeight = Height == D3DX_DEFAULT || Height == D3DX_DEFAULT_NONPOW2;
    if (defaultWidth && defaultHeight)
        Width = Height = 256;
    else if (defaultWidth)
        Width = Height;
    else if (defaultHeight)
        Height = Width;
    if (Width == 0) Width = 1;
    if (Height == 0) Height = 1;

    if (Format == D3DFMT_UNKNOWN) Format = D3DFMT_A8R8G8B8;
    if (caps.TextureCaps & D3DPTEXTURECAPS_POW2) {
        Width = roundUpToPowerOfTwo(Width);
        Height = roundUpToPowerOfTwo(Height);
    }
    if (isBlockFormat(Format)) {  // level 0 of a block format holds whole blocks
        Width = (Width + 3) & ~3u;
        Height = (Height + 3) & ~3u;
    }
    if (Width > maxWidth) Width = maxWidth;
    if (Height > maxHeight) Height = maxHeight;

    unsigned fullChain = fullChainLength(Width, Height);
    if (MipLevels == 0 || MipLevels > fullChain) MipLevels = fullChain;

    HRESULT hr = pDevice->CreateTexture(Width, Height, MipLevels, Usage, Format, Pool, ppTexture, nullptr);
    D3DFORMAT replacement = replacementFormat(Format);
    if (FAILED(hr) && isUnavailable(hr) && replacement != D3DFMT_UNKNOWN)
        hr = pDevice->CreateTexture(Width, Height, MipLevels, Usage, replacement, Pool, ppTexture, nullptr);
    if (FAILED(hr)) *ppTexture = nullptr;
    return hr;
}

extern "C" HRESULT WINAPI D3DXFilterTexture(LPDIRECT3DBASETEXTURE9 pBaseTexture, const PALETTEENTRY* pPalette,
                                            UINT SrcLevel, DWORD Filter) {
    InternalCalls internal;
    if (!pBaseTexture) return D3DERR_INVALIDCALL;
    if (Filter == D3DX_DEFAULT) Filter = D3DX_FILTER_BOX;
    DWORD type = Filter & 0xffff;
    if (type < D3DX_FILTER_NONE || type > D3DX_FILTER_BOX) return D3DERR_INVALIDCALL;
    if (SrcLevel == D3DX_DEFAULT) SrcLevel = 0;
    if (pBaseTexture->GetType() != D3DRTYPE_TEXTURE) return E_NOTIMPL;
    IDirect3DTexture9* texture = static_cast<IDirect3DTexture9*>(pBaseTexture);
    DWORD levels = texture->GetLevelCount();
    if (SrcLevel >= levels) return D3DERR_INVALIDCALL;

    for (UINT level = SrcLevel + 1; level < levels; ++level) {
        IDirect3DSurface9* above = nullptr;
        IDirect3DSurface9* below = nullptr;
        HRESULT hr = texture->GetSurfaceLevel(level - 1, &above);
        if (SUCCEEDED(hr)) hr = texture->GetSurfaceLevel(level, &below);
        if (SUCCEEDED(hr))
            hr = D3DXLoadSurfaceFromSurface(below, pPalette, nullptr, above, pPalette, nullptr, Filter, 0);
        if (below) below->Release();
        if (above) above->Release();
        if (FAILED(hr)) return hr;
    }
    return D3D_OK;
}
