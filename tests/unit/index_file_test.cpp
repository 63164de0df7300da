#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "interface/TextureAtlas.h"

using namespace textureatlas;

namespace {

// Fills the page list directly and lets the generation hooks fail on demand.
class IndexAtlas : public TextureAtlas {
public:
    bool generateFromMemory(const std::vector<MemoryImage>&) override { return hookSucceeds; }
    bool generate() override { return hookSucceeds; }

    AtlasGroup& addPage(const std::string& name, int index, int width, int height, int border) {
        pages.push_back(AtlasGroup{name, {}, "", {0, 0, width, height}, 0, border, index});
        return pages.back();
    }
    bool hookSucceeds = true;
};

void place(AtlasGroup& page, const std::string& name, int x, int y, int width, int height, bool border) {
    page.textures.push_back(TextureEntry{name, "", {x, y, width, height}, "", border, 0});
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string header(const std::string& fileName) {
    return "# " + fileName +
           "\n"
           "# \n"
           "# \n"
           "# <filename>\t\t<atlas filename>, <atlas idx>, <woffset>, <hoffset>, <width>, <height>\n"
           "# \n"
           "# Texture <filename> can be found in texture atlas <atlas filename>, i.e.,\n"
           "# <group><idx>.dds with texture coordinates boundary given by:\n"
           "#   A = ( <woffset>, <hoffset> )\n"
           "#   B = ( <woffset> + <width>, <hoffset> + <height> )\n"
           "# \n"
           "# where coordinates (0,0) and (1,1) of the original texture map correspond\n"
           "# to coordinates A and B, respectively, in the texture atlas.\n"
           "\n"
           "\n";
}

}  // namespace

TEST(IndexFile, FractionsAndFieldsOfSeveralPagesThroughBothWriters) {
    IndexAtlas atlas;
    // A bordered cell inset by its group's border, and an unbordered one.
    AtlasGroup& terrain = atlas.addPage("terrain0", 0, 512, 256, 2);
    place(terrain, "rocks/granite.tga", 0, 0, 132, 132, true);
    place(terrain, "rocks/sand.tga", 0, 132, 96, 64, false);
    // A cell filling its page, and a border flag in a group of border 0.
    place(atlas.addPage("full0", 0, 64, 32, 0), "whole", 0, 0, 64, 32, false);
    AtlasGroup& flagged = atlas.addPage("flag0", 0, 128, 128, 0);
    place(flagged, "with flag", 32, 64, 32, 16, true);
    place(flagged, "without,flag", 32, 64, 32, 16, false);
    // A later page of its group, a name with a TAB, a 1-texel cell.
    place(atlas.addPage("misc3", 3, 2048, 1, 1), "tab\there", 2047, 0, 1, 1, false);
    // A page made by hand whose size is no power of two: six significant digits.
    place(atlas.addPage("odd0", 0, 3, 3, 1), "third", 1, 1, 2, 2, false);
    const std::string expected = header("index_fields.txt") +
                                 "rocks/granite.tga\t\tterrain0.dds, 0, 0.00390625, 0.0078125, 0.25, 0.5\n"
                                 "rocks/sand.tga\t\tterrain0.dds, 0, 0, 0.515625, 0.1875, 0.25\n"
                                 "whole\t\tfull0.dds, 0, 0, 0, 1, 1\n"
                                 "with flag\t\tflag0.dds, 0, 0.25, 0.5, 0.25, 0.125\n"
                                 "without,flag\t\tflag0.dds, 0, 0.25, 0.5, 0.25, 0.125\n"
                                 "tab\there\t\tmisc3.dds, 3, 0.999512, 0, 0.000488281, 1\n"
                                 "third\t\todd0.dds, 0, 0.333333, 0.333333, 0.666667, 0.666667\n";

    ASSERT_TRUE(atlas.write("index_fields.txt"));
    EXPECT_EQ(readFile("index_fields.txt"), expected);
    std::remove("index_fields.txt");
    ASSERT_TRUE(atlas.writeFromMemory({}, "index_fields.txt"));
    EXPECT_EQ(readFile("index_fields.txt"), expected);
}

TEST(IndexFile, FailingHookLeavesAnEarlierFileUntouchedAndSuccessTruncatesIt) {
    IndexAtlas atlas;
    place(atlas.addPage("p0", 0, 16, 16, 0), "t", 0, 0, 16, 16, false);
    std::ofstream("index_kept.txt", std::ios::binary) << "old contents";
    atlas.hookSucceeds = false;
    EXPECT_FALSE(atlas.write("index_kept.txt"));
    EXPECT_FALSE(atlas.writeFromMemory({}, "index_kept.txt"));
    EXPECT_EQ(readFile("index_kept.txt"), "old contents");

    atlas.hookSucceeds = true;
    EXPECT_TRUE(atlas.write("index_kept.txt"));
    EXPECT_EQ(readFile("index_kept.txt"), header("index_kept.txt") + "t\t\tp0.dds, 0, 0, 0, 1, 1\n");
}

// An index that cannot be opened is no error either.
TEST(IndexFile, BaseHooksAndNoPagesGiveTheHeaderAloneUnderTheNameAsPassed) {
    TextureAtlas atlas;
    EXPECT_TRUE(atlas.generate());
    EXPECT_TRUE(atlas.generateFromMemory({}));
    ASSERT_TRUE(atlas.write("./index_base.txt"));
    EXPECT_EQ(readFile("./index_base.txt"), header("./index_base.txt"));
    EXPECT_TRUE(atlas.write("no/such/directory/index.txt"));
    EXPECT_TRUE(atlas.write(nullptr));
}
