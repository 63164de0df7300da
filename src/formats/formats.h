// Direct3D 9 pixel format names as they travel through configuration
// records and files ("A8R8G8B8", "DXT1", ...).
#pragma once

#include <d3d9.h>

#include <cstddef>
#include <string>

namespace textureatlas {

// The table's name for `format`, or "UNKNOWN" for any value not in it.
std::string formatName(D3DFORMAT format);

// The value whose name equals `name` exactly (case-sensitive), else D3DFMT_UNKNOWN.
D3DFORMAT formatFromName(const std::string& name);

// The name of the table's row `index`, or null past the last row: the table
// in its order, for whoever lists the names.
const char* formatNameAt(std::size_t index);

// True for DXT1 to DXT5.
bool isDXTFormat(D3DFORMAT format);

// Copy with a-z turned into A-Z; every other byte unchanged.
std::string toUpper(std::string text);

}  // namespace textureatlas
