// D3DXLoadSurfaceFromSurface and D3DXLoadSurfaceFromMemory: argument checks,
// locking through the interfaces (so a host's own surfaces work too), then
// the copy engine.
#include <d3dx9.h>

#include <cstring>
#include <new>
#include <vector>

#include "decode_ahead.h"
#include "host_hooks.h"
#include "injection.h"
#include "surface_copy.h"

namespace d3d9soft {

namespace {

bool rectInside(const RECT& r, unsigned width, unsigned height) {
    return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom && unsigned(r.right) <= width &&
           unsigned(r.bottom) <= height;
}

bool rectEmpty(const RECT& r) { return r.left == r.right || r.top == r.bottom; }

RECT wholeRect(unsigned width, unsigned height) { return RECT{0, 0, LONG(width), LONG(height)}; }

// Locks the whole surface and describes it; unlocks on destruction.
class LockedSurface {
public:
    LockedSurface(IDirect3DSurface9* surface, const D3DSURFACE_DESC& desc, DWORD flags) : surface(surface) {
        D3DLOCKED_RECT locked{};
        result = surface->LockRect(&locked, nullptr, flags);
        if (FAILED(result)) return;
        view = PixelView{static_cast<std::uint8_t*>(locked.pBits),
                         locked.Pitch,
                         desc.Width,
                         desc.Height,
                         &formatInfo(desc.Format),
                         nullptr};
    }
    ~LockedSurface() {
        if (SUCCEEDED(result)) surface->UnlockRect();
    }
    LockedSurface(const LockedSurface&) = delete;
    LockedSurface& operator=(const LockedSurface&) = delete;

