#pragma once

#include "interface/TextureAtlasConfiguration.h"

namespace textureatlas {

// Probes image headers with the D3DX image information functions.
class D3DTextureAtlasConfiguration : public TextureAtlasConfiguration {
public:
    bool readImageInfo(const std::string& directory, const std::string& name, TextureEntry& entry) override;
    bool readImageInfoFromMemory(const std::string& directory, const std::string& name, const void* data,
                                 unsigned int size, TextureEntry& entry) override;
};

}  // namespace textureatlas
