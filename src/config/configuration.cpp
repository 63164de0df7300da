// Groups, textures and directories of a configuration.
#include "config/paths.h"
#include "interface/TextureAtlasConfiguration.h"

namespace textureatlas {

void TextureAtlasConfiguration::setOutputPath(const char* path) {
    outputPath = path;
    normalizeDirectory(outputPath);
}

void TextureAtlasConfiguration::setTexturePath(const char* path) {
    texturePath = path;
    normalizeDirectory(texturePath);
}

const char* TextureAtlasConfiguration::getTexturePath() { return texturePath.c_str(); }
const char* TextureAtlasConfiguration::getOutputPath() { return outputPath.c_str(); }

AtlasGroup* TextureAtlasConfiguration::addGroup(const char* name, int width, int height, const char* format,
                                                int mipLevels, int border) {
    AtlasGroup group;
    group.name = name;
    group.format = format;
    group.rect = Rect{0, 0, width, height};
    group.mipLevels = mipLevels;
    group.border = border;
    group.index = -1;
    groups.push_back(std::move(group));
    currentGroup = &groups.back();
    return currentGroup;
}

AtlasGroup* TextureAtlasConfiguration::setGroup(const char* name) {
    GroupIterator found = findGroup(name);
    if (found == endGroups()) {
        warningCallback(std::string("Could not set group: ") + name);
        return nullptr;
    }
    currentGroup = &*found;
    return currentGroup;
}

TextureEntry* TextureAtlasConfiguration::addTexture(const char* name, bool border) {
    (void)name;
    (void)border;
    return nullptr;
}

TextureEntry* TextureAtlasConfiguration::addTextureFromMemory(const char* name, const void* data, unsigned int size,
                                                              bool border) {
    (void)name;
    (void)data;
    (void)size;
    (void)border;
    return nullptr;
}

GroupIterator TextureAtlasConfiguration::findGroup(const char* name) {
    GroupIterator it = groups.begin();
    while (it != groups.end() && it->name != name) ++it;
    return it;
}

GroupIterator TextureAtlasConfiguration::beginGroups() { return groups.begin(); }
GroupIterator TextureAtlasConfiguration::endGroups() { return groups.end(); }

GroupIterator TextureAtlasConfiguration::eraseGroup(GroupIterator where) { return groups.erase(where); }

}  // namespace textureatlas
