#pragma once

#include <string>

namespace textureatlas {

// Appends '/' unless the path is empty or already ends in '/' or '\'.
void normalizeDirectory(std::string& path);

// Every backslash becomes a forward slash.
void toForwardSlashes(std::string& name);

}  // namespace textureatlas
