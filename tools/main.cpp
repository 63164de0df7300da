// texatlas: builds texture atlases from the command line through the
// library's public interfaces, as a host application would.
#include <textureatlas/textureatlas.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "build.h"
#include "checks.h"
#include "cli.h"
#include "device.h"
#include "fit.h"
#include "image_scan.h"
#include "index_file.h"
#include "manifest.h"
#include "messages.h"
#include "owned.h"
#include "pack_sources.h"
#include "preview.h"
#include "probe.h"
#include "reasons.h"
#include "report.h"
#include "source_files.h"

namespace fs = std::filesystem;
using textureatlas::ITextureAtlasConfiguration;

namespace {

struct OutputArguments {
    std::string output = "out";
    std::string index;
    std::string sort = "area";
    std::string json;
    bool preview = false;
    bool force = false;
    bool quiet = false;
    bool strict = false;
    bool noDedup = false;
    bool dryRun = false;
    bool extrude = false;
    int jobs = 0;           // 0: one per core
    std::string mipLevels;  // "full", a count, or empty: as the configuration says
};

struct PackArguments {
    std::vector<std::string> directories;
    std::string name = "atlas";
    int width = 0;
    int height = 0;
    std::string format = "A8R8G8B8";  // one page format for every texture; "source" keeps each one's own
    int border = 0;
    bool noFit = false;
    std::string saveConfig;
};

void addOutputOptions(CLI::App& command, OutputArguments& arguments) {
    command.add_option("-o,--output", arguments.output, "Directory of the page files")->capture_default_str();
    command.add_option("-i,--index", arguments.index, "Index file (default: <output>/<name>.txt)");
    command.add_option("-s,--sort", arguments.sort, "Order of placement: area or longest (side)")
        ->check(CLI::IsMember({"area", "longest"}))
        ->capture_default_str();
    command.add_option("--json", arguments.json, "Also write the layout as JSON to this file");
    command.add_flag("--preview", arguments.preview, "Also draw <output>/preview/*.png and index.html");
    command.add_flag("--force", arguments.force, "Rebuild even when nothing changed");
    command.add_flag("-q,--quiet", arguments.quiet, "Print only warnings and errors");
    command.add_flag("--strict", arguments.strict, "Exit with 1 on any warning (nothing is written)");
    command.add_flag("--no-dedup", arguments.noDedup, "Place every file, also files with identical contents");
    command
        .add_option("-j,--jobs", arguments.jobs,
                    "Threads in all: groups built at once, the rest compress blocks (0: one per core)")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    command.add_flag("--dry-run", arguments.dryRun, "Lay out and report (and write --json), but write no page");
    command.add_option("-m,--mip-levels", arguments.mipLevels,
                       "Mip levels of every page: a count, or full for the whole chain down to 1 x 1 (0: as many as "
                       "the textures have)");
    command.add_flag("--extrude", arguments.extrude,
                     "Fill bordered textures' margins with their edge texels and put each mip level's image where "
                     "the index says (the library leaves margins empty)");
}

ConfigurationPointer newConfiguration() {
    ConfigurationPointer configuration(ITextureAtlasConfiguration::create());
    if (configuration) {
        configuration->setErrorCallback(printLibraryError);
        configuration->setWarningCallback(printLibraryWarning);
    }
    return configuration;
}

int badInput(const std::string& message) {
    reportError("", message);
    return kExitBadInput;
}

// The findings were reported line by line; this closes them with a verdict.
int configurationRefused(const CheckedConfiguration& checked) {
    reportError(checked.file, std::to_string(checked.errors) + " problem" + (checked.errors == 1 ? "" : "s") +
                                  " found before any work; nothing was built");
    return kExitBadInput;
}

// -m: "full", or a count (a negative one means 0 to the library, and the
// checks say so). False when it is neither.
bool parseMipLevels(const std::string& text, bool& full, int& count) {
    full = text == "full";
    if (full) return true;
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || value < INT_MIN || value > INT_MAX) return false;
    count = static_cast<int>(value);
    return true;
}

