#include "interface/TextureAtlasConfiguration.h"

namespace textureatlas {

bool TextureAtlasConfiguration::load(const char* fileName) {
    (void)fileName;
    return true;
}

}  // namespace textureatlas
