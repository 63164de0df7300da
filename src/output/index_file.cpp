#include "interface/TextureAtlas.h"

namespace textureatlas {

bool TextureAtlas::generateFromMemory(const std::vector<MemoryImage>&) { return true; }
bool TextureAtlas::generate() { return true; }

bool TextureAtlas::writeFromMemory(const std::vector<MemoryImage>& images, const char* indexFileName) {
    (void)indexFileName;
    return generateFromMemory(images);
}

bool TextureAtlas::write(const char* indexFileName) {
    (void)indexFileName;
    return generate();
}

}  // namespace textureatlas
