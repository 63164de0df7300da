#include "formats/formats.h"

#include <gtest/gtest.h>

using namespace textureatlas;

TEST(Formats, EveryTableNameRoundTripsThroughItsValue) {
    // Every value from 0 to 255 plus the FOURCC rows: names and values are
    // each unique, and a name maps back to the value it came from.
    std::vector<DWORD> values;
    for (DWORD v = 0; v < 256; ++v) values.push_back(v);
    for (const char* fourcc : {"UYVY", "RGBG", "YUY2", "GRGB", "DXT1", "DXT2", "DXT3", "DXT4", "DXT5", "MET1"})
        values.push_back(MAKEFOURCC(fourcc[0], fourcc[1], fourcc[2], fourcc[3]));
    int named = 0;
    for (DWORD v : values) {
        const auto format = static_cast<D3DFORMAT>(v);
        const std::string name = formatName(format);
        if (name == "UNKNOWN") {
            EXPECT_EQ(formatFromName(name), D3DFMT_UNKNOWN);
            continue;
        }
        ++named;
        EXPECT_EQ(formatFromName(name), format) << name;
    }
    EXPECT_EQ(named, 46);
}

TEST(Formats, NamesOfSelectedValues) {
    EXPECT_EQ(formatName(D3DFMT_A8R8G8B8), "A8R8G8B8");
    EXPECT_EQ(formatName(D3DFMT_G8R8_G8B8), "G8R8_G8B8");
    EXPECT_EQ(formatName(D3DFMT_R8G8_B8G8), "R8G8_B8G8");
    EXPECT_EQ(formatName(D3DFMT_UNKNOWN), "UNKNOWN");
    EXPECT_EQ(formatName(D3DFMT_D24S8), "UNKNOWN");
    EXPECT_EQ(formatName(static_cast<D3DFORMAT>(37)), "UNKNOWN");
    EXPECT_EQ(formatFromName("L16"), D3DFMT_L16);
    EXPECT_EQ(formatFromName("R8G8_B8G8"), static_cast<D3DFORMAT>(0x47424752));
}

TEST(Formats, LookupIsExactAndCaseSensitive) {
    for (const char* name : {"UNKNOWN", "", "a8r8g8b8", "D3DFMT_A8R8G8B8", " DXT1", "DXT1 "})
        EXPECT_EQ(formatFromName(name), D3DFMT_UNKNOWN) << name;
    EXPECT_EQ(formatFromName("CxV8U8"), D3DFMT_CxV8U8);
    EXPECT_EQ(formatFromName(toUpper("CxV8U8")), D3DFMT_UNKNOWN);
    EXPECT_EQ(formatFromName(toUpper("dxt5")), D3DFMT_DXT5);
}

TEST(Formats, DxtFormatsAreExactlyTheFiveBlockFormats) {
    int dxt = 0;
    for (DWORD v = 0; v < 256; ++v) dxt += isDXTFormat(static_cast<D3DFORMAT>(v));
    EXPECT_EQ(dxt, 0);
    for (D3DFORMAT f : {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5}) EXPECT_TRUE(isDXTFormat(f));
    EXPECT_FALSE(isDXTFormat(D3DFMT_UYVY));
    EXPECT_FALSE(isDXTFormat(D3DFMT_MULTI2_ARGB8));
}

TEST(Formats, ToUpperChangesOnlyAsciiLetters) {
    EXPECT_EQ(toUpper(""), "");
    EXPECT_EQ(toUpper("dxt5"), "DXT5");
    const std::string mixed("a\xe9z_1\x80\xff", 7);
    EXPECT_EQ(toUpper(mixed), std::string("A\xe9Z_1\x80\xff", 7));
}
