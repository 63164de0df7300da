// Direct3D 9 pixel format names as they travel through configuration
// records and files ("A8R8G8B8", "DXT1", ...).
#pragma once

#include <d3d9.h>

#include <string>

namespace textureatlas {

// The table's name for `format`, or "UNKNOWN" for any value not in it.
std::string formatName(D3DFORMAT format);

// The value whose name equals `name` exactly (case-sensitive), else D3DFMT_UNKNOWN.
D3DFORMAT formatFromName(const std::string& name);

// True for DXT1 to DXT5.
bool isDXTFormat(D3DFORMAT format);

// Copy with a-z turned into A-Z; every other byte unchanged.
std::string toUpper(std::string text);

}  // namespace textureatlas
