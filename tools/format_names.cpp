#include "format_names.h"

#include <cctype>

namespace {

// CxV8U8 is left out: upper-cased it names no format, so no page can have it.
const char* const kPageFormats[] = {"A8R8G8B8",      "X8R8G8B8",     "R8G8B8",        "R5G6B5",   "X1R5G5B5",
                                    "A1R5G5B5",      "A4R4G4B4",     "R3G3B2",        "A8",       "A8R3G3B2",
                                    "X4R4G4B4",      "A2B10G10R10",  "A8B8G8R8",      "X8B8G8R8", "G16R16",
                                    "A2R10G10B10",   "A16B16G16R16", "A8P8",          "P8",       "L8",
                                    "A8L8",          "A4L4",         "V8U8",          "L6V5U5",   "X8L8V8U8",
                                    "Q8W8V8U8",      "V16U16",       "A2W10V10U10",   "L16",      "Q16W16V16U16",
                                    "R16F",          "G16R16F",      "A16B16G16R16F", "R32F",     "G32R32F",
                                    "A32B32G32R32F", "UYVY",         "R8G8_B8G8",     "YUY2",     "G8R8_G8B8",
                                    "DXT1",          "DXT2",         "DXT3",          "DXT4",     "DXT5"};

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool isKnownPageFormat(const std::string& name) {
    std::string wanted = upper(name);
    for (const char* known : kPageFormats)
        if (wanted == known) return true;
    return false;
}

std::string knownPageFormatList() {
    std::string list;
    for (const char* known : kPageFormats) list += (list.empty() ? "" : ", ") + std::string(known);
    return list;
}
