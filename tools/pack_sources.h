// What pack makes of the files it found: the names a configuration can
// hold, the one texture directory the library reads them from, and the
// tool's own outputs, which are never sources.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "image_scan.h"

// A path as the user would write it: "./a.png" is "a.png".
std::string shownPath(const std::string& path);

// Why a configuration file could not name a texture, or "" when it can: a
// line is one name (and " border"), at most 1022 characters.
std::string unnameable(const std::string& name);

// The one texture directory the library reads the sources from. Sources from
// several folders keep the names relative to their own folder: they are
// reached through a folder of links beside the output (hidden, and the same
// on every run, so that an unchanged build stays up to date; a dry run's lie
// in a temporary folder), one link a name. Two sources that would take one
// name are refused, both named.
bool textureDirectoryFor(const std::vector<FoundImage>& images, const std::string& outputDirectory, bool dryRun,
                         std::string& directory, std::string& error);

// What this run and the last one into the same index write: the output
// folder when it lies inside an input, the index, its manifest, the JSON, the
// saved configuration, the previews and every file the last run's manifest
// names.
std::set<std::filesystem::path> ownOutputs(const std::string& outputDirectory, const std::string& indexFile,
                                           const std::string& jsonFile, const std::string& saveConfig);
