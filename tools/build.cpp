#include "build.h"

#include "atlas_result.h"
#include "device.h"
#include "json_output.h"
#include "messages.h"
#include "page_watcher.h"
#include "preview.h"
#include "reasons.h"
#include "staging.h"

#include <textureatlas/textureatlas.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using textureatlas::ITextureAtlas;
using textureatlas::ITextureAtlasConfiguration;

std::string asDirectory(std::string path) {
    if (!path.empty() && path.back() != '/' && path.back() != '\\') path += '/';
    return path;
}

bool prepareDirectory(const std::string& directory, std::string& error) {
    std::string path = directory.empty() ? "." : directory;
    std::error_code code;
    fs::create_directories(path, code);
    if (code || !fs::is_directory(path, code)) {
        error = "cannot create directory " + path + (code ? ": " + code.message() : "");
        return false;
    }
    if (access(path.c_str(), W_OK) != 0) {
        error = "cannot write to directory " + path;
        return false;
    }
    return true;
}

namespace {

// The configuration as the library writes it: the build's real input,
// without comments or spacing that do not matter.
std::string configurationText(ITextureAtlasConfiguration& configuration) {
    std::string path = (fs::temp_directory_path() / ("texatlas-" + std::to_string(getpid()) + ".cfg")).string();
    configuration.save(path.c_str());
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    file.close();
    std::remove(path.c_str());
    return text.str();
}

void addInputs(ITextureAtlasConfiguration& configuration, Manifest& manifest) {
    manifest.inputs.push_back("configuration " + hashText(configurationText(configuration)));
    for (auto group = configuration.beginGroups(); group != configuration.endGroups(); ++group)
        for (const textureatlas::TextureEntry& texture : group->textures) addSourceLine(manifest, texture.path);
}

void printSummary(const AtlasResult& result, const BuildOptions& options, double seconds) {
    const MessageCounts& counts = messageCounts();
    std::printf("placed %d texture%s on %zu page%s", placedTextureCount(result),
                placedTextureCount(result) == 1 ? "" : "s", result.pages.size(), result.pages.size() == 1 ? "" : "s");
    std::printf(", dropped %zu (larger than their pages)", counts.dropped.size());
    if (!counts.missing.empty()) std::printf(", %zu unreadable", counts.missing.size());
    std::printf(", %.2f s\n", seconds);
    for (const PageResult& page : result.pages)
        std::printf("  %-24s %5d x %-5d %-10s %3zu texture%s  fill %5.1f%%\n", page.file.c_str(), page.width,
                    page.height, page.format.c_str(), page.textures.size(), page.textures.size() == 1 ? " " : "s",
                    fillRatio(page) * 100.0);
    std::printf("index: %s\n", options.indexFile.c_str());
    if (!options.jsonFile.empty()) std::printf("json: %s\n", options.jsonFile.c_str());
    if (options.preview) std::printf("preview: %spreview/index.html\n", options.outputDirectory.c_str());
}

// Lays out and writes; false when the library reported a failure.
bool composeAtlas(ITextureAtlasConfiguration& configuration, const BuildOptions& options) {
    SoftwareDevice device;
    std::string error;
    if (!createDevice(device, error)) {
        std::fprintf(stderr, "texatlas: error: %s\n", error.c_str());
        return false;
    }
    ITextureAtlas* atlas = ITextureAtlas::create(device.device);
    if (!atlas) {
        std::fprintf(stderr, "texatlas: error: out of memory\n");
        releaseDevice(device);
        return false;
    }
    atlas->setErrorCallback(printLibraryError);
    atlas->setWarningCallback(printLibraryWarning);
    atlas->setSortMode(options.sortMode);
    atlas->layout(&configuration);
    PageWatcher watcher;
    if (!options.quiet) startPageWatcher(watcher, options.outputDirectory);
    bool written = atlas->write(options.indexFile.c_str());
    stopPageWatcher(watcher);
    delete atlas;
    releaseDevice(device);
    return written;
}

int finish(const char* error) {
    std::fprintf(stderr, "texatlas: error: %s\n", error);
    return kExitLibraryFailure;
}

// A failed build leaves no trace: the staged files go, the old output stays.
int abandon(Staging& staging, const std::string& error, bool hadOutput) {
    discardStaging(staging);
    std::string text = error + (hadOutput ? "; the previous output is untouched" : "; nothing was written");
    return finish(text.c_str());
}

}  // namespace

int runBuild(ITextureAtlasConfiguration& configuration, const BuildOptions& options, Manifest manifest) {
    auto start = std::chrono::steady_clock::now();
    addInputs(configuration, manifest);
    std::string manifestFile = manifestPath(options.indexFile);
    Manifest previous;
    bool hadOutput = readManifest(manifestFile, previous);
    if (!options.force && hadOutput && upToDate(previous, manifest)) {
        if (!options.quiet) std::printf("up to date: %s (--force rebuilds)\n", options.indexFile.c_str());
        return options.strict && messageCounts().warnings ? kExitLibraryFailure : kExitSuccess;
    }

    // Everything is written into the staging directory first.
    Staging staging;
    std::string error;
    if (!openStaging(options.outputDirectory, staging, error)) return finish(error.c_str());
    BuildOptions staged = options;
    staged.outputDirectory = staging.directory;
    staged.indexFile = stageFile(staging, ".index", options.indexFile);
    configuration.setOutputPath(staged.outputDirectory.c_str());
    rememberLayoutLimits(configuration);

    if (!composeAtlas(configuration, staged)) return abandon(staging, "build failed", hadOutput);
    AtlasResult result;
    if (!renameIndexHeader(staged.indexFile, options.indexFile) || !readIndexFile(staged.indexFile, result, error) ||
        !readPageFiles(staged.outputDirectory, result, error))
        return abandon(staging, error, hadOutput);
    if (placedTextureCount(result) == 0) return abandon(staging, "no texture was placed", hadOutput);
    for (const PageResult& page : result.pages) stageFile(staging, page.file, options.outputDirectory + page.file);

    if (!options.jsonFile.empty()) {
        staged.jsonFile = stageFile(staging, ".json", options.jsonFile);
        if (!writeLayoutJson(result, staged.jsonFile, error)) return abandon(staging, error, hadOutput);
    }
    if (options.preview) {
        std::string previewDirectory = staged.outputDirectory + "preview/";
        SoftwareDevice device;
        bool ok = prepareDirectory(previewDirectory, error) && createDevice(device, error) &&
                  writePreviews(device.device, result, staged.outputDirectory, previewDirectory, error);
        releaseDevice(device);
        if (!ok) return abandon(staging, error, hadOutput);
        std::error_code code;
        std::vector<std::string> previews;
        for (fs::directory_iterator entry(previewDirectory, code), end; !code && entry != end; entry.increment(code))
            previews.push_back(entry->path().filename().string());
        std::sort(previews.begin(), previews.end());
        for (const std::string& file : previews)
            stageFile(staging, "preview/" + file, options.outputDirectory + "preview/" + file);
    }
    if (options.strict && messageCounts().warnings)
        return abandon(staging, "--strict: the library reported warnings", hadOutput);

    for (const auto& move : staging.moves) manifest.outputs.push_back(move.second);
    if (!writeManifest(stageFile(staging, ".manifest", manifestFile), manifest))
        return abandon(staging, "cannot write the manifest", hadOutput);
    if (!commitStaging(staging, manifestFile, previous.outputs, error)) return finish(error.c_str());

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!options.quiet) printSummary(result, options, seconds);
    return kExitSuccess;
}
