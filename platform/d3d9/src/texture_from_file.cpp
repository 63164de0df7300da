// D3DXCreateTextureFromFileExA / InMemoryEx: decode the file, create the
// texture with D3DXCreateTexture, fill the levels the file holds and filter
// the rest of the chain from the last of them. Only the public texture and
// surface interfaces are used, so a host's own device works as well.
#include <d3dx9.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "decode_ahead.h"
#include "image_decode.h"
#include "injection.h"
#include "surface_copy.h"
#include "texture_load.h"

namespace d3d9soft::imagefile {

namespace {

UINT roundUpToPowerOfTwo(UINT value) {
    UINT power = 1;
    while (power < value) power <<= 1;
    return power;
}

UINT textureSide(UINT requested, UINT imageSide) {
    if (requested == 0 || requested == D3DX_DEFAULT) return roundUpToPowerOfTwo(imageSide);
    if (requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE) return imageSide;
    return requested;
}

// Same format and nothing to scale or key out: rows go in as they are, which
// keeps block-compressed levels bit for bit.
bool copyRows(IDirect3DSurface9* surface, const D3DSURFACE_DESC& desc, const DecodedLevel& level, D3DFORMAT format) {
    std::size_t sourcePitch = levelRowPitch(format, level.width);
    std::size_t copyPitch = std::min<std::size_t>(sourcePitch, levelRowPitch(format, desc.Width));
    std::size_t sourceRows = level.bytes.size() / sourcePitch;
    std::size_t destRows = isBlockFormat(format) ? (desc.Height + 3) / 4 : desc.Height;
    D3DLOCKED_RECT locked{};
    if (FAILED(surface->LockRect(&locked, nullptr, 0))) return false;
    auto* dest = static_cast<std::uint8_t*>(locked.pBits);
    for (std::size_t row = 0; row < std::min(sourceRows, destRows); ++row)
        std::memcpy(dest + row * std::size_t(locked.Pitch), level.bytes.data() + row * sourcePitch, copyPitch);
    surface->UnlockRect();
    return true;
}

HRESULT loadLevel(IDirect3DTexture9* texture, UINT index, const DecodedImage& image, DWORD filter, D3DCOLOR colorKey) {
    const DecodedLevel& level = image.levels[index];
    IDirect3DSurface9* surface = nullptr;
    HRESULT hr = texture->GetSurfaceLevel(index, &surface);
    if (FAILED(hr)) return hr;
    D3DSURFACE_DESC desc{};
    hr = surface->GetDesc(&desc);
    bool unscaled = (filter & 0xffff) == D3DX_FILTER_NONE;
    bool sameSize = desc.Width == level.width && desc.Height == level.height;
    // A partly covered 4x4 block must not bring the file's texels beyond the image along.
    bool exactBlocks = !isBlockFormat(desc.Format) || sameSize;
    if (SUCCEEDED(hr)) {
        if (desc.Format == image.pixelFormat && !colorKey && (unscaled || sameSize) && exactBlocks) {
            if (!copyRows(surface, desc, level, image.pixelFormat)) hr = D3DERR_INVALIDCALL;
        } else {
            RECT source{0, 0, LONG(level.width), LONG(level.height)};
            // Unscaled, the image goes to the top-left corner, cropped to the texture.
            RECT dest{0, 0, LONG(std::min(desc.Width, level.width)), LONG(std::min(desc.Height, level.height))};
            hr = D3DXLoadSurfaceFromMemory(surface, nullptr, unscaled ? &dest : nullptr, level.bytes.data(),
                                           image.pixelFormat, UINT(levelRowPitch(image.pixelFormat, level.width)),
                                           nullptr, &source, filter, colorKey);
        }
    }
    surface->Release();
    return hr;
}

// The PNG (of width x height) into the top level as it stands, where no
// scaling or conversion comes between: S_FALSE, with nothing written, elsewhere.
HRESULT loadPngLevel(IDirect3DTexture9* texture, ByteView file, UINT width, UINT height, DWORD filter) {
    IDirect3DSurface9* surface = nullptr;
    HRESULT hr = texture->GetSurfaceLevel(0, &surface);
    if (FAILED(hr)) return hr;
    D3DSURFACE_DESC desc{};
    D3DLOCKED_RECT locked{};
    hr = surface->GetDesc(&desc);
    // Unscaled, the image goes to the top-left corner; filtered, only an image
    // of the texture's size goes in as it is. Cropping is left to the copy.
    const bool sameSize = desc.Width == width && desc.Height == height;
    const bool fits = (filter & 0xffff) == D3DX_FILTER_NONE ? desc.Width >= width && desc.Height >= height : sameSize;
    if (SUCCEEDED(hr) && !fits) hr = S_FALSE;
    if (hr == D3D_OK && FAILED(surface->LockRect(&locked, nullptr, 0))) hr = S_FALSE;
    if (hr == D3D_OK) {
        hr = decodePngInto(file, PixelRows{static_cast<std::uint8_t*>(locked.pBits), std::size_t(locked.Pitch),
                                           desc.Width, desc.Height, desc.Format});
        surface->UnlockRect();
    }
    surface->Release();
    return hr;
}

// A colour key needs somewhere to put transparency: a format taken from the
// file is swapped for its nearest one with alpha.
D3DFORMAT withAlphaForColorKey(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
            return D3DFMT_A1R5G5B5;
        case D3DFMT_X4R4G4B4:
            return D3DFMT_A4R4G4B4;
        case D3DFMT_R8G8B8:
        case D3DFMT_X8R8G8B8:
            return D3DFMT_A8R8G8B8;
        case D3DFMT_X8B8G8R8:
            return D3DFMT_A8B8G8R8;
        case D3DFMT_L8:
            return D3DFMT_A8L8;
        default:
            return format;
    }
}

constexpr unsigned kSkipShift = 26, kSkipMask = 0x1f;

// The mip filter argument is never refused: D3DX_SKIP_DDS_MIP_LEVELS may sit
// in its top bits, and anything unusable below them means box.
DWORD chainFilterOf(DWORD mipFilter, unsigned& skipLevels) {
    skipLevels = 0;
    if (mipFilter == D3DX_DEFAULT || mipFilter == D3DX_DEFAULT_NONPOW2 || mipFilter == D3DX_FROM_FILE)
        return D3DX_FILTER_BOX;
    skipLevels = (mipFilter >> kSkipShift) & kSkipMask;
    DWORD filter = 0;
    if (!resolveFilter(mipFilter & ~(kSkipMask << kSkipShift), D3DX_FILTER_BOX, filter)) filter = D3DX_FILTER_BOX;
    return filter;
}

}  // namespace

