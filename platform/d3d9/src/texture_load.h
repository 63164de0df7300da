// A texture made from an image file's bytes, as D3DXCreateTextureFromFileExA
// makes it; shared with the threads that decode announced files ahead.
#pragma once

#include <d3dx9.h>

#include <cstddef>

#include "image_decode.h"

namespace d3d9soft::imagefile {

// The arguments of D3DXCreateTextureFromFileExA that shape the texture.
struct TextureLoadParameters {
    UINT width, height, mipLevels;
    DWORD usage;
    D3DFORMAT format;
    D3DPOOL pool;
    DWORD filter, mipFilter;
    D3DCOLOR colorKey;
};

inline bool operator==(const TextureLoadParameters& a, const TextureLoadParameters& b) {
    return a.width == b.width && a.height == b.height && a.mipLevels == b.mipLevels && a.usage == b.usage &&
           a.format == b.format && a.pool == b.pool && a.filter == b.filter && a.mipFilter == b.mipFilter &&
           a.colorKey == b.colorKey;
}

HRESULT createTexture(IDirect3DDevice9* device, ByteView file, const TextureLoadParameters& load,
                      D3DXIMAGE_INFO* srcInfo, IDirect3DTexture9** textureOut);

// Bytes of the texture that `load` makes of an image described by `info`.
std::size_t estimatedTextureBytes(const D3DXIMAGE_INFO& info, const TextureLoadParameters& load);

}  // namespace d3d9soft::imagefile
