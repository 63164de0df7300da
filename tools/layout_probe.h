// The library's own layout, run without composing a page. Page-size fitting
// tries many limits and needs only what the layout decides; dry runs show it.
#pragma once

#include <d3d9.h>
#include <textureatlas/types.h>

#include <string>
#include <vector>

namespace textureatlas {
class ITextureAtlasConfiguration;
}

namespace texatlas_layout {

struct LaidOutTexture {
    std::string name;
    int x = 0, y = 0, width = 0, height = 0;  // the image on the page, border left out
    int margin = 0;    // of the cell around the image: the page's border when the texture has the flag
    std::string path;  // the file the page generation loads
};

struct LaidOutPage {
    std::string name;
    std::string format;
    int index = 0;
    int width = 0, height = 0, mipLevels = 0;
    std::vector<LaidOutTexture> textures;
};

// Lays out every group of `configuration` as the library's layout does and
// returns the pages; the layout's warnings (textures too large) go to
// `warning`. The groups' mip-level counts are left as they were. Without
// `paths` the textures' paths are left empty.
__attribute__((visibility("default"))) std::vector<LaidOutPage> layOut(
    textureatlas::ITextureAtlasConfiguration& configuration, int sortMode,
    textureatlas::MessageCallback warning = textureatlas::nullMessageHandler, bool paths = true);

// The index file's header naming `fileName`, and the lines of `page`'s
// textures in its order, each ending in a newline, exactly as the library's
// index writer puts them.
__attribute__((visibility("default"))) std::string indexHeader(const std::string& fileName);
__attribute__((visibility("default"))) std::string indexEntries(const LaidOutPage& page);

// The library's name for `format` ("DXT5", "A8R8G8B8", ...), as its image
// probe gives it.
__attribute__((visibility("default"))) std::string formatName(D3DFORMAT format);

// True when `message` is one the page generation gives for a failed Direct3D
// call: the name of its result code alone (or "Unknown").
__attribute__((visibility("default"))) bool isResultCodeMessage(const std::string& message);

// The format names that the library's page generation turns into a format,
// in its table's order: every name whose upper-cased spelling the library's
// own lookup finds (CxV8U8 upper-cased names none).
__attribute__((visibility("default"))) std::vector<std::string> pageFormatNames();

}  // namespace texatlas_layout