// Sets every group's mip levels as -m asks, warning where the library takes
// the count to mean something else.
void applyMipLevels(const std::string& text, ITextureAtlasConfiguration& configuration) {
    bool full = false;
    int count = 0;
    if (text.empty() || !parseMipLevels(text, full, count)) return;  // refused before any work
    if (!full && !mipLevelsWarning("--mip-levels", count).empty())
        reportWarning("", mipLevelsWarning("--mip-levels", count));
    for (auto group = configuration.beginGroups(); group != configuration.endGroups(); ++group)
        group->mipLevels = full ? fullMipChain(group->rect.width, group->rect.height) : count;
}

// Fills the options shared by build and pack; false with `error` set when
// an output location is unusable.
bool resolveOutput(const OutputArguments& arguments, const std::string& defaultName, BuildOptions& options,
                   Manifest& manifest, std::string& error) {
    options.outputDirectory = asDirectory(arguments.output);
    options.indexFile = arguments.index.empty() ? options.outputDirectory + defaultName + ".txt" : arguments.index;
    options.jsonFile = arguments.json;
    options.sortMode = arguments.sort == "longest" ? 1 : 0;
    options.preview = arguments.preview;
    options.force = arguments.force;
    options.quiet = arguments.quiet;
    options.strict = arguments.strict;
    options.dedup = !arguments.noDedup;
    options.dryRun = arguments.dryRun;
    options.extrude = arguments.extrude;
    options.jobs =
        arguments.jobs > 0 ? arguments.jobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::string indexDirectory = fs::path(options.indexFile).parent_path().string();
    // A dry run writes no page and no index, so it makes no folder for them.
    if (!options.dryRun &&
        (!prepareDirectory(options.outputDirectory, error) || !prepareDirectory(asDirectory(indexDirectory), error)))
        return false;
    if (!options.jsonFile.empty() &&
        !prepareDirectory(asDirectory(fs::path(options.jsonFile).parent_path().string()), error))
        return false;
    if ((!options.dryRun && (!checkWritableFile(options.indexFile, error) ||
                             !checkWritableFile(manifestPath(options.indexFile), error))) ||
        (!options.jsonFile.empty() && !checkWritableFile(options.jsonFile, error)))
        return false;
    manifest.inputs.push_back("output " + options.outputDirectory);
    manifest.inputs.push_back("index " + options.indexFile);
    manifest.inputs.push_back("sort " + std::to_string(options.sortMode));
    manifest.inputs.push_back("json " + options.jsonFile);
    manifest.inputs.push_back(std::string("preview ") + (options.preview ? "yes" : "no"));
    return true;
}

int runBuildCommand(const std::string& configFile, std::string textures, const OutputArguments& arguments, bool fit) {
    std::error_code code;
    if (!fs::is_regular_file(configFile, code) || !std::ifstream(configFile))
        return badInput("cannot read configuration file " + configFile);
    if (textures.empty()) textures = fs::path(configFile).parent_path().string();
    {
        // Gone before the build: the memory it leaves is the build's.
        CheckedConfiguration checked;
        if (!checkConfigurationFile(configFile, checked))
            return badInput("cannot read configuration file " + configFile);
        if (checked.errors) return configurationRefused(checked);
        if (!textures.empty() && !fs::is_directory(textures, code))
            return badInput("texture directory " + textures + ": no such directory");
        setReasonTextureDirectory(asDirectory(textures));
        std::vector<std::pair<std::string, int>> sourceLines;
        size_t count = 0;
        for (const CheckedGroup& group : checked.groups) count += group.textures.size();
        sourceLines.reserve(count);
        for (CheckedGroup& group : checked.groups)
            for (CheckedTexture& texture : group.textures) {
                std::replace(texture.name.begin(), texture.name.end(), '\\', '/');  // as the library names it
                sourceLines.emplace_back(std::move(texture.name), texture.line);
            }
        setSourceLines(configFile, std::move(sourceLines));
    }
    BuildOptions options;
    Manifest manifest;
    manifest.inputs.push_back("command build");
    manifest.inputs.push_back("textures " + asDirectory(textures));
    std::string error;
    if (!resolveOutput(arguments, fs::path(configFile).stem().string(), options, manifest, error))
        return badInput(error);
    options.fit = fit;

    ConfigurationPointer configuration = newConfiguration();
    if (!configuration) return badInput("out of memory");
    configuration->setTexturePath(asDirectory(textures).c_str());
    configuration->setOutputPath(options.outputDirectory.c_str());
    bool loaded;
    {
        SourceRecording recording;  // the manifest and duplicate finding use the probes' reads
        loaded = configuration->load(configFile.c_str());
    }
    if (!loaded) {
        reportError(configFile, "could not be read to the end");
        return kExitLibraryFailure;
    }
    applyMipLevels(arguments.mipLevels, *configuration);
    return runBuild(*configuration, options, manifest);
}