std::size_t estimatedTextureBytes(const D3DXIMAGE_INFO& info, const TextureLoadParameters& load) {
    D3DFORMAT format = load.format;
    if (format == D3DFMT_UNKNOWN || format == D3DFMT_FROM_FILE)
        format = load.colorKey ? withAlphaForColorKey(info.Format) : info.Format;
    UINT width = textureSide(load.width, info.Width), height = textureSide(load.height, info.Height);
    UINT levels = load.mipLevels == D3DX_FROM_FILE ? info.MipLevels
                  : load.mipLevels == D3DX_DEFAULT ? 0
                                                   : load.mipLevels;
    std::size_t bytes = 0;
    for (UINT level = 0; levels == 0 || level < levels; ++level) {
        const UINT w = std::max(1u, width >> level), h = std::max(1u, height >> level);
        bytes += levelSize(formatInfo(format), w, h);
        if (w == 1 && h == 1) break;
    }
    return bytes;
}

HRESULT createTexture(IDirect3DDevice9* device, ByteView file, const TextureLoadParameters& load,
                      D3DXIMAGE_INFO* srcInfo, IDirect3DTexture9** textureOut) {
    UINT width = load.width, height = load.height, mipLevels = load.mipLevels;
    DWORD usage = load.usage, filter = load.filter, mipFilter = load.mipFilter;
    D3DFORMAT format = load.format;
    D3DPOOL pool = load.pool;
    D3DCOLOR colorKey = load.colorKey;
    DWORD loadFilter = 0;
    if (!resolveFilter(filter, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, loadFilter)) return D3DERR_INVALIDCALL;
    unsigned skipLevels = 0;
    const DWORD chainFilter = chainFilterOf(mipFilter, skipLevels);
    // A PNG without a colour key is decoded after the texture is made, straight
    // into its top level where the texels go in as they are: the image is
    // never held twice, once decoded and once in the texture.
    DecodedImage image;
    HRESULT hr = probeImage(file, image.info);
    if (FAILED(hr)) return hr;
    const bool pngFirst = colorKey == 0 && image.info.ImageFileFormat == D3DXIFF_PNG &&
                          image.info.Width <= kMaxDecodeDimension && image.info.Height <= kMaxDecodeDimension;
    auto decode = [&] {
        try {
            return decodeProbedImage(file, image);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    };
    if (!pngFirst) hr = decode();
    if (FAILED(hr)) return hr;
    if (!pngFirst && image.levels.empty()) return D3DXERR_INVALIDDATA;

    // Skipped DDS levels are gone; the first one kept sets the size.
    if (image.info.ImageFileFormat != D3DXIFF_DDS) skipLevels = 0;
    if (skipLevels) skipLevels = std::min<unsigned>(skipLevels, unsigned(image.levels.size()) - 1);
    if (skipLevels) {  // the source information describes the levels that remain
        image.levels.erase(image.levels.begin(), image.levels.begin() + skipLevels);
        image.info.Width = image.levels[0].width;
        image.info.Height = image.levels[0].height;
        image.info.Depth = std::max(1u, image.info.Depth >> skipLevels);
        image.info.MipLevels = UINT(image.levels.size());
    }
    const UINT imageWidth = image.info.Width, imageHeight = image.info.Height;
    const UINT fileLevels = pngFirst ? 1 : UINT(image.levels.size());

    UINT levels = mipLevels == D3DX_FROM_FILE ? fileLevels : mipLevels == D3DX_DEFAULT ? 0 : mipLevels;
    if (format == D3DFMT_UNKNOWN || format == D3DFMT_FROM_FILE) {
        format = image.info.Format;
        if (colorKey) format = withAlphaForColorKey(format);
    }
    IDirect3DTexture9* texture = nullptr;
    hr = D3DXCreateTexture(device, textureSide(width, imageWidth), textureSide(height, imageHeight), levels, usage,
                           format, pool, &texture);
    if (FAILED(hr)) {
        // A file that does not decode says so first, as when decoded first.
        const HRESULT decoded = pngFirst ? decode() : D3D_OK;
        return FAILED(decoded) ? decoded : hr;
    }

    hr = pngFirst ? loadPngLevel(texture, file, imageWidth, imageHeight, loadFilter) : S_FALSE;
    UINT loaded = 1;
    if (hr == S_FALSE) {
        if (pngFirst) hr = decode();
        if (SUCCEEDED(hr) && image.levels.empty()) hr = D3DXERR_INVALIDDATA;
        if (SUCCEEDED(hr)) loaded = std::min<UINT>(texture->GetLevelCount(), UINT(image.levels.size()));
        for (UINT i = 0; i < loaded && SUCCEEDED(hr); ++i) hr = loadLevel(texture, i, image, loadFilter, colorKey);
    }
    if (SUCCEEDED(hr) && loaded < texture->GetLevelCount() && (chainFilter & 0xffff) != D3DX_FILTER_NONE)
        hr = D3DXFilterTexture(texture, nullptr, loaded - 1, chainFilter);
    if (FAILED(hr)) {
        texture->Release();
        return hr;
    }
    if (srcInfo) *srcInfo = image.info;
    *textureOut = texture;
    return D3D_OK;
}

}  // namespace d3d9soft::imagefile

