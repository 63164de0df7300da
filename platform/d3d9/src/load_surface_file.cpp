// D3DXLoadSurfaceFromFileInMemory: decode the file's first level, then copy
// it like any other memory source.
#include <d3dx9.h>

#include <new>

#include "image_decode.h"
#include "injection.h"
#include "surface_copy.h"

using namespace d3d9soft;
using namespace d3d9soft::imagefile;

extern "C" HRESULT WINAPI D3DXLoadSurfaceFromFileInMemory(LPDIRECT3DSURFACE9 pDestSurface,
                                                          const PALETTEENTRY* pDestPalette, const RECT* pDestRect,
                                                          LPCVOID pSrcData, UINT SrcDataSize, const RECT* pSrcRect,
                                                          DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo) {
    InternalCalls internal;
    if (!pDestSurface || !pSrcData || SrcDataSize == 0) return D3DERR_INVALIDCALL;
    DecodedImage image;
    try {
        HRESULT hr = decodeImage(ByteView{static_cast<const std::uint8_t*>(pSrcData), SrcDataSize}, image);
        if (FAILED(hr)) return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (image.levels.empty()) return D3DXERR_INVALIDDATA;
    const DecodedLevel& level = image.levels[0];
    const RECT whole{0, 0, LONG(level.width), LONG(level.height)};
    const RECT& source = pSrcRect ? *pSrcRect : whole;
    if (source.right > whole.right || source.bottom > whole.bottom) return D3DERR_INVALIDCALL;
    HRESULT hr = D3DXLoadSurfaceFromMemory(pDestSurface, pDestPalette, pDestRect, level.bytes.data(), image.pixelFormat,
                                           UINT(levelRowPitch(image.pixelFormat, level.width)), nullptr, &source,
                                           Filter, ColorKey);
    if (SUCCEEDED(hr) && pSrcInfo) *pSrcInfo = image.info;
    return hr;
}