int runPackCommand(const PackArguments& pack, const OutputArguments& arguments) {
    bool sourceFormats = pack.format == "source";
    if ((!sourceFormats && !checkPageFormat("-f", pack.format)) || !checkGroupName("-n", pack.name))
        return kExitBadInput;
    if (pack.border < 0) return badInput("--border " + std::to_string(pack.border) + " is negative");
    for (const std::string& warning :
         {pageLimitWarning("--width", pack.width), pageLimitWarning("--height", pack.height)})
        if (!warning.empty()) reportWarning("", warning);
    std::string error;
    BuildOptions options;
    Manifest manifest;
    manifest.inputs.push_back("command pack");
    for (const std::string& directory : pack.directories) manifest.inputs.push_back("directory " + directory);
    if (!resolveOutput(arguments, pack.name, options, manifest, error)) return badInput(error);
    std::vector<FoundImage> images;
    std::vector<std::string> unreadTypes;
    if (!findImages(pack.directories,
                    ownOutputs(options.outputDirectory, options.indexFile, options.jsonFile, pack.saveConfig), images,
                    unreadTypes, error))
        return badInput(error);
    if (images.empty()) return badInput("no image files found");
    options.fit = !pack.noFit;
    options.saveConfig = pack.saveConfig;
    const std::string format = sourceFormats ? "" : pack.format;

    std::string textureDirectory;
    if (!textureDirectoryFor(images, options.outputDirectory, options.dryRun, textureDirectory, error))
        return badInput(error);

    ConfigurationPointer configuration = newConfiguration();
    if (!configuration) return badInput("out of memory");
    configuration->setTexturePath(textureDirectory.c_str());
    setReasonTextureDirectory(textureDirectory);
    configuration->setOutputPath(options.outputDirectory.c_str());
    configuration->addGroup(pack.name.c_str(), pack.width, pack.height, format.c_str(), 0, pack.border);
    applyMipLevels(arguments.mipLevels, *configuration);
    // A texture that a configuration file cannot name is left out, so that
    // the saved configuration always builds the same pages and index.
    {
        SourceRecording recording;  // the manifest and duplicate finding use the probes' reads
        for (const FoundImage& image : images) {
            std::string why = unnameable(image.name);
            if (why.empty())
                configuration->addTexture(image.name.c_str(), pack.border > 0);
            else
                reportWarning(shownPath(image.directory + image.name),
                              "left out: " + why + " cannot stand in a configuration file");
        }
    }
    for (const std::string& file : unreadTypes)
        reportWarning(shownPath(file), "left out: " + imageTypeName(file) +
                                           " files are not read (BMP, JPEG, PNG, TGA, DDS, PPM/PGM, HDR and PFM are)");
    int status = runBuild(*configuration, options, manifest);
    // A dry run's links lie in a folder of their own outside the output.
    if (options.dryRun && textureDirectory != images.front().directory) {
        std::error_code code;
        fs::remove_all(textureDirectory, code);
    }
    return status;
}