using namespace d3d9soft::imagefile;

extern "C" {

HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize,
                                                   UINT Width, UINT Height, UINT MipLevels, DWORD Usage,
                                                   D3DFORMAT Format, D3DPOOL Pool, DWORD Filter, DWORD MipFilter,
                                                   D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo, PALETTEENTRY* pPalette,
                                                   LPDIRECT3DTEXTURE9* ppTexture) {
    HRESULT injected;
    if (d3d9soft::injectedFailure("D3DXCreateTextureFromFileInMemoryEx", injected)) return injected;
    d3d9soft::InternalCalls internal;
    (void)pPalette;  // no paletted texture is ever made
    if (!pDevice || !pSrcData || SrcDataSize == 0 || !ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    return createTexture(
        pDevice, ByteView{static_cast<const std::uint8_t*>(pSrcData), SrcDataSize},
        TextureLoadParameters{Width, Height, MipLevels, Usage, Format, Pool, Filter, MipFilter, ColorKey}, pSrcInfo,
        ppTexture);
}

HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, UINT Width, UINT Height,
                                            UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                            DWORD MipFilter, D3DCOLOR ColorKey, D3DXIMAGE_INFO* pSrcInfo,
                                            PALETTEENTRY* pPalette, LPDIRECT3DTEXTURE9* ppTexture) {
    HRESULT injected;
    if (d3d9soft::injectedFailure("D3DXCreateTextureFromFileExA", injected)) return injected;
    d3d9soft::InternalCalls internal;
    (void)pPalette;
    if (!pDevice || !pSrcFile || !ppTexture) return D3DERR_INVALIDCALL;
    *ppTexture = nullptr;
    const TextureLoadParameters load{Width, Height, MipLevels, Usage, Format, Pool, Filter, MipFilter, ColorKey};
    if ((*ppTexture = d3d9soft::takeDecodedAhead(pDevice, pSrcFile, load, pSrcInfo))) return D3D_OK;
    FileBytes file(pSrcFile);
    if (!file.opened()) return D3DXERR_INVALIDDATA;
    return createTexture(pDevice, file.bytes(), load, pSrcInfo, ppTexture);
}

}  // extern "C"
