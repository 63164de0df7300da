#include "image_scan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

bool hasImageExtension(const std::string& path) {
    static const char* const kExtensions[] = {".bmp", ".dib", ".jpg", ".jpeg", ".tga", ".png",
                                              ".dds", ".ppm", ".hdr", ".pfm"};
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* known : kExtensions)
        if (extension == known) return true;
    return false;
}

static std::string asDirectory(std::string path) {
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}

bool findImages(const std::vector<std::string>& directories, std::vector<FoundImage>& images, std::string& error) {
    images.clear();
    for (const std::string& directory : directories) {
        std::error_code code;
        if (!fs::is_directory(directory, code)) {
            error = "not a directory: " + directory;
            return false;
        }
        std::vector<std::string> names;
        fs::recursive_directory_iterator walk(directory, fs::directory_options::skip_permission_denied, code);
        for (; !code && walk != fs::recursive_directory_iterator(); walk.increment(code)) {
            if (!walk->is_regular_file(code) || !hasImageExtension(walk->path().string())) continue;
            names.push_back(fs::relative(walk->path(), directory, code).generic_string());
        }
        if (code) {
            error = "cannot read directory " + directory + ": " + code.message();
            return false;
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            if (directories.size() == 1)
                images.push_back(FoundImage{asDirectory(directory), name});
            else
                images.push_back(FoundImage{"", asDirectory(directory) + name});
        }
    }
    return true;
}