int runPreviewCommand(const std::string& indexFile, std::string pages, std::string output) {
    if (pages.empty()) pages = fs::path(indexFile).parent_path().string();
    pages = asDirectory(pages);
    output = output.empty() ? pages + "preview/" : asDirectory(output);
    AtlasResult result;
    std::string error;
    if (!readIndexFile(indexFile, result, error) || !readPageFiles(pages, result, error) ||
        !prepareDirectory(output, error))
        return badInput(error);
    // The left-out lists, as the build that wrote the index recorded them.
    Manifest manifest;
    if (readManifest(manifestPath(indexFile), manifest))
        for (const Manifest::LeftOut& texture : manifest.leftOut)
            (texture.dropped ? skippedTextures().dropped : skippedTextures().unreadable)
                .push_back(SkippedTexture{texture.name, texture.reason});
    if (!writePreviews(result, pages, output, std::max(1u, std::thread::hardware_concurrency()), error))
        return badInput(error);
    std::printf("preview: %sindex.html (%zu page%s)\n", output.c_str(), result.pages.size(),
                result.pages.size() == 1 ? "" : "s");
    return kExitSuccess;
}

int runCheckCommand(const std::string& configFile, std::string textures) {
    CheckedConfiguration checked;
    if (!checkConfigurationFile(configFile, checked)) return badInput("cannot read configuration file " + configFile);
    if (textures.empty()) textures = fs::path(configFile).parent_path().string();
    size_t textureCount = 0;
    for (const CheckedGroup& group : checked.groups) textureCount += group.textures.size();
    int unreadable = checkSources(checked, asDirectory(textures));
    if (unreadable < 0) return kExitLibraryFailure;  // no device to read them with: said already
    std::printf("%s: %zu group%s, %zu texture%s, %d error%s, %d unreadable source%s, %d warning%s\n",
                configFile.c_str(), checked.groups.size(), checked.groups.size() == 1 ? "" : "s", textureCount,
                textureCount == 1 ? "" : "s", checked.errors, checked.errors == 1 ? "" : "s", unreadable,
                unreadable == 1 ? "" : "s", messageCounts().warnings, messageCounts().warnings == 1 ? "" : "s");
    if (checked.errors) return kExitBadInput;
    return unreadable ? kExitLibraryFailure : kExitSuccess;
}

