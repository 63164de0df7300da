// D3DXSaveTextureToFileA: DDS with every level; PNG, BMP, TGA and JPG of
// level 0 for previews.
#include <d3dx9.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "dds_write.h"
#include "injection.h"
#include "surface_copy.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

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

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

HRESULT saveImage(const char* path, D3DXIMAGE_FILEFORMAT fileFormat, IDirect3DTexture9* texture) {
    D3DSURFACE_DESC desc{};
    if (texture->GetLevelCount() == 0 || FAILED(texture->GetLevelDesc(0, &desc))) return D3DERR_INVALIDCALL;
    const FormatInfo& info = formatInfo(desc.Format);
    if (!canRead(info) || info.kind == FormatKind::Palette) return E_NOTIMPL;

    // Level 0 as RGBA bytes (A8B8G8R8 in memory order), through the copy engine.
    std::vector<std::uint8_t> rgba(std::size_t(desc.Width) * desc.Height * 4);
    D3DLOCKED_RECT locked{};
    HRESULT hr = texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr)) return hr;
    PixelView source{static_cast<std::uint8_t*>(locked.pBits), locked.Pitch, desc.Width, desc.Height, &info, nullptr};
    PixelView dest{rgba.data(), long(desc.Width) * 4, desc.Width, desc.Height, &formatInfo(D3DFMT_A8B8G8R8), nullptr};
    RECT whole{0, 0, LONG(desc.Width), LONG(desc.Height)};
    copyRect(dest, whole, source, whole, D3DX_FILTER_NONE, 0);
    texture->UnlockRect(0);

    int components = info.alpha ? 4 : 3;
    if (components == 3) {
        for (std::size_t i = 0, n = std::size_t(desc.Width) * desc.Height; i < n; ++i)
            std::memmove(&rgba[i * 3], &rgba[i * 4], 3);
    }
    int w = int(desc.Width), h = int(desc.Height);
    std::vector<std::uint8_t> encoded;
    int ok = 0;
    switch (fileFormat) {
        case D3DXIFF_PNG:
            ok = stbi_write_png_to_func(appendBytes, &encoded, w, h, components, rgba.data(), w * components);
            break;
        case D3DXIFF_BMP:
            ok = stbi_write_bmp_to_func(appendBytes, &encoded, w, h, components, rgba.data());
            break;
        case D3DXIFF_TGA:
            ok = stbi_write_tga_to_func(appendBytes, &encoded, w, h, components, rgba.data());
            break;
        case D3DXIFF_JPG:
            ok = stbi_write_jpg_to_func(appendBytes, &encoded, w, h, components, rgba.data(), 90);
            break;
        default:
            return E_NOTIMPL;
    }
    if (!ok) return E_FAIL;
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
