// Asks the library's own image probe what it makes of a file, so that the
// tool reports sizes and format names exactly as a build sees them.
#pragma once

#include <string>

namespace textureatlas {
class ITextureAtlasConfiguration;
}

struct ImageFacts {
    int width = 0;
    int height = 0;
    int mipLevels = 0;
    std::string format;
};

struct ImageProbe {
    textureatlas::ITextureAtlasConfiguration* configuration = nullptr;
};

bool openProbe(ImageProbe& probe);
void closeProbe(ImageProbe& probe);

// Reads the header of the file at `path`. On failure `reason` says why in a
// person's words.
bool probeImage(ImageProbe& probe, const std::string& path, ImageFacts& facts, std::string& reason);
