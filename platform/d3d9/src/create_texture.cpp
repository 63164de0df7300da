// D3DXCheckTextureRequirements, D3DXCreateTexture and D3DXFilterTexture,
// through the device and texture interfaces only, so that a host's own device
// works as well as ours.
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

// What D3DX tries, in order, when the device cannot create the requested
// format; D3DFMT_UNKNOWN ends the list.
const D3DFORMAT* replacementFormats(D3DFORMAT format) {
    static const D3DFORMAT none[] = {D3DFMT_UNKNOWN}, x8r8g8b8[] = {D3DFMT_X8R8G8B8, D3DFMT_UNKNOWN},
                           a8r8g8b8[] = {D3DFMT_A8R8G8B8, D3DFMT_UNKNOWN},
                           bump[] = {D3DFMT_X8L8V8U8, D3DFMT_V8U8, D3DFMT_UNKNOWN},
                           rgb8[] = {D3DFMT_X4R4G4B4, D3DFMT_X1R5G5B5, D3DFMT_R5G6B5, D3DFMT_UNKNOWN};
    switch (format) {
        case D3DFMT_R8G8B8:
        case D3DFMT_UYVY:
        case D3DFMT_YUY2:
        case D3DFMT_R8G8_B8G8:
        case D3DFMT_G8R8_G8B8:
            return x8r8g8b8;
        case D3DFMT_R3G3B2:
            return rgb8;
        case D3DFMT_A8R3G3B2:
        case D3DFMT_P8:
        case D3DFMT_A8P8:
        case D3DFMT_MULTI2_ARGB8:
            return a8r8g8b8;
        case D3DFMT_CxV8U8:
            return bump;
        default:
            return none;
    }
}

bool isUnavailable(HRESULT hr) { return hr == D3DERR_INVALIDCALL || hr == D3DERR_NOTAVAILABLE; }

// Usages that mean nothing for a texture; D3DX refuses them.
constexpr DWORD kBufferOnlyUsage =
    D3DUSAGE_WRITEONLY | D3DUSAGE_DONOTCLIP | D3DUSAGE_POINTS | D3DUSAGE_RTPATCHES | D3DUSAGE_NPATCHES;

// Whether `device` makes textures of `format`: asked by making a small one,
// which works for a host's device as well as ours.
bool deviceMakes(IDirect3DDevice9* device, D3DFORMAT format, DWORD usage, D3DPOOL pool) {
    IDirect3DTexture9* probe = nullptr;
    if (FAILED(device->CreateTexture(4, 4, 1, usage, format, pool, &probe, nullptr)) || !probe) return false;
    probe->Release();
    return true;
}

// What D3DXCheckTextureRequirements reports; every out value is optional.
HRESULT checkRequirements(IDirect3DDevice9* device, UINT* width, UINT* height, UINT* mipLevels, DWORD usage,
                          D3DFORMAT* format, D3DPOOL pool, bool probeFormat) {
    if (!device || (usage & kBufferOnlyUsage)) return D3DERR_INVALIDCALL;
    D3DCAPS9 caps{};
    if (FAILED(device->GetDeviceCaps(&caps))) return D3DERR_INVALIDCALL;
    const unsigned maxWidth = caps.MaxTextureWidth ? caps.MaxTextureWidth : 4096;
    const unsigned maxHeight = caps.MaxTextureHeight ? caps.MaxTextureHeight : 4096;

    unsigned w = width ? *width : D3DX_DEFAULT, h = height ? *height : D3DX_DEFAULT;
    if (w == D3DX_DEFAULT && h == D3DX_DEFAULT)
        w = h = 256;
    else if (w == D3DX_DEFAULT)
        w = h;
    else if (h == D3DX_DEFAULT)
        h = w;
    if (w == 0) w = 1;
    if (h == 0) h = 1;

    D3DFORMAT f = format ? *format : D3DFMT_UNKNOWN;
    if (f == D3DFMT_UNKNOWN || f == D3DFORMAT(D3DX_DEFAULT)) f = D3DFMT_A8R8G8B8;
    if (probeFormat && !deviceMakes(device, f, usage, pool)) {
        // The first the device makes, else the last one (it is tried on creation anyway).
        for (const D3DFORMAT* r = replacementFormats(f); *r != D3DFMT_UNKNOWN; ++r) {
            f = *r;
            if (deviceMakes(device, f, usage, pool)) break;
        }
    }
    if (caps.TextureCaps & D3DPTEXTURECAPS_POW2) {
        w = roundUpToPowerOfTwo(w);
        h = roundUpToPowerOfTwo(h);
    }
    if (isBlockFormat(f)) {  // level 0 of a block format holds whole blocks
        w = (w + 3) & ~3u;
        h = (h + 3) & ~3u;
    }
    if (w > maxWidth) w = maxWidth;
    if (h > maxHeight) h = maxHeight;

    const unsigned fullChain = fullChainLength(w, h);
    if (mipLevels && (*mipLevels == 0 || *mipLevels > fullChain)) *mipLevels = fullChain;
    if (width) *width = w;
    if (height) *height = h;
    if (format) *format = f;
    return D3D_OK;
}

}  // namespace

}  // namespace d3d9soft

using namespace d3d9soft;

extern "C" HRESULT WINAPI D3DXCheckTextureRequirements(LPDIRECT3DDEVICE9 pDevice, UINT* pWidth, UINT* pHeight,
                                                       UINT* pNumMipLevels, DWORD Usage, D3DFORMAT* pFormat,
                                                       D3DPOOL Pool) {
    InternalCalls internal;
    if (Usage == D3DX_DEFAULT) Usage = 0;  // D3DX takes it as no usage at all
    return checkRequirements(pDevice, pWidth, pHeight, pNumMipLevels, Usage, pFormat, Pool, true);
}

extern "C" HRESULT WINAPI D3DXCreateTexture(LPDIRECT3DDEVICE9 pDevice, UINT Width, UINT Height, UINT MipLevels,
                                            DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                            LPDIRECT3DTEXTURE9* ppTexture) {
    HRESULT injected;
    if (injectedFailure("D3DXCreateTexture", injected)) return injected;
    InternalCalls internal;
    if (!pDevice || !ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    // The format is settled by trying it below, not by a probe texture.
    HRESULT hr = checkRequirements(pDevice, &Width, &Height, &MipLevels, Usage, &Format, Pool, false);
    if (FAILED(hr)) return hr;

    hr = pDevice->CreateTexture(Width, Height, MipLevels, Usage, Format, Pool, ppTexture, nullptr);
    for (const D3DFORMAT* r = replacementFormats(Format); FAILED(hr) && isUnavailable(hr) && *r != D3DFMT_UNKNOWN; ++r)
        hr = pDevice->CreateTexture(Width, Height, MipLevels, Usage, *r, Pool, ppTexture, nullptr);
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
