#include "config/paths.h"

#include <algorithm>

namespace textureatlas {

void normalizeDirectory(std::string& path) {
    // Empty stays empty: it means the process's current directory.
    if (path.empty() || path.back() == '/' || path.back() == '\\') return;
    path += '/';
}

void toForwardSlashes(std::string& name) { std::replace(name.begin(), name.end(), '\\', '/'); }

}  // namespace textureatlas
