#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textureatlas {

// Receives one complete message, without line end. The string lives only
// for the duration of the call.
typedef void (*MessageCallback)(const std::string& message);

// Every callback's initial value. Inline so that it needs no export.
inline void nullMessageHandler(const std::string&) {}

// One image file held in memory by the host.
struct MemoryImage {
    const void* data;
    unsigned int size;
};

// A rectangle in texels.
struct Rect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// One source texture; on a page, rect.x and rect.y hold its position.
struct TextureEntry {
    std::string name;    // as given, backslashes turned into forward slashes
    std::string path;    // texture directory + name as given
    Rect rect;           // image size, grown by twice the group's border when `border`
    std::string format;  // pixel format name, e.g. "A8R8G8B8"
    bool border = false;
    int mipLevels = 0;
};

// One configuration group and, with the same fields, one atlas page.
struct AtlasGroup {
    std::string name;
    std::vector<TextureEntry> textures;
    std::string format;  // empty: taken from the textures by the layout
    Rect rect;           // requested size; on a page its actual size
    int mipLevels = 0;
    int border = 0;
    int index = -1;      // page number within its group; -1 in a configuration
};

typedef std::vector<AtlasGroup>::iterator GroupIterator;

}  // namespace textureatlas
