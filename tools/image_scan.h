// Finds the image files under directories, for building without a
// configuration file.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

struct FoundImage {
    std::string directory;  // texture directory, empty or ending in '/'
    std::string name;       // relative to it, with '/' separators
};

// Each input file, and every image file (by extension) under each input
// directory, sorted by name within the directory so that builds are
// repeatable; hidden files and folders are skipped. Names are relative to
// the directory given, a file given is named by its file name.
// Files and folders in `skipped` (as `comparable` gives them) are left out
// wherever they lie, and so are the outputs that a texatlas manifest in a
// scanned folder names: the tool's own outputs are never sources.
// Image files of types the image reader does not decode go to `unread`.
bool findImages(const std::vector<std::string>& inputs, std::set<std::filesystem::path> skipped,
                std::vector<FoundImage>& images, std::vector<std::string>& unread, std::string& error);

// The type of an image file the reader does not decode ("GIF", "WebP", ...)
// by its extension, or "" for any other file.
std::string imageTypeName(const std::string& path);

// A path in the one form in which two names of one file compare equal, also
// for files that do not exist yet.
std::filesystem::path comparable(const std::string& path);

bool hasImageExtension(const std::string& path);
