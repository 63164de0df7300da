#include "build.h"

#include <textureatlas/textureatlas.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "atlas_result.h"
#include "device.h"
#include "fit.h"
#include "group_build.h"
#include "index_file.h"
#include "json_output.h"
#include "messages.h"
#include "preview.h"
#include "reasons.h"
#include "report.h"
#include "staging.h"
#include "text_file.h"

namespace fs = std::filesystem;
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

// What of the configuration the build depends on, one field a line: the
// file's comments and spacing do not matter, names may hold any byte but a
// newline, which no configuration line can carry.
std::string configurationKey(ITextureAtlasConfiguration& configuration) {
    std::ostringstream key;
    for (auto group = configuration.beginGroups(); group != configuration.endGroups(); ++group) {
        key << "group\n"
            << group->name << '\n'
            << group->rect.width << ' ' << group->rect.height << ' ' << group->mipLevels << ' ' << group->border << '\n'
            << group->format << '\n';
        for (const textureatlas::TextureEntry& texture : group->textures)
            key << (texture.border ? "b " : "- ") << texture.name << '\n';
    }
    return key.str();
}

void addInputs(ITextureAtlasConfiguration& configuration, Manifest& manifest) {
    manifest.inputs.push_back("configuration " + hashText(configurationKey(configuration)));
    for (auto group = configuration.beginGroups(); group != configuration.endGroups(); ++group)
        for (const textureatlas::TextureEntry& texture : group->textures) addSourceLine(manifest, texture.path);
}

int duplicateCount(const AtlasResult& result) {
    int count = 0;
    for (const GroupResult& group : result.groups) count += group.duplicates;
    return count;
}

void printSummary(const AtlasResult& result, const BuildOptions& options, double seconds) {
    const SkippedTextures& skipped = skippedTextures();
    std::printf("%s %d texture%s on %zu page%s", options.dryRun ? "would place" : "placed", placedTextureCount(result),
                placedTextureCount(result) == 1 ? "" : "s", result.pages.size(), result.pages.size() == 1 ? "" : "s");
    std::printf(", dropped %zu (larger than their pages)", skipped.dropped.size());
    if (!skipped.unreadable.empty()) std::printf(", %zu unreadable", skipped.unreadable.size());
    if (duplicateCount(result))
        std::printf(", %d duplicate%s placed once", duplicateCount(result), duplicateCount(result) == 1 ? "" : "s");
    std::printf(", %.2f s\n", seconds);
    for (const PageResult& page : result.pages)
        std::printf("  %-24s %5d x %-5d %-10s %3zu texture%s  fill %5.1f%%\n", page.file.c_str(), page.width,
                    page.height, page.format.c_str(), page.textures.size(), page.textures.size() == 1 ? " " : "s",
                    fillRatio(page) * 100.0);
    for (const GroupResult& group : result.groups) {
        // The pages' own size first: the limits are only what the layout was allowed.
        std::printf("  group %s: %d page%s of up to %d x %d, page limits %d x %d", group.name.c_str(), group.pages,
                    group.pages == 1 ? "" : "s", group.largestWidth, group.largestHeight, group.width, group.height);
        if (group.tried) std::printf(" (fitted, %d tried)", group.tried);
        std::printf("\n");
    }
    if (options.dryRun) {
        std::printf("dry run: no page or index file written\n");
        return;
    }
    std::printf("index: %s\n", options.indexFile.c_str());
    if (!options.jsonFile.empty()) std::printf("json: %s\n", options.jsonFile.c_str());
    if (options.preview) std::printf("preview: %spreview/index.html\n", options.outputDirectory.c_str());
}

