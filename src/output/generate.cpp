#include "interface/D3DTextureAtlas.h"

namespace textureatlas {

bool D3DTextureAtlas::generateFromMemory(const std::vector<MemoryImage>&) { return true; }
bool D3DTextureAtlas::generate() { return true; }

}  // namespace textureatlas
