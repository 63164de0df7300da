// The page format names that the library's page generation understands.
#pragma once

#include <string>

// True when the page generation turns `name` into a format: the Direct3D 9
// names without D3DFMT_, in any letter case (it upper-cases before looking up).
bool isKnownPageFormat(const std::string& name);

// "R8G8B8, A8R8G8B8, ..." in the library table's order, for messages and help.
std::string knownPageFormatList();
