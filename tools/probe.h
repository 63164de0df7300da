// Asks the library's own image probe what it makes of a file, so that the
// tool reports sizes and format names exactly as a build sees them.
#pragma once

#include <string>

#include "owned.h"

struct ImageFacts {
    int width = 0;
    int height = 0;
    int mipLevels = 0;
    std::string format;
};

class ImageProbe {
public:
    ImageProbe();  // check ok(): false when out of memory
    bool ok() const { return configuration_ != nullptr; }

    // Reads the header of the file at `path`. On failure `reason` says why
    // in a person's words.
    bool probe(const std::string& path, ImageFacts& facts, std::string& reason);

private:
    ConfigurationPointer configuration_;
};
