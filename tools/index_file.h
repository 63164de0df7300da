// The index file's format, for the tool: the index a build writes, made by
// the library's own index writer from the layout the tool already has, and
// the reading of an index written before (for `preview`).
#pragma once

#include <string>
#include <vector>

#include "atlas_result.h"

struct GroupOutcome;

// The pages and textures the groups' layouts placed, duplicates listed right
// after the texture whose place they share, as in the index file. Page
// sizes, formats and mip levels are the layout's, or the layer's once a page
// has been saved.
AtlasResult builtResult(const std::vector<GroupOutcome>& outcomes);

// The index of all groups, its first line naming `fileName`: what the
// library writes for the same configuration built in one atlas.
std::string indexText(const std::string& fileName, const std::vector<GroupOutcome>& outcomes);

// Parses an index file; pages are grouped in file order. The page sizes are
// left 0: readPageFiles fills them in.
bool readIndexFile(const std::string& indexPath, AtlasResult& result, std::string& error);

// Probes every page's DDS file in `pageDirectory` and turns the texture
// coordinates into texel rectangles.
bool readPageFiles(const std::string& pageDirectory, AtlasResult& result, std::string& error);
