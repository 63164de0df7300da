// D3DXSaveTextureToFileA: DDS with every level; the other file types take
// level 0 (previews, hosts).
#include <d3dx9.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "dds_write.h"
#include "host_hooks.h"
#include "image_write.h"
#include "injection.h"
#include "surface_copy.h"

namespace d3d9soft {

namespace {

// What a save did to the file system, for the host's save hook.
struct FileOutcome {
    unsigned long long bytes = 0;
    int error = 0;  // errno of the first operation that failed
};

void noteError(FileOutcome& outcome) {
    if (!outcome.error) outcome.error = errno ? errno : EIO;
}

bool writeFile(const char* path, const std::vector<std::uint8_t>& bytes, FileOutcome& outcome) {
    errno = 0;
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        noteError(outcome);
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (!written) noteError(outcome);
    if (std::fclose(file) != 0) {
        noteError(outcome);
        written = false;
    }
    if (!written) std::remove(path);
    outcome.bytes = written ? bytes.size() : 0;
    return written;
}

// Writes level `level` to `file`, rows tightly packed.
HRESULT writeLevel(std::FILE* file, IDirect3DTexture9* texture, UINT level, FileOutcome& outcome) {
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
    if (!written) noteError(outcome);
    return written ? D3D_OK : D3DERR_INVALIDCALL;
}

// Streams the levels straight to the file: a whole page never needs a second
// copy in memory. A failed save leaves no partial file behind.
HRESULT saveDds(const char* path, IDirect3DTexture9* texture, FileOutcome& outcome) {
    DWORD levels = texture->GetLevelCount();
    D3DSURFACE_DESC top{};
    if (levels == 0 || FAILED(texture->GetLevelDesc(0, &top))) return D3DERR_INVALIDCALL;
    const FormatInfo& info = formatInfo(top.Format);
    DdsPixelFormat pixelFormat;
    if (info.kind == FormatKind::Unsupported || !ddsPixelFormat(top.Format, pixelFormat)) return E_NOTIMPL;
    const std::vector<std::uint8_t> header = ddsHeader(top.Format, top.Width, top.Height, levels);
    errno = 0;
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        noteError(outcome);
        return D3DERR_INVALIDCALL;
    }
    HRESULT hr = std::fwrite(header.data(), 1, header.size(), file) == header.size() ? D3D_OK : D3DERR_INVALIDCALL;
    if (FAILED(hr)) noteError(outcome);
    for (UINT level = 0; SUCCEEDED(hr) && level < levels; ++level) hr = writeLevel(file, texture, level, outcome);
    const long end = std::ftell(file);
    if (std::fclose(file) != 0 && SUCCEEDED(hr)) {
        noteError(outcome);
        hr = D3DERR_INVALIDCALL;
    }
    if (FAILED(hr)) std::remove(path);
    outcome.bytes = SUCCEEDED(hr) && end > 0 ? static_cast<unsigned long long>(end) : 0;
    return hr;
}

HRESULT saveImage(const char* path, D3DXIMAGE_FILEFORMAT fileFormat, IDirect3DTexture9* texture, FileOutcome& outcome) {
    std::vector<std::uint8_t> encoded;
    HRESULT hr = encodeTextureImage(texture, fileFormat, encoded);
    if (FAILED(hr)) return hr;
    return writeFile(path, encoded, outcome) ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT saveTexture(LPCSTR path, D3DXIMAGE_FILEFORMAT fileFormat, LPDIRECT3DBASETEXTURE9 source, FileOutcome& outcome) {
    if (!path || !*path || !source) return D3DERR_INVALIDCALL;
    if (source->GetType() != D3DRTYPE_TEXTURE) return E_NOTIMPL;
    IDirect3DTexture9* texture = static_cast<IDirect3DTexture9*>(source);
    try {
        if (fileFormat == D3DXIFF_DDS) return saveDds(path, texture, outcome);
        return saveImage(path, fileFormat, texture, outcome);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

}  // namespace d3d9soft

using namespace d3d9soft;

extern "C" HRESULT WINAPI D3DXSaveTextureToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                                 LPDIRECT3DBASETEXTURE9 pSrcTexture, const PALETTEENTRY*) {
    const bool fromHost = !insideLayerCall();
    HRESULT result;
    FileOutcome outcome;
    if (!injectedFailure("D3DXSaveTextureToFileA", result)) {
        InternalCalls internal;
        result = saveTexture(pDestFile, DestFormat, pSrcTexture, outcome);
    }
    if (fromHost && pDestFile && pSrcTexture)
        reportTextureSave(
            D3D9SoftTextureSave{pDestFile, DestFormat, pSrcTexture, result, outcome.bytes, outcome.error});
    return result;
}
