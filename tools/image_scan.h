// Finds the image files under directories, for building without a
// configuration file.
#pragma once

#include <string>
#include <vector>

struct FoundImage {
    std::string directory;  // texture directory, empty or ending in '/'
    std::string name;       // relative to it, with '/' separators
};

// Every image file (by extension) under each directory, sorted by name
// within each directory so that builds are repeatable. With one directory
// the names are relative to it; with several they keep the directory.
bool findImages(const std::vector<std::string>& directories, std::vector<FoundImage>& images, std::string& error);

bool hasImageExtension(const std::string& path);
