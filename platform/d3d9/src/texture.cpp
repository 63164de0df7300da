#include <new>

#include "injection.h"
#include "objects.h"
#include "texture_memory.h"

namespace d3d9soft {

namespace {
thread_local int detachedDepth = 0;
}

DetachedTextures::DetachedTextures() { ++detachedDepth; }
DetachedTextures::~DetachedTextures() { --detachedDepth; }

SoftSurface::SoftSurface(SoftTexture* texture, unsigned level) : texture(texture), level(level) {}

HRESULT SoftSurface::QueryInterface(REFIID, void** ppvObj) {
    if (ppvObj) *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG SoftSurface::AddRef() {
    if (handedOut++ == 0) ++liveSurfaces;
    return texture->AddRef();
}

ULONG SoftSurface::Release() {
    if (handedOut == 0) return 0;  // more releases than references: ignore rather than free the texture
    if (--handedOut == 0) --liveSurfaces;
    return texture->Release();  // may delete this surface with its texture
}

HRESULT SoftSurface::GetDevice(IDirect3DDevice9** ppDevice) { return texture->GetDevice(ppDevice); }

D3DRESOURCETYPE SoftSurface::GetType() { return D3DRTYPE_SURFACE; }

HRESULT SoftSurface::GetDesc(D3DSURFACE_DESC* pDesc) {
    HRESULT hr = texture->GetLevelDesc(level, pDesc);
    if (SUCCEEDED(hr)) pDesc->Type = D3DRTYPE_SURFACE;
    return hr;
}

HRESULT SoftSurface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
    return texture->LockRect(level, pLockedRect, pRect, Flags);
}

HRESULT SoftSurface::UnlockRect() { return texture->UnlockRect(level); }

SoftTexture::SoftTexture(SoftDevice* device, const FormatInfo& format, DWORD usage, D3DPOOL pool)
    : device(device), format(format), usage(usage), pool(pool) {}

SoftTexture* SoftTexture::create(SoftDevice* device, unsigned width, unsigned height, unsigned levelCount, DWORD usage,
                                 const FormatInfo& format, D3DPOOL pool) {
    try {
        std::unique_ptr<SoftTexture> texture(new SoftTexture(device, format, usage, pool));
        std::size_t total = 0;
        for (unsigned level = 0; level < levelCount; ++level) {
            unsigned w = width >> level ? width >> level : 1, h = height >> level ? height >> level : 1;
            texture->levels.push_back(TextureLevel{w, h, rowPitch(format, w), total, false});
            total += levelSize(format, w, h);
        }
        texture->memory = allocateTextureMemory(total);
        if (!texture->memory) return nullptr;
        texture->bytes = total;
        for (unsigned level = 0; level < levelCount; ++level)
            texture->surfaces.emplace_back(new SoftSurface(texture.get(), level));
        if (detachedDepth == 0) {
            device->AddRef();
            texture->holdsDevice = true;
        }
        ++liveTextures;
        texture->counted = true;
        return texture.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

SoftTexture::~SoftTexture() {
    freeTextureMemory(memory, bytes);
    if (holdsDevice) device->Release();
    if (counted) --liveTextures;
}

void SoftTexture::attachDevice() {
    if (holdsDevice) return;
    device->AddRef();
    holdsDevice = true;
}

HRESULT SoftTexture::QueryInterface(REFIID, void** ppvObj) {
    if (ppvObj) *ppvObj = nullptr;
    return E_NOINTERFACE;
}

ULONG SoftTexture::AddRef() { return ++references; }

ULONG SoftTexture::Release() {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT SoftTexture::GetDevice(IDirect3DDevice9** ppDevice) {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    device->AddRef();
    *ppDevice = device;
    return D3D_OK;
}

D3DRESOURCETYPE SoftTexture::GetType() { return D3DRTYPE_TEXTURE; }

DWORD SoftTexture::GetLevelCount() { return DWORD(levels.size()); }

HRESULT SoftTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
    if (!pDesc || Level >= levels.size()) return D3DERR_INVALIDCALL;
    *pDesc = D3DSURFACE_DESC{};
    pDesc->Format = format.format;
    pDesc->Type = D3DRTYPE_SURFACE;
    pDesc->Usage = usage;
    pDesc->Pool = pool;
    pDesc->MultiSampleType = D3DMULTISAMPLE_NONE;
    pDesc->Width = levels[Level].width;
    pDesc->Height = levels[Level].height;
    return D3D_OK;
}

HRESULT SoftTexture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) {
    HRESULT injected;
    if (injectedFailure("GetSurfaceLevel", injected)) {
        if (ppSurfaceLevel) *ppSurfaceLevel = nullptr;
        return injected;
    }
    if (!ppSurfaceLevel) return D3DERR_INVALIDCALL;
    *ppSurfaceLevel = nullptr;
    if (Level >= levels.size()) return D3DERR_INVALIDCALL;
    surfaces[Level]->AddRef();
    *ppSurfaceLevel = surfaces[Level].get();
    return D3D_OK;
}

HRESULT SoftTexture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD) {
    if (!pLockedRect || Level >= levels.size()) return D3DERR_INVALIDCALL;
    TextureLevel& level = levels[Level];
    if (level.locked) return D3DERR_INVALIDCALL;
    std::size_t offset = level.offset;
    if (pRect) {
        const RECT& r = *pRect;
        if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || unsigned(r.right) > level.width ||
            unsigned(r.bottom) > level.height)
            return D3DERR_INVALIDCALL;
        if (format.kind == FormatKind::Block) {
            if ((r.left | r.top) & 3) return D3DERR_INVALIDCALL;
            offset += std::size_t(r.top / 4) * level.pitch + std::size_t(r.left / 4) * format.bytes;
        } else {
            offset += std::size_t(r.top) * level.pitch + std::size_t(r.left) * format.bytes;
        }
    }
    level.locked = true;
    pLockedRect->Pitch = INT(level.pitch);
    pLockedRect->pBits = memory + offset;
    return D3D_OK;
}

HRESULT SoftTexture::UnlockRect(UINT Level) {
    if (Level >= levels.size() || !levels[Level].locked) return D3DERR_INVALIDCALL;
    levels[Level].locked = false;
    return D3D_OK;
}

}  // namespace d3d9soft
