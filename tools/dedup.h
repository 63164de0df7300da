// Files with identical contents in one group are placed once; the others
// name the first one's place.
#pragma once

#include <string>
#include <vector>

#include "source_files.h"

namespace textureatlas {
struct TextureEntry;
}

struct TextureRef {
    std::string name;   // as the index file names it
    std::string given;  // as it was added, relative to the texture directory
    std::string path;   // the file
    bool border = false;
    // The record the configuration made when it probed the file, if any: a
    // group built on a configuration of its own takes it as it is instead of
    // probing the file again.
    const textureatlas::TextureEntry* entry = nullptr;
};

struct DedupPlan {
    std::vector<TextureRef> unique;  // in the group's order
    // duplicatesOf[i]: names of the textures that share unique[i]'s place, in order
    std::vector<std::vector<std::string>> duplicatesOf;
    int merged = 0;
};

using SourceLookup = bool (*)(const std::string& path, SourceFile& file);

// Compares the files' contents (and border flags: a border changes the
// cell). Files that cannot be read are kept as they are.
DedupPlan findDuplicates(const std::vector<TextureRef>& textures, bool merge, SourceLookup lookup = sourceFile);
