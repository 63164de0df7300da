#include "interface/TextureAtlasConfiguration.h"

namespace textureatlas {

void TextureAtlasConfiguration::save(const char* fileName) { (void)fileName; }

}  // namespace textureatlas
