// Image probes: only the header of an image is read, never its pixels.
#include "formats/formats.h"
#include "interface/D3DTextureAtlasConfiguration.h"

#include <d3dx9.h>

#include <climits>

namespace textureatlas {

namespace {

// A header may claim sizes beyond int; keep them huge rather than negative.
int clampToInt(UINT value) { return value > UINT(INT_MAX) ? INT_MAX : int(value); }

void takeImageInfo(const D3DXIMAGE_INFO& info, TextureEntry& entry) {
    entry.rect.width = clampToInt(info.Width);
    entry.rect.height = clampToInt(info.Height);
    entry.format = formatName(info.Format);
    entry.mipLevels = clampToInt(info.MipLevels);
}

}  // namespace

bool D3DTextureAtlasConfiguration::readImageInfo(const std::string& directory, const std::string& name,
                                                 TextureEntry& entry) {
    entry.path = directory + name;
    entry.name = name;
    D3DXIMAGE_INFO info = {};
    if (FAILED(D3DXGetImageInfoFromFileA(entry.path.c_str(), &info))) return false;
    takeImageInfo(info, entry);
    return true;
}

bool D3DTextureAtlasConfiguration::readImageInfoFromMemory(const std::string& directory, const std::string& name,
                                                           const void* data, unsigned int size, TextureEntry& entry) {
    entry.path = directory + name;
    entry.name = name;
    D3DXIMAGE_INFO info = {};
    if (FAILED(D3DXGetImageInfoFromFileInMemory(data, size, &info))) return false;
    takeImageInfo(info, entry);
    return true;
}

}  // namespace textureatlas
