#include "formats/formats.h"

namespace textureatlas {

namespace {

struct FormatRow {
    const char* name;
    D3DFORMAT value;
};

const FormatRow kFormats[] = {
    {"R8G8B8", D3DFMT_R8G8B8},
    {"A8R8G8B8", D3DFMT_A8R8G8B8},
    {"X8R8G8B8", D3DFMT_X8R8G8B8},
    {"R5G6B5", D3DFMT_R5G6B5},
    {"X1R5G5B5", D3DFMT_X1R5G5B5},
    {"A1R5G5B5", D3DFMT_A1R5G5B5},
    {"A4R4G4B4", D3DFMT_A4R4G4B4},
    {"R3G3B2", D3DFMT_R3G3B2},
    {"A8", D3DFMT_A8},
    {"A8R3G3B2", D3DFMT_A8R3G3B2},
    {"X4R4G4B4", D3DFMT_X4R4G4B4},
    {"A2B10G10R10", D3DFMT_A2B10G10R10},
    {"A8B8G8R8", D3DFMT_A8B8G8R8},
    {"X8B8G8R8", D3DFMT_X8B8G8R8},
    {"G16R16", D3DFMT_G16R16},
    {"A2R10G10B10", D3DFMT_A2R10G10B10},
    {"A16B16G16R16", D3DFMT_A16B16G16R16},
    {"A8P8", D3DFMT_A8P8},
    {"P8", D3DFMT_P8},
    {"L8", D3DFMT_L8},
    {"A8L8", D3DFMT_A8L8},
    {"A4L4", D3DFMT_A4L4},
    {"V8U8", D3DFMT_V8U8},
    {"L6V5U5", D3DFMT_L6V5U5},
    {"X8L8V8U8", D3DFMT_X8L8V8U8},
    {"Q8W8V8U8", D3DFMT_Q8W8V8U8},
    {"V16U16", D3DFMT_V16U16},
    {"A2W10V10U10", D3DFMT_A2W10V10U10},
    {"L16", D3DFMT_L16},
    {"Q16W16V16U16", D3DFMT_Q16W16V16U16},
    {"R16F", D3DFMT_R16F},
    {"G16R16F", D3DFMT_G16R16F},
    {"A16B16G16R16F", D3DFMT_A16B16G16R16F},
    {"R32F", D3DFMT_R32F},
    {"G32R32F", D3DFMT_G32R32F},
    {"A32B32G32R32F", D3DFMT_A32B32G32R32F},
    {"CxV8U8", D3DFMT_CxV8U8},
    {"UYVY", D3DFMT_UYVY},
    {"R8G8_B8G8", D3DFMT_R8G8_B8G8},
    {"YUY2", D3DFMT_YUY2},
    {"G8R8_G8B8", D3DFMT_G8R8_G8B8},
    {"DXT1", D3DFMT_DXT1},
    {"DXT2", D3DFMT_DXT2},
    {"DXT3", D3DFMT_DXT3},
    {"DXT4", D3DFMT_DXT4},
    {"DXT5", D3DFMT_DXT5},
};

}  // namespace

std::string formatName(D3DFORMAT format) {
    for (const FormatRow& row : kFormats)
        if (row.value == format) return row.name;
    return "UNKNOWN";
}

D3DFORMAT formatFromName(const std::string& name) {
    for (const FormatRow& row : kFormats)
        if (name == row.name) return row.value;
    return D3DFMT_UNKNOWN;
}

const char* formatNameAt(std::size_t index) {
    return index < sizeof kFormats / sizeof kFormats[0] ? kFormats[index].name : nullptr;
}

bool isDXTFormat(D3DFORMAT format) {
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
           format == D3DFMT_DXT5;
}

std::string toUpper(std::string text) {
    // Only a-z change: the C locale's toupper leaves every other byte alone.
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

}  // namespace textureatlas
