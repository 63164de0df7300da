// Finds the image files under directories, for building without a
// configuration file.
#pragma once

#include <string>
#include <vector>

struct FoundImage {
    std::string directory;  // texture directory, empty or ending in '/'
    std::string name;       // relative to it, with '/' separators
};

// Each input file, and every image file (by extension) under each input
// directory, sorted by name within the directory so that builds are
// repeatable; hidden files and folders are skipped. With one directory the
// names are relative to it; otherwise they keep the path as given.
bool findImages(const std::vector<std::string>& inputs, std::vector<FoundImage>& images, std::string& error);

bool hasImageExtension(const std::string& path);
