#include "interface/D3DTextureAtlasConfiguration.h"

namespace textureatlas {

bool D3DTextureAtlasConfiguration::readImageInfo(const std::string& directory, const std::string& name,
                                                 TextureEntry& entry) {
    (void)directory;
    (void)name;
    (void)entry;
    return false;
}

bool D3DTextureAtlasConfiguration::readImageInfoFromMemory(const std::string& directory, const std::string& name,
                                                           const void* data, unsigned int size,
                                                           TextureEntry& entry) {
    (void)directory;
    (void)name;
    (void)data;
    (void)size;
    (void)entry;
    return false;
}

}  // namespace textureatlas
