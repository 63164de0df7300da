// One build: lay the configuration out, write the pages and the index file,
// then the optional JSON and previews, a summary and the manifest.
#pragma once

#include <string>

#include "manifest.h"

namespace textureatlas {
class ITextureAtlasConfiguration;
}

enum ExitCode { kExitSuccess = 0, kExitLibraryFailure = 1, kExitBadInput = 2 };

class PagePreviews;

struct BuildOptions {
    std::string outputDirectory;  // ends in '/' unless empty
    PagePreviews* previews = nullptr;  // page previews written while the build goes on
    std::string finalDirectory;   // where the pages end up when outputDirectory is a staging one
    std::string indexFile;
    std::string jsonFile;  // empty: none
    int sortMode = 0;      // 0 area, 1 longest side
    bool preview = false;
    bool force = false;
    bool quiet = false;
    bool strict = false;     // warnings fail the build
    bool fit = false;        // choose each group's page limits
    bool dedup = true;       // place files with identical contents once
    int jobs = 1;            // groups built at the same time
    bool dryRun = false;     // lay out and report, write no page or index
    bool extrude = false;    // fill bordered textures' margins, levels where the index says
    std::string saveConfig;  // empty: none; else the configuration with the limits used
};

std::string asDirectory(std::string path);

// Creates `directory` (and its parents) if needed and checks that files can
// be made in it.
bool prepareDirectory(const std::string& directory, std::string& error);

// `inputs` holds what the caller knows about its inputs (command, options);
// the configuration's text and its sources are added here.
int runBuild(textureatlas::ITextureAtlasConfiguration& configuration, const BuildOptions& options, Manifest inputs);
