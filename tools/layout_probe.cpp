// Built into the private module texatlas_layout together with the library's
// objects: the layout's result (the atlas's page list) is internal, and the
// module exports nothing else, so its copy of the library never stands in
// for the shared library that the tool composes and saves with.
#include "layout_probe.h"

#include <textureatlas/ITextureAtlasConfiguration.h>

#include "formats/formats.h"
#include "interface/TextureAtlas.h"

namespace texatlas_layout {

namespace {

// An atlas without a device: the base class's generation hooks do nothing,
// and its page size maximum is the one a device gives.
class PageList : public textureatlas::TextureAtlas {
public:
    const std::vector<textureatlas::AtlasGroup>& result() const { return pages; }
};

}  // namespace

std::vector<LaidOutPage> layOut(textureatlas::ITextureAtlasConfiguration& configuration, int sortMode,
                                textureatlas::MessageCallback warning) {
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
    for (const textureatlas::AtlasGroup& page : atlas.result()) {
        LaidOutPage out;
        out.name = page.name;
        out.format = page.format;
        out.index = page.index;
        out.width = page.rect.width;
        out.height = page.rect.height;
        out.mipLevels = page.mipLevels;
        out.textures.reserve(page.textures.size());
        for (const textureatlas::TextureEntry& texture : page.textures) {
            const int inset = texture.border ? page.border : 0;
            out.textures.push_back(LaidOutTexture{texture.name, texture.rect.x + inset, texture.rect.y + inset,
                                                  texture.rect.width - 2 * inset, texture.rect.height - 2 * inset,
                                                  inset, texture.path});
        }
        pages.push_back(std::move(out));
    }
    return pages;
}

std::vector<std::string> pageFormatNames() {
    std::vector<std::string> names;
    for (std::size_t row = 0; const char* name = textureatlas::formatNameAt(row); ++row)
        if (textureatlas::formatFromName(textureatlas::toUpper(name)) != D3DFMT_UNKNOWN) names.push_back(name);
    return names;
}

}  // namespace texatlas_layout