    IDirect3DSurface9* surface;
    HRESULT result;
    PixelView view{};
};

HRESULT loadSurfaceFromSurface(LPDIRECT3DSURFACE9 pDestSurface, const RECT* pDestRect, LPDIRECT3DSURFACE9 pSrcSurface,
                               const PALETTEENTRY* pSrcPalette, const RECT* pSrcRect, DWORD Filter, D3DCOLOR ColorKey) {
    if (!pDestSurface || !pSrcSurface) return D3DERR_INVALIDCALL;
    DWORD filter;
    if (!resolveFilter(Filter, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, filter)) return D3DERR_INVALIDCALL;

    D3DSURFACE_DESC srcDesc, dstDesc;
    if (FAILED(pSrcSurface->GetDesc(&srcDesc)) || FAILED(pDestSurface->GetDesc(&dstDesc))) return D3DERR_INVALIDCALL;
    RECT srcRect = pSrcRect ? *pSrcRect : wholeRect(srcDesc.Width, srcDesc.Height);
    RECT dstRect = pDestRect ? *pDestRect : wholeRect(dstDesc.Width, dstDesc.Height);
    if (!rectInside(srcRect, srcDesc.Width, srcDesc.Height) || !rectInside(dstRect, dstDesc.Width, dstDesc.Height))
        return D3DERR_INVALIDCALL;
    // Nothing to copy is fine unscaled; the default filter has nothing to scale from.
    if (rectEmpty(srcRect) || rectEmpty(dstRect)) return Filter == D3DX_DEFAULT ? E_FAIL : D3D_OK;
    const FormatInfo& srcFormat = formatInfo(srcDesc.Format);
    const FormatInfo& dstFormat = formatInfo(dstDesc.Format);
    if (!canRead(srcFormat) || !canWrite(dstFormat)) return E_NOTIMPL;
    if (srcFormat.kind == FormatKind::Palette && !pSrcPalette) return D3DERR_INVALIDCALL;

    try {
        if (pSrcSurface == pDestSurface) {
            // One lock; the source is read from a copy so the rectangles may overlap.
            LockedSurface both(pDestSurface, dstDesc, 0);
            if (FAILED(both.result)) return both.result;
            std::size_t size = std::size_t(both.view.pitch) * rowCount(dstFormat, dstDesc.Height);
            std::vector<std::uint8_t> copy(both.view.bits, both.view.bits + size);
            PixelView source = both.view;
            source.bits = copy.data();
            source.palette = pSrcPalette;
            copyRect(both.view, dstRect, source, srcRect, filter, ColorKey);
            return D3D_OK;
        }
        LockedSurface source(pSrcSurface, srcDesc, D3DLOCK_READONLY);
        if (FAILED(source.result)) return source.result;
        LockedSurface dest(pDestSurface, dstDesc, 0);
        if (FAILED(dest.result)) return dest.result;
        source.view.palette = pSrcPalette;
        copyRect(dest.view, dstRect, source.view, srcRect, filter, ColorKey);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

}  // namespace

}  // namespace d3d9soft

using namespace d3d9soft;

extern "C" HRESULT WINAPI D3DXLoadSurfaceFromSurface(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY* pDestPalette,
                                                     const RECT* pDestRect, LPDIRECT3DSURFACE9 pSrcSurface,
                                                     const PALETTEENTRY* pSrcPalette, const RECT* pSrcRect,
                                                     DWORD Filter, D3DCOLOR ColorKey) {
    (void)pDestPalette;
    const bool fromHost = !insideLayerCall();
    HRESULT result;
    if (!injectedFailure("D3DXLoadSurfaceFromSurface", result)) {
        InternalCalls internal;
        CompressionTarget target(pDestSurface);
        result = loadSurfaceFromSurface(pDestSurface, pDestRect, pSrcSurface, pSrcPalette, pSrcRect, Filter, ColorKey);
    }
    if (fromHost)
        reportSurfaceCopy(D3D9SoftSurfaceCopy{pDestSurface, pDestRect, pSrcSurface, pSrcRect, Filter, result});
    return result;
}

extern "C" HRESULT WINAPI D3DXLoadSurfaceFromMemory(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY* pDestPalette,
                                                    const RECT* pDestRect, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                                    UINT SrcPitch, const PALETTEENTRY* pSrcPalette,
                                                    const RECT* pSrcRect, DWORD Filter, D3DCOLOR ColorKey) {
    InternalCalls internal;
    (void)pDestPalette;
    if (!pDestSurface || !pSrcMemory || !pSrcRect) return D3DERR_INVALIDCALL;
    const RECT& srcRect = *pSrcRect;
    if (SrcFormat == D3DFMT_UNKNOWN) return E_FAIL;
    if (srcRect.left < 0 || srcRect.top < 0 || srcRect.left >= srcRect.right || srcRect.top >= srcRect.bottom)
        return E_INVALIDARG;
    DWORD filter;
    if (!resolveFilter(Filter, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, filter)) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC dstDesc;
    if (FAILED(pDestSurface->GetDesc(&dstDesc))) return D3DERR_INVALIDCALL;
    RECT dstRect = pDestRect ? *pDestRect : wholeRect(dstDesc.Width, dstDesc.Height);
    if (!rectInside(dstRect, dstDesc.Width, dstDesc.Height)) return D3DERR_INVALIDCALL;
    if (rectEmpty(dstRect)) return D3D_OK;
    const FormatInfo& srcFormat = formatInfo(SrcFormat);
    const FormatInfo& dstFormat = formatInfo(dstDesc.Format);
    if (!canRead(srcFormat) || !canWrite(dstFormat)) return E_NOTIMPL;
    if (srcFormat.kind == FormatKind::Palette && !pSrcPalette) return D3DERR_INVALIDCALL;
    // The caller's pitch must at least hold the rectangle's rows; scaled copies
    // buffer whole source rows, so their width is bounded too.
    const LONG maxSourceSize = 1 << 16;
    if (srcRect.right > maxSourceSize || srcRect.bottom > maxSourceSize) return D3DERR_INVALIDCALL;
    // Pitch 0 is accepted: every row then reads the first one.
    if (SrcPitch != 0 && SrcPitch < rowPitch(srcFormat, unsigned(srcRect.right))) return D3DERR_INVALIDCALL;

    PixelView source{static_cast<std::uint8_t*>(const_cast<void*>(pSrcMemory)),
                     long(SrcPitch),
                     unsigned(srcRect.right),
                     unsigned(srcRect.bottom),
                     &srcFormat,
                     pSrcPalette};
    try {
        LockedSurface dest(pDestSurface, dstDesc, 0);
        if (FAILED(dest.result)) return dest.result;
        copyRect(dest.view, dstRect, source, srcRect, filter, ColorKey);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
