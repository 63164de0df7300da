#pragma once

#include <textureatlas/types.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace textureatlas {

// The index file's text for `pages`; its first line names `fileName`. On a
// stream so that a test or a fuzzer can drive it without files.
void writeIndex(std::ostream& out, const std::string& fileName, const std::vector<AtlasGroup>& pages);

// Its two parts: the header lines, and one texture's line. The stream's
// locale is the caller's to set.
void writeIndexHeader(std::ostream& out, const std::string& fileName);
void writeIndexEntry(std::ostream& out, const AtlasGroup& page, const TextureEntry& texture);

}  // namespace textureatlas
