#include "image_scan.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "manifest.h"

namespace fs = std::filesystem;

static std::string lowerExtension(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool hasImageExtension(const std::string& path) {
    // Every file type the image reader decodes (it tells them by content).
    static const char* const kExtensions[] = {".bmp", ".dib", ".jpg", ".jpeg", ".tga", ".png",
                                              ".dds", ".ppm", ".pgm", ".pnm",  ".hdr", ".pfm"};
    const std::string extension = lowerExtension(path);
    for (const char* known : kExtensions)
        if (extension == known) return true;
    return false;
}

std::string imageTypeName(const std::string& path) {
    static const char* const kTypes[][2] = {{".gif", "GIF"},     {".webp", "WebP"}, {".psd", "PSD"},
                                            {".tif", "TIFF"},    {".tiff", "TIFF"}, {".ico", "ICO"},
                                            {".svg", "SVG"},     {".avif", "AVIF"}, {".jxl", "JPEG XL"},
                                            {".exr", "OpenEXR"}, {".xcf", "XCF"},   {".ktx", "KTX"}};
    const std::string extension = lowerExtension(path);
    for (const auto& type : kTypes)
        if (extension == type[0]) return type[1];
    return "";
}

static std::string asDirectory(std::string path) {
    if (!path.empty() && path.back() != '/') path += '/';
    return path;
}

static bool isHidden(const fs::path& path) {
    std::string name = path.filename().string();
    return name.size() > 1 && name[0] == '.' && name != "..";
}

fs::path comparable(const std::string& path) {
    std::error_code code;
    fs::path made = fs::weakly_canonical(fs::absolute(path, code), code);
    return code ? fs::path(path) : made;
}

// Image files under `directory`, named with `prefix`, in name order.
// Symlinked folders are followed, each real folder once, so that a link back
// up ends no walk; the first name in order is the one kept.
static bool scanDirectory(const fs::path& directory, const std::string& prefix, std::set<fs::path>& visited,
                          std::set<fs::path>& skipped, std::vector<std::string>& names,
                          std::vector<std::string>& unread, std::string& error) {
    std::error_code code;
    std::vector<fs::path> entries;
    for (fs::directory_iterator entry(directory, code), end; !code && entry != end; entry.increment(code))
        entries.push_back(entry->path());
    if (code) {
        error = "cannot read directory " + directory.string() + ": " + code.message();
        return false;
    }
    std::sort(entries.begin(), entries.end());
    // An earlier build's output here is no source: its manifest names it.
    for (const fs::path& entry : entries)
        if (entry.extension() == ".manifest")
            for (const std::string& output : outputsOfManifest(entry.string())) skipped.insert(comparable(output));
    for (const fs::path& entry : entries) {
        if (isHidden(entry) || (!skipped.empty() && skipped.count(comparable(entry.string())))) continue;
        std::string name = prefix + entry.filename().string();
        if (fs::is_directory(entry, code)) {
            if (!visited.insert(fs::canonical(entry, code)).second || code) continue;
            if (!scanDirectory(entry, name + "/", visited, skipped, names, unread, error)) return false;
        } else if (fs::is_regular_file(entry, code) && hasImageExtension(name)) {
            names.push_back(name);
        } else if (!imageTypeName(name).empty()) {
            unread.push_back(entry.string());
        }
    }
    return true;
}

bool findImages(const std::vector<std::string>& inputs, std::set<fs::path> skipped, std::vector<FoundImage>& images,
                std::vector<std::string>& unread, std::string& error) {
    images.clear();
    // Names are relative to the folder given; a file given is named by its
    // file name.
    for (const std::string& input : inputs) {
        std::error_code code;
        if (fs::is_regular_file(input, code)) {
            const fs::path path(input);
            images.push_back(FoundImage{asDirectory(path.parent_path().string()), path.filename().string()});
            continue;
        }
        if (!fs::is_directory(input, code)) {
            error =
                fs::exists(input, code) ? "not a file or directory: " + input : "no such file or directory: " + input;
            return false;
        }
        std::vector<std::string> names;
        std::set<fs::path> visited = {fs::canonical(input, code)};
        if (!scanDirectory(input, "", visited, skipped, names, unread, error)) return false;
        for (const std::string& name : names) images.push_back(FoundImage{asDirectory(input), name});
    }
    return true;
}
