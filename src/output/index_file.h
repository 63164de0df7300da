#pragma once

#include <textureatlas/types.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace textureatlas {

// The index file's text for `pages`; its first line names `fileName`. On a
// stream so that a test or a fuzzer can drive it without files.
void writeIndex(std::ostream& out, const std::string& fileName, const std::vector<AtlasGroup>& pages);

}  // namespace textureatlas
