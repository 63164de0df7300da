#include "interface/TextureAtlas.h"
#include "interface/TextureAtlasConfiguration.h"

namespace textureatlas {

void TextureAtlas::layout(ITextureAtlasConfiguration* configuration) {
    pages.clear();
    pending.clear();
    outputPath = configuration->getOutputPath();
}

}  // namespace textureatlas
