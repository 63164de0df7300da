// D3DXSaveTextureToFileA: DDS with every level; the other file types take
// level 0 (previews, hosts).
#include <d3dx9.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "dds_write.h"
#include "image_write.h"
#include "injection.h"
#include "surface_copy.h"

namespace d3d9soft {

namespace {

bool writeFile(const char* path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// Writes level `level` to `file`, rows tightly packed.
HRESULT writeLevel(std::FILE* file, IDirect3DTexture9* texture, UINT level) {
    D3DSURFACE_DESC desc{};
    HRESULT hr = texture->GetLevelDesc(level, &desc);
    if (FAILED(hr)) return hr;
    const FormatInfo& info = formatInfo(desc.Format);
    const std::size_t rowBytes = rowPitch(info, desc.Width), rows = rowCount(info, desc.Height);
    D3DLOCKED_RECT locked{};
    hr = texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr)) return hr;
    const std::uint8_t* bits = static_cast<const std::uint8_t*>(locked.pBits);
    bool written = true;
    if (std::size_t(locked.Pitch) == rowBytes) {
        written = std::fwrite(bits, 1, rowBytes * rows, file) == rowBytes * rows;
    } else {
        for (std::size_t y = 0; written && y < rows; ++y, bits += locked.Pitch)
            written = std::fwrite(bits, 1, rowBytes, file) == rowBytes;
    }
    texture->UnlockRect(level);
    return written ? D3D_OK : D3DERR_INVALIDCALL;
}

// Streams the levels straight to the file: a whole page never needs a second
// copy in memory. A failed save leaves no partial file behind.
HRESULT saveDds(const char* path, IDirect3DTexture9* texture) {
    DWORD levels = texture->GetLevelCount();
    D3DSURFACE_DESC top{};
    if (levels == 0 || FAILED(texture->GetLevelDesc(0, &top))) return D3DERR_INVALIDCALL;
    const FormatInfo& info = formatInfo(top.Format);
    DdsPixelFormat pixelFormat;
    if (info.kind == FormatKind::Unsupported || !ddsPixelFormat(top.Format, pixelFormat)) return E_NOTIMPL;
    const std::vector<std::uint8_t> header = ddsHeader(top.Format, top.Width, top.Height, levels);
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return D3DERR_INVALIDCALL;
    HRESULT hr = std::fwrite(header.data(), 1, header.size(), file) == header.size() ? D3D_OK : D3DERR_INVALIDCALL;
    for (UINT level = 0; SUCCEEDED(hr) && level < levels; ++level) hr = writeLevel(file, texture, level);
    if (std::fclose(file) != 0 && SUCCEEDED(hr)) hr = D3DERR_INVALIDCALL;
    if (FAILED(hr)) std::remove(path);
    return hr;
}

HRESULT saveImage(const char* path, D3DXIMAGE_FILEFORMAT fileFormat, IDirect3DTexture9* texture) {
    std::vector<std::uint8_t> encoded;
    HRESULT hr = encodeTextureImage(texture, fileFormat, encoded);
    if (FAILED(hr)) return hr;
    return writeFile(path, encoded) ? D3D_OK : D3DERR_INVALIDCALL;
}

}  // namespace

}  // namespace d3d9soft

using namespace d3d9soft;

extern "C" HRESULT WINAPI D3DXSaveTextureToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                                 LPDIRECT3DBASETEXTURE9 pSrcTexture, const PALETTEENTRY*) {
    HRESULT injected;
    if (injectedFailure("D3DXSaveTextureToFileA", injected)) return injected;
    InternalCalls internal;
    if (!pDestFile || !*pDestFile || !pSrcTexture) return D3DERR_INVALIDCALL;
    if (pSrcTexture->GetType() != D3DRTYPE_TEXTURE) return E_NOTIMPL;
    IDirect3DTexture9* texture = static_cast<IDirect3DTexture9*>(pSrcTexture);
    try {
        if (DestFormat == D3DXIFF_DDS) return saveDds(pDestFile, texture);
        return saveImage(pDestFile, DestFormat, texture);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
