// What a build placed and where: the pages, their textures and the groups'
// page limits, for the summary, the JSON and the previews.
#pragma once

#include <string>
#include <vector>

struct PlacedTexture {
    std::string name;
    // Texture coordinates of the image on its page, as the index gives them.
    float u = 0, v = 0, uSize = 0, vSize = 0;
    // The same in texels (exact: page sizes are powers of two).
    int x = 0, y = 0, width = 0, height = 0;
    std::string duplicateOf;  // the texture whose place this identical file shares
};

struct PageResult {
    std::string name;  // the file name without ".dds"
    std::string file;
    int index = 0;
    int width = 0, height = 0, mipLevels = 0;
    std::string format;
    std::vector<PlacedTexture> textures;
};

// How a group was built: the page limits it was laid out with.
struct GroupResult {
    std::string name;
    int width = 0, height = 0;
    int tried = 0;  // limit pairs tried by the fitting; 0: the group's own limits
    int duplicates = 0;
    int pages = 0, largestWidth = 0, largestHeight = 0;  // what the layout made within the limits
};

struct AtlasResult {
    std::vector<PageResult> pages;
    std::vector<GroupResult> groups;
};

int placedTextureCount(const AtlasResult& result);

// Share of the page covered by texture images, 0 to 1; a place shared by
// identical files counts once.
double fillRatio(const PageResult& page);
