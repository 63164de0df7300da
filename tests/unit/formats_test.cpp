#include "formats/formats.h"

#include <gtest/gtest.h>

using namespace textureatlas;

// Every value from 0 to 255 and every FOURCC in use: the names of the table,
// in value order, each of which maps back to its value.
TEST(Formats, TableNamesValuesAndBlockFormats) {
    std::vector<DWORD> values;
    for (DWORD v = 0; v < 256; ++v) values.push_back(v);
    for (const char* fourcc : {"UYVY", "RGBG", "YUY2", "GRGB", "DXT1", "DXT2", "DXT3", "DXT4", "DXT5", "MET1"})
        values.push_back(MAKEFOURCC(fourcc[0], fourcc[1], fourcc[2], fourcc[3]));
    std::string names, dxt;
    for (DWORD v : values) {
        const auto format = static_cast<D3DFORMAT>(v);
        const std::string name = formatName(format);
        EXPECT_EQ(formatFromName(name), name == "UNKNOWN" ? D3DFMT_UNKNOWN : format) << name;
        if (name != "UNKNOWN") names += name + " ";
        if (isDXTFormat(format)) dxt += name + " ";
    }
    EXPECT_EQ(names,
              "R8G8B8 A8R8G8B8 X8R8G8B8 R5G6B5 X1R5G5B5 A1R5G5B5 A4R4G4B4 R3G3B2 A8 A8R3G3B2 X4R4G4B4 A2B10G10R10 "
              "A8B8G8R8 X8B8G8R8 G16R16 A2R10G10B10 A16B16G16R16 A8P8 P8 L8 A8L8 A4L4 V8U8 L6V5U5 X8L8V8U8 Q8W8V8U8 "
              "V16U16 A2W10V10U10 L16 Q16W16V16U16 R16F G16R16F A16B16G16R16F R32F G32R32F A32B32G32R32F CxV8U8 "
              "UYVY R8G8_B8G8 YUY2 G8R8_G8B8 DXT1 DXT2 DXT3 DXT4 DXT5 ");
    EXPECT_EQ(dxt, "DXT1 DXT2 DXT3 DXT4 DXT5 ");
    // Listed row by row, the table holds those names and no others.
    std::string listed;
    for (std::size_t row = 0; const char* name = formatNameAt(row); ++row) listed += std::string(name) + " ";
    EXPECT_EQ(listed, names);
}

TEST(Formats, LookupIsExactAndOnlyAsciiLettersAreUpperCased) {
    for (const char* name : {"", "a8r8g8b8", "D3DFMT_A8R8G8B8", " DXT1", "DXT1 "})
        EXPECT_EQ(formatFromName(name), D3DFMT_UNKNOWN) << name;
    EXPECT_EQ(formatFromName(toUpper("CxV8U8")), D3DFMT_UNKNOWN);
    EXPECT_EQ(toUpper(""), "");
    EXPECT_EQ(toUpper(std::string("dxt5a\xe9z_1\x80\xff", 11)), std::string("DXT5A\xe9Z_1\x80\xff", 11));
}