// Builds the groups; false when one failed.
bool buildByGroup(ITextureAtlasConfiguration& configuration, const BuildOptions& options,
                  std::vector<GroupOutcome>& outcomes) {
    GroupRunOptions run;
    run.texturePath = configuration.getTexturePath();
    run.outputDirectory = options.outputDirectory;
    run.sortMode = options.sortMode;
    run.jobs = options.jobs;
    run.fit = options.fit;
    run.dedup = options.dedup;
    run.dryRun = options.dryRun;
    run.extrude = options.extrude;
    run.strict = options.strict;
    run.progress = !options.quiet && !options.dryRun;
    run.finalDirectory = options.finalDirectory;
    run.previews = options.previews;
    std::vector<GroupJob> jobs = groupJobs(configuration);
    outcomes = runGroups(jobs, run);
    if (outcomes.size() != jobs.size()) return false;
    for (const GroupOutcome& outcome : outcomes)
        if (!outcome.ok) return false;
    // What was chosen is what a saved configuration must say.
    size_t number = 0;
    for (auto group = configuration.beginGroups(); group != configuration.endGroups(); ++group, ++number) {
        group->rect.width = outcomes[number].width;
        group->rect.height = outcomes[number].height;
    }
    return true;
}

// The page limits each group was built with, for the summary and the JSON.
void addGroupResults(ITextureAtlasConfiguration& configuration, const std::vector<GroupOutcome>& outcomes,
                     AtlasResult& result) {
    auto group = configuration.beginGroups();
    for (const GroupOutcome& outcome : outcomes) {
        GroupResult chosen;
        chosen.name = group == configuration.endGroups() ? "" : (group++)->name;
        chosen.width = pageLimit(outcome.width);
        chosen.height = pageLimit(outcome.height);
        chosen.tried = outcome.tried;
        chosen.duplicates = outcome.textures.merged;
        chosen.pages = static_cast<int>(outcome.pages.size());
        for (const texatlas_layout::LaidOutPage& page : outcome.pages) {
            chosen.largestWidth = std::max(chosen.largestWidth, page.width);
            chosen.largestHeight = std::max(chosen.largestHeight, page.height);
        }
        result.groups.push_back(chosen);
    }
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
    manifest.inputs.push_back(std::string("fit ") + (options.fit ? "yes" : "no"));
    manifest.inputs.push_back(std::string("dedup ") + (options.dedup ? "yes" : "no"));
    manifest.inputs.push_back(std::string("extrude ") + (options.extrude ? "yes" : "no"));
    manifest.inputs.push_back("save " + options.saveConfig);
    std::string manifestFile = manifestPath(options.indexFile);
    Manifest previous;
    bool hadOutput = readManifest(manifestFile, previous, !options.force && !options.dryRun);
    if (!options.dryRun) removeAbandonedStaging(options.outputDirectory);
    if (!options.dryRun && !options.force && hadOutput && upToDate(previous, manifest)) {
        // What the build that is kept left out is still left out: said again,
        // so that an up-to-date run warns of what a fresh one would.
        for (const Manifest::LeftOut& texture : previous.leftOut)
            reportWarning(texture.name, "left out by the last build: " + texture.reason);
        if (!options.quiet) std::printf("up to date: %s (--force rebuilds)\n", options.indexFile.c_str());
        return options.strict && messageCounts().warnings ? kExitLibraryFailure : kExitSuccess;
    }
    std::vector<std::string>().swap(previous.inputs);  // only its outputs matter from here on
    rememberLayoutLimits(configuration);
    bool hasGroups = configuration.beginGroups() != configuration.endGroups();
    std::vector<GroupOutcome> outcomes;
    AtlasResult result;
    std::string error;

    if (options.dryRun) {
        if (hasGroups && !buildByGroup(configuration, options, outcomes)) return finish("layout failed");
        result = builtResult(outcomes);
        addGroupResults(configuration, outcomes, result);
        if (!options.jsonFile.empty() && !writeTextFile(options.jsonFile, layoutJson(result), options.jsonFile, error))
            return finish(error.c_str());
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!options.quiet) printSummary(result, options, seconds);
        return kExitSuccess;
    }

    // Everything is written into the staging directory first.
    Staging staging;
    if (!openStaging(options.outputDirectory, staging, error)) return finish(error.c_str());
    BuildOptions staged = options;
    staged.outputDirectory = staging.directory;
    staged.finalDirectory = options.outputDirectory;
    staged.indexFile = stageFile(staging, ".index", options.indexFile);
    configuration.setOutputPath(staged.outputDirectory.c_str());

    // A configuration without groups has nothing to place.
    if (!hasGroups) return abandon(staging, "no texture was placed", hadOutput);
    // Page previews are written beside the build, from the pages as they are saved.
    std::string previewDirectory = staged.outputDirectory + "preview/";
    std::unique_ptr<PagePreviews> previews;
    if (options.preview) {
        if (!prepareDirectory(previewDirectory, error)) return abandon(staging, error, hadOutput);
        previews = std::make_unique<PagePreviews>(previewDirectory, options.jobs > 1);
        staged.previews = previews.get();
    }
    if (!buildByGroup(configuration, staged, outcomes)) {
        for (const GroupOutcome& outcome : outcomes)
            if (!outcome.saveFailure.empty()) return abandon(staging, outcome.saveFailure, hadOutput);
        return abandon(staging, "build failed", hadOutput);
    }
    if (!writeTextFile(staged.indexFile, indexText(options.indexFile, outcomes), options.indexFile, error))
        return abandon(staging, error, hadOutput);
    result = builtResult(outcomes);
    if (placedTextureCount(result) == 0) return abandon(staging, "no texture was placed", hadOutput);
    for (const PageResult& page : result.pages) stageFile(staging, page.file, options.outputDirectory + page.file);
    addGroupResults(configuration, outcomes, result);

    if (!options.saveConfig.empty()) {
        // Written after the layout: it carries the page limits that were chosen.
        std::string stagedConfig = stageFile(staging, ".config", options.saveConfig);
        configuration.save(stagedConfig.c_str());
        if (!std::ifstream(stagedConfig)) return abandon(staging, "cannot write " + options.saveConfig, hadOutput);
    }
    if (!options.jsonFile.empty()) {
        staged.jsonFile = stageFile(staging, ".json", options.jsonFile);
        if (!writeTextFile(staged.jsonFile, layoutJson(result), options.jsonFile, error))
            return abandon(staging, error, hadOutput);
    }
    if (options.preview) {
        if (!previews->finish(error) || !writeTextFile(previewDirectory + "index.html", previewHtml(result),
                                                       options.outputDirectory + "preview/index.html", error))
            return abandon(staging, error, hadOutput);
        std::error_code code;
        std::vector<std::string> previews;
        for (fs::directory_iterator entry(previewDirectory, code), end; !code && entry != end; entry.increment(code))
            previews.push_back(entry->path().filename().string());
        std::sort(previews.begin(), previews.end());
        for (const std::string& file : previews)
            stageFile(staging, "preview/" + file, options.outputDirectory + "preview/" + file);
    }
    if (options.strict && messageCounts().warnings) return abandon(staging, "--strict: there were warnings", hadOutput);

    for (const auto& move : staging.moves) manifest.outputs.push_back(move.second);
    for (const SkippedTexture& texture : skippedTextures().dropped)
        manifest.leftOut.push_back(Manifest::LeftOut{true, texture.name, texture.reason});
    for (const SkippedTexture& texture : skippedTextures().unreadable)
        manifest.leftOut.push_back(Manifest::LeftOut{false, texture.name, texture.reason});
    if (!writeTextFile(stageFile(staging, ".manifest", manifestFile), manifestText(manifest), manifestFile, error))
        return abandon(staging, error, hadOutput);
    if (!commitStaging(staging, manifestFile, previous.outputs, error)) return finish(error.c_str());

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!options.quiet) {
        printSummary(result, options, seconds);
        if (!options.saveConfig.empty())
            std::printf("configuration: %s (texture directory %s)\n", options.saveConfig.c_str(),
                        *configuration.getTexturePath() ? configuration.getTexturePath() : ".");
    }
    return kExitSuccess;
}
