// Built into the private module texatlas_layout together with the library's
// objects: the layout's result (the atlas's page list) is internal, and the
// module exports nothing else, so its copy of the library never stands in
// for the shared library that the tool composes and saves with.
#include "layout_probe.h"

#include <textureatlas/ITextureAtlasConfiguration.h>

#include <locale>
#include <sstream>
#include <unordered_set>

#include "formats/formats.h"
#include "interface/TextureAtlas.h"
#include "output/dxerr.h"
#include "output/index_file.h"

namespace texatlas_layout {

namespace {

// An atlas without a device: the base class's generation hooks do nothing,
// and its page size maximum is the one a device gives.
class PageList : public textureatlas::TextureAtlas {
public:
    std::vector<textureatlas::AtlasGroup>& result() { return pages; }
};

}  // namespace

std::vector<LaidOutPage> layOut(textureatlas::ITextureAtlasConfiguration& configuration, int sortMode,
                                textureatlas::MessageCallback warning, bool paths) {
    std::vector<int> mipLevels;
    for (auto group = configuration.beginGroups(); group != configuration.endGroups(); ++group)
        mipLevels.push_back(group->mipLevels);
    PageList atlas;
    atlas.setSortMode(sortMode);
    atlas.setWarningCallback(warning);
    atlas.layout(&configuration);
    size_t number = 0;
    for (auto group = configuration.beginGroups(); group != configuration.endGroups(); ++group)
        group->mipLevels = mipLevels[number++];

    std::vector<LaidOutPage> pages;
    pages.reserve(atlas.result().size());
    // The atlas goes with this call: its strings are moved out, not copied.
    for (textureatlas::AtlasGroup& page : atlas.result()) {
        LaidOutPage out;
        out.name = std::move(page.name);
        out.format = std::move(page.format);
        out.index = page.index;
        out.width = page.rect.width;
        out.height = page.rect.height;
        out.mipLevels = page.mipLevels;
        out.textures.reserve(page.textures.size());
        for (textureatlas::TextureEntry& texture : page.textures) {
            const int inset = texture.border ? page.border : 0;
            out.textures.push_back(LaidOutTexture{
                std::move(texture.name), texture.rect.x + inset, texture.rect.y + inset, texture.rect.width - 2 * inset,
                texture.rect.height - 2 * inset, inset, paths ? std::move(texture.path) : std::string()});
        }
        pages.push_back(std::move(out));
    }
    return pages;
}

std::string indexHeader(const std::string& fileName) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    textureatlas::writeIndexHeader(out, fileName);
    return out.str();
}

// The page and texture records back from what the layout gave: the line
// needs the cell, the border flag and the page's border, which is the margin.
std::string indexEntries(const LaidOutPage& page) {
    textureatlas::AtlasGroup record;
    record.name = page.name;
    record.index = page.index;
    record.rect.width = page.width;
    record.rect.height = page.height;
    std::ostringstream out;
    out.imbue(std::locale::classic());
    textureatlas::TextureEntry entry;  // one for all: its name keeps its storage
    for (const LaidOutTexture& texture : page.textures) {
        entry.name = texture.name;
        entry.border = texture.margin > 0;
        entry.rect = {texture.x - texture.margin, texture.y - texture.margin, texture.width + 2 * texture.margin,
                      texture.height + 2 * texture.margin};
        record.border = texture.margin;
        textureatlas::writeIndexEntry(out, record, entry);
    }
    return out.str();
}

std::string formatName(D3DFORMAT format) { return textureatlas::formatName(format); }

bool isResultCodeMessage(const std::string& message) {
    static const std::unordered_set<std::string> names = [] {
        std::unordered_set<std::string> all{"Unknown"};
        for (std::size_t row = 0; const char* name = textureatlas::resultNameAt(row); ++row) all.insert(name);
        return all;
    }();
    return names.count(message) != 0;
}

std::vector<std::string> pageFormatNames() {
    std::vector<std::string> names;
    for (std::size_t row = 0; const char* name = textureatlas::formatNameAt(row); ++row)
        if (textureatlas::formatFromName(textureatlas::toUpper(name)) != D3DFMT_UNKNOWN) names.push_back(name);
    return names;
}

}  // namespace texatlas_layout
