// Groups, textures and directories of a configuration.
#include <cstdint>
#include <limits>
#include <utility>

#include "config/paths.h"
#include "interface/TextureAtlasConfiguration.h"
#include "interface/library_messages.h"

namespace textureatlas {

namespace {

// Saturates instead of overflowing: a huge border from a file must not wrap
// a texture's size around into one that seems to fit.
std::int32_t grownSize(std::int32_t size, int border) {
    const std::int64_t grown = std::int64_t(size) + 2 * std::int64_t(border);
    if (grown > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (grown < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return std::int32_t(grown);
}

TextureEntry* appendTexture(AtlasGroup& group, TextureEntry entry, bool border) {
    toForwardSlashes(entry.name);
    entry.border = border;
    if (border) {
        entry.rect.width = grownSize(entry.rect.width, group.border);
        entry.rect.height = grownSize(entry.rect.height, group.border);
    }
    group.textures.push_back(std::move(entry));
    return &group.textures.back();
}

}  // namespace

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
        warningCallback(std::string(messages::kCouldNotSetGroup) + name);
        return nullptr;
    }
    currentGroup = &*found;
    return currentGroup;
}

// Without a current group (none added or selected yet, or it was erased) the
// texture is rejected with null before anything is probed.
TextureEntry* TextureAtlasConfiguration::addTexture(const char* name, bool border) {
    if (!currentGroup) return nullptr;
    TextureEntry entry;
    if (!readImageInfo(texturePath, name, entry)) {
        warningCallback(std::string(messages::kFailedToLoadTexture) + name);
        return nullptr;
    }
    return appendTexture(*currentGroup, std::move(entry), border);
}

TextureEntry* TextureAtlasConfiguration::addTextureFromMemory(const char* name, const void* data, unsigned int size,
                                                              bool border) {
    if (!currentGroup) return nullptr;
    TextureEntry entry;
    if (!readImageInfoFromMemory(texturePath, name, data, size, entry)) {
        warningCallback(std::string(messages::kFailedToLoadTexture) + name);
        return nullptr;
    }
    return appendTexture(*currentGroup, std::move(entry), border);
}

GroupIterator TextureAtlasConfiguration::findGroup(const char* name) {
    GroupIterator it = groups.begin();
    while (it != groups.end() && it->name != name) ++it;
    return it;
}

GroupIterator TextureAtlasConfiguration::beginGroups() { return groups.begin(); }
GroupIterator TextureAtlasConfiguration::endGroups() { return groups.end(); }

// The current group never dangles: it follows its group when that moves up,
// and becomes null when its group is the one removed.
GroupIterator TextureAtlasConfiguration::eraseGroup(GroupIterator where) {
    AtlasGroup* erased = &*where;
    if (currentGroup == erased)
        currentGroup = nullptr;
    else if (currentGroup && currentGroup > erased)
        --currentGroup;
    return groups.erase(where);
}

}  // namespace textureatlas
