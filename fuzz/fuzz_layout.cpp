// The fast layout against the literal model of the tests, on groups made from
// the fuzzer's bytes: sizes of any sign and magnitude, formats, limits, sort
// modes and a warning callback that changes the sort mode on the way. Any
// difference in pages, positions, warnings or derived mip levels aborts. The
// index file is then written from the pages, whatever their sizes.
#include "interface/TextureAtlas.h"
#include "output/index_file.h"
#include "unit/groups_configuration.h"
#include "unit/literal_layout.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace textureatlas;

namespace {

// Hands out the input's bytes; zeros once they run out.
struct Bytes {
    const std::uint8_t* next;
    const std::uint8_t* end;

    std::uint8_t byte() { return next < end ? *next++ : 0; }
    bool empty() const { return next >= end; }

    // Mostly small sizes, so that textures share pages; the top values are
    // the edges of the integer range and of the packing code's limits.
    int size() {
        static const int edges[] = {-1, INT_MIN, INT_MAX, 1 << 30, 65536, 65537, 2048, 2049};
        const std::uint8_t b = byte();
        if (b >= 248) return edges[b - 248];
        if (b >= 240) return 256 * (b - 239) + byte();  // up to 2303
        return b;
    }
    int small() { return static_cast<std::int8_t>(byte()); }
    // A maximum page size: 256, 2048 or any size, mostly small ones, which
    // keep runs fast: the packing code's cost grows with the page width.
    int limit() {
        const std::uint8_t choice = byte() % 4;
        return choice == 0 ? 256 : choice == 1 ? 2048 : size();
    }
};

class LimitedAtlas : public TextureAtlas {
public:
    int maxWidth = 2048;
    int maxHeight = 2048;
    int getMaxWidth() override { return maxWidth; }
    int getMaxHeight() override { return maxHeight; }
    const std::vector<AtlasGroup>& result() const { return pages; }
    bool workListEmpty() const { return pending.empty(); }
};

std::vector<std::string> warnings;
LimitedAtlas* switching = nullptr;
std::size_t switchAt = 0;  // 0: never
int switchTo = 0;

void collectAndSwitch(const std::string& message) {
    warnings.push_back(message);
    if (warnings.size() == switchAt) switching->setSortMode(switchTo);
}

std::string describe(const std::vector<AtlasGroup>& pages) {
    std::ostringstream out;
    for (const AtlasGroup& page : pages) {
        out << page.name << " '" << page.format << "' " << page.rect.x << "," << page.rect.y << " " << page.rect.width
            << "x" << page.rect.height << " m" << page.mipLevels << " b" << page.border << " #" << page.index << "\n";
        for (const TextureEntry& t : page.textures)
            out << "  " << t.name << " " << t.path << " '" << t.format << "' " << t.rect.x << "," << t.rect.y << " "
                << t.rect.width << "x" << t.rect.height << " " << t.border << " " << t.mipLevels << "\n";
    }
    return out.str();
}

[[noreturn]] void differ(const char* what, const std::string& fast, const std::string& literal) {
    std::fprintf(stderr, "layout differs from the literal model: %s\n--- fast\n%s--- literal\n%s", what, fast.c_str(),
                 literal.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const groupFormats[] = {"", "DXT1", "A8R8G8B8", ""};
    static const char* const textureFormats[] = {"DXT1", "DXT5", "A8R8G8B8", "", "DXT", "\xe9X", "A8R8G8B", "X8R8G8B8"};
    Bytes in{data, data + size};

    LimitedAtlas atlas;
    atlas.maxWidth = in.limit();
    atlas.maxHeight = in.limit();
    const int sortMode = in.small();
    switchAt = in.byte() % 8;
    switchTo = in.small();

    GroupsConfiguration configuration;
    for (int groups = in.byte() % 4 + 1; groups > 0 && !in.empty(); --groups) {
        const int width = in.size(), height = in.size();
        const char* format = groupFormats[in.byte() % 4];
        const int mipLevels = in.small(), border = in.small();
        AtlasGroup* group =
            configuration.addGroup(("g" + std::to_string(groups)).c_str(), width, height, format, mipLevels, border);
        for (int t = in.byte() % 64; t > 0 && !in.empty(); --t) {
            TextureEntry texture;
            texture.name = "t" + std::to_string(t);
            texture.path = "dir/" + texture.name;
            texture.rect.width = in.size();
            texture.rect.height = in.size();
            const std::uint8_t kind = in.byte();
            texture.format = textureFormats[kind % 8];
            texture.border = kind & 8;
            texture.mipLevels = (kind >> 4) - 2;
            group->textures.push_back(texture);
        }
    }

    std::vector<AtlasGroup> expectedGroups = configuration.allGroups();
    int literalMode = sortMode;
    std::size_t literalWarnings = 0;
    const literal::Result expected =
        literal::layout(expectedGroups, literalMode, atlas.maxWidth, atlas.maxHeight, [&](const std::string&) {
            if (++literalWarnings == switchAt) literalMode = switchTo;
        });

    warnings.clear();
    switching = &atlas;
    atlas.setWarningCallback(collectAndSwitch);
    atlas.setSortMode(sortMode);
    atlas.layout(&configuration);

    const std::string fast = describe(atlas.result()), literal = describe(expected.pages);
    if (fast != literal) differ("pages", fast, literal);
    if (warnings != expected.warnings)
        differ("warnings", std::to_string(warnings.size()) + "\n", std::to_string(expected.warnings.size()) + "\n");
    for (std::size_t g = 0; g < expectedGroups.size(); ++g)
        if (configuration.allGroups()[g].mipLevels != expectedGroups[g].mipLevels)
            differ("derived mip levels", std::to_string(configuration.allGroups()[g].mipLevels) + "\n",
                   std::to_string(expectedGroups[g].mipLevels) + "\n");
    if (!atlas.workListEmpty()) differ("work list left", "not empty\n", "empty\n");

    std::ostringstream index;
    writeIndex(index, "index.txt", atlas.result());
    return 0;
}
