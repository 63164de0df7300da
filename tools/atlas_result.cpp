#include "atlas_result.h"

int placedTextureCount(const AtlasResult& result) {
    int count = 0;
    for (const PageResult& page : result.pages) count += static_cast<int>(page.textures.size());
    return count;
}

double fillRatio(const PageResult& page) {
    double area = static_cast<double>(page.width) * page.height;
    if (area <= 0) return 0;
    double used = 0;
    for (const PlacedTexture& texture : page.textures)
        if (texture.duplicateOf.empty()) used += static_cast<double>(texture.width) * texture.height;
    return used / area;
}
