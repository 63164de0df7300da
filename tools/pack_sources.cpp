#include "pack_sources.h"

#include <unistd.h>

#include <cstring>
#include <map>

#include "manifest.h"

namespace fs = std::filesystem;

std::string shownPath(const std::string& path) { return fs::path(path).lexically_normal().string(); }

std::string unnameable(const std::string& name) {
    if (name.find_first_of(" \t\r\n\v\f") != std::string::npos) return "a blank in its name";
    if (name[0] == '#') return "a leading '#' (a comment line)";
    if (name == "group") return "the name 'group' (a group line)";
    if (name.size() + std::strlen(" border") > 1022) return "a name longer than a configuration line";
    return "";
}

bool textureDirectoryFor(const std::vector<FoundImage>& images, const std::string& outputDirectory, bool dryRun,
                         std::string& directory, std::string& error) {
    std::map<std::string, const FoundImage*> byName;
    bool oneFolder = true;
    for (const FoundImage& image : images) {
        oneFolder = oneFolder && image.directory == images.front().directory;
        auto [at, added] = byName.emplace(image.name, &image);
        if (!added) {
            error = "two inputs give the name " + image.name + ": " + at->second->directory + image.name + " and " +
                    image.directory + image.name;
            return false;
        }
    }
    const fs::path links = dryRun ? fs::temp_directory_path() / ("texatlas-sources-" + std::to_string(getpid()))
                                  : fs::path(outputDirectory + ".texatlas-sources");
    std::error_code code;
    if (oneFolder) {
        if (!dryRun) fs::remove_all(links, code);  // an earlier run's, from several folders
        directory = images.front().directory;
        return true;
    }
    // Links already right are kept, so that a rerun does not redo them all.
    std::map<fs::path, fs::path> wanted;
    for (const FoundImage& image : images) wanted[links / image.name] = fs::absolute(image.directory + image.name);
    std::vector<fs::path> stale;
    for (fs::recursive_directory_iterator entry(links, code), end; !code && entry != end; entry.increment(code)) {
        if (entry->is_directory(code) && !entry->is_symlink(code)) continue;
        auto found = wanted.find(entry->path());
        if (found != wanted.end() && fs::read_symlink(entry->path(), code) == found->second && !code)
            wanted.erase(found);
        else
            stale.push_back(entry->path());
    }
    code.clear();
    for (const fs::path& path : stale) fs::remove(path, code);
    for (const auto& [link, target] : wanted) {
        fs::create_directories(link.parent_path(), code);
        if (!code) fs::create_symlink(target, link, code);
        if (code) {
            error = "cannot link " + link.string() + " to " + target.string() + ": " + code.message();
            return false;
        }
    }
    directory = links.string() + "/";
    return true;
}

std::set<fs::path> ownOutputs(const std::string& outputDirectory, const std::string& indexFile,
                              const std::string& jsonFile, const std::string& saveConfig) {
    std::set<fs::path> outputs;
    for (const std::string& path :
         {outputDirectory, indexFile, manifestPath(indexFile), outputDirectory + ".texatlas-sources", jsonFile,
          saveConfig, outputDirectory + "preview"})
        if (!path.empty()) outputs.insert(comparable(path));
    Manifest previous;
    if (readManifest(manifestPath(indexFile), previous))
        for (const std::string& path : previous.outputs) outputs.insert(comparable(path));
    return outputs;
}