// The header's facts, once the pixels have decoded too: a file whose header
// reads and whose pixels do not cannot be used either.
int runInfoCommand(const std::vector<std::string>& files) {
    ImageProbe probe;
    if (!probe.ok()) return badInput("out of memory");
    SoftwareDevice device;
    if (!device.get()) {
        reportError("", device.error());
        return kExitLibraryFailure;
    }
    int status = kExitSuccess;
    for (const std::string& file : files) {
        ImageFacts facts;
        std::string reason;
        if (probe.probe(file, facts, reason) && !(reason = decodeFailure(device.get(), file)).empty()) {
            reportError(file, "cannot read: " + reason);
            if (status == kExitSuccess) status = kExitLibraryFailure;  // a header that fails is bad input, and says so
        } else if (reason.empty()) {
            std::printf("%s: %d x %d, %s, %d mip level%s\n", file.c_str(), facts.width, facts.height,
                        facts.format.c_str(), facts.mipLevels, facts.mipLevels == 1 ? "" : "s");
        } else {
            reportError(file, "cannot read: " + reason);
            status = kExitBadInput;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef __GLIBC__
    // Pages and their levels are allocations of up to 16 MiB, made and freed
    // once per page. glibc maps each afresh and hands it back, so every page
    // faults its memory in again: a quarter of the library thread's time in
    // one A8R8G8B8 group. A short-lived tool keeps the memory for the next
    // page instead (a few MB more at its peak: one page is live per group).
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    // Decoded sources are made on the layer's threads and freed on the
    // library's: with one arena, the memory a freed page leaves is the next
    // decode's, instead of each thread's arena growing to its own peak.
    mallopt(M_ARENA_MAX, 1);
#endif
    CLI::App app{"Packs textures onto atlas pages: DDS pages, an index file, optional JSON and previews."};
    app.require_subcommand(1);

    std::string configFile, textures;
    OutputArguments buildOutput;
    CLI::App* build = app.add_subcommand("build", "Build the atlas that a configuration file describes");
    build->add_option("config", configFile, "Configuration file")->required();
    build->add_option("-t,--textures", textures,
                      "Directory the texture names are relative to (default: the "
                      "configuration file's directory)");
    bool fit = false;
    build->add_flag("--fit", fit, "Choose each group's page limits: fewest pages, then least area");
    addOutputOptions(*build, buildOutput);

    PackArguments pack;
    OutputArguments packOutput;
    CLI::App* packCommand =
        app.add_subcommand("pack", "Pack image files, and every image under directories, into one group");
    packCommand->add_option("directories", pack.directories, "Image files and directories to search")->required();
    packCommand->add_option("-n,--name", pack.name, "Group name; pages are <name>0.dds, <name>1.dds, ...")
        ->capture_default_str();
    packCommand->add_option("--width", pack.width, "Page width limit (0: the largest, 2048)")->capture_default_str();
    packCommand->add_option("--height", pack.height, "Page height limit (0: the largest, 2048)")->capture_default_str();
    packCommand
        ->add_option("-f,--format", pack.format,
                     "Page format, e.g. DXT5; source: each texture's own, on pages of their own")
        ->capture_default_str();
    packCommand->add_option("-b,--border", pack.border, "Empty border around every texture, in texels")
        ->check(CLI::NonNegativeNumber)
        ->capture_default_str();
    packCommand->add_flag("--no-fit", pack.noFit, "Keep the page limits as given instead of fitting them");
    packCommand->add_option("--save-config", pack.saveConfig, "Write the configuration that was used");
    addOutputOptions(*packCommand, packOutput);

    std::string indexFile, pages, previewOutput;
    CLI::App* preview = app.add_subcommand("preview", "Draw PNG previews and an HTML page of a built atlas");
    preview->add_option("index", indexFile, "Index file of the atlas")->required();
    preview->add_option("-p,--pages", pages, "Directory of the page files (default: the index file's)");
    preview->add_option("-o,--output", previewOutput, "Directory of the previews (default: <pages>/preview)");

    std::string checkFile, checkTextures;
    CLI::App* check = app.add_subcommand("check", "Check a configuration and decode every source, building nothing");
    check->add_option("config", checkFile, "Configuration file")->required();
    check->add_option("-t,--textures", checkTextures, "Directory the texture names are relative to");

    std::vector<std::string> infoFiles;
    CLI::App* info = app.add_subcommand("info", "Show what the image reader sees in each file");
    info->add_option("files", infoFiles, "Image files")->required();

    applyConventions(app);
    int parsed = parseArguments(app, argc, argv);
    if (parsed >= 0) return parsed;

    for (const OutputArguments* given : {&buildOutput, &packOutput}) {
        bool full = false;
        int count = 0;
        if (!given->mipLevels.empty() && !parseMipLevels(given->mipLevels, full, count))
            return badInput("--mip-levels '" + given->mipLevels + "': give a count or full");
    }
    if (*build) return runBuildCommand(configFile, textures, buildOutput, fit);
    if (*packCommand) return runPackCommand(pack, packOutput);
    if (*preview) return runPreviewCommand(indexFile, pages, previewOutput);
    if (*check) return runCheckCommand(checkFile, checkTextures);
    return runInfoCommand(infoFiles);
}
