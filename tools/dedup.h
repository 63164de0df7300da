// Files with identical contents in one group are placed once; the others
// name the first one's place.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "source_files.h"

namespace textureatlas {
struct TextureEntry;
}

// Its strings are the configuration's (or the caller's), which outlive it.
struct TextureRef {
    const std::string* name = nullptr;  // as the index file names it
    const std::string* path = nullptr;  // the file
    bool border = false;
    // The record the configuration made when it probed the file: a group
    // built on a configuration of its own takes it as it is instead of
    // probing the file again.
    const textureatlas::TextureEntry* entry = nullptr;
};

struct DedupPlan {
    std::vector<std::size_t> unique;  // indices of the textures placed, in the group's order
    // Each placed texture that others share (by name), with their names in
    // order; in the order of their first duplicate.
    std::vector<std::pair<std::string, std::vector<std::string>>> shared;
    int merged = 0;
};

using SourceLookup = bool (*)(const std::string& path, SourceFile& file);

// Compares the files' contents (and border flags: a border changes the
// cell). Files that cannot be read are kept as they are.
DedupPlan findDuplicates(const std::vector<TextureRef>& textures, bool merge, SourceLookup lookup = sourceFile);
