#include "interface/D3DTextureAtlas.h"
#include "interface/TextureAtlas.h"
#include "interface/TextureAtlasConfiguration.h"
#include "literal_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <sstream>

using namespace textureatlas;

namespace {

// Groups are filled directly; the probes are never reached.
class FakeConfiguration : public TextureAtlasConfiguration {
public:
    bool readImageInfo(const std::string&, const std::string&, TextureEntry&) override { return false; }
    bool readImageInfoFromMemory(const std::string&, const std::string&, const void*, unsigned int,
                                 TextureEntry&) override {
        return false;
    }
    std::vector<AtlasGroup>& allGroups() { return groups; }
};

class InspectableAtlas : public TextureAtlas {
public:
    int maxWidth = 2048;
    int maxHeight = 2048;
    int getMaxWidth() override { return maxWidth; }
    int getMaxHeight() override { return maxHeight; }
    const std::vector<AtlasGroup>& result() const { return pages; }
    const std::vector<TextureEntry>& workList() const { return pending; }
    const std::string& output() const { return outputPath; }
};

class DevicelessAtlas : public D3DTextureAtlas {
public:
    DevicelessAtlas() : D3DTextureAtlas(nullptr) {}
    const std::vector<AtlasGroup>& result() const { return pages; }
};

std::vector<std::string> warnings;
void collectWarning(const std::string& message) { warnings.push_back(message); }

TextureEntry texture(const std::string& name, int width, int height, const std::string& format = "A8R8G8B8",
                     int mipLevels = 1) {
    TextureEntry entry;
    entry.name = name;
    entry.path = "dir/" + name;
    entry.rect = Rect{0, 0, width, height};
    entry.format = format;
    entry.mipLevels = mipLevels;
    return entry;
}

std::string describe(const Rect& r) {
    std::ostringstream out;
    out << r.x << "," << r.y << " " << r.width << "x" << r.height;
    return out.str();
}

// One line per page and per placed texture, so a mismatch shows where.
std::string describe(const std::vector<AtlasGroup>& pages) {
    std::ostringstream out;
    for (const AtlasGroup& page : pages) {
        out << page.name << " #" << page.index << " " << page.format << " " << describe(page.rect) << " mip "
            << page.mipLevels << " border " << page.border << "\n";
        for (const TextureEntry& t : page.textures)
            out << "  " << t.name << " " << t.path << " " << t.format << " " << describe(t.rect) << " " << t.border
                << " " << t.mipLevels << "\n";
    }
    return out.str();
}

class Layout : public ::testing::Test {
protected:
    void SetUp() override {
        warnings.clear();
        atlas.setWarningCallback(collectWarning);
    }
    AtlasGroup& group(const char* name, int width, int height, const char* format, std::vector<TextureEntry> list,
                      int mipLevels = 1) {
        AtlasGroup* added = configuration.addGroup(name, width, height, format, mipLevels, 0);
        added->textures = std::move(list);
        return *added;
    }
    const std::vector<AtlasGroup>& layOut(int sortMode = 0) {
        atlas.setSortMode(sortMode);
        atlas.layout(&configuration);
        return atlas.result();
    }

    FakeConfiguration configuration;
    InspectableAtlas atlas;
};

}  // namespace

TEST_F(Layout, AreaOrderPacksLargestFirstOnOnePowerOfTwoPage) {
    group("g", 256, 256, "DXT5", {texture("c", 64, 32), texture("a", 128, 64), texture("b", 64, 64)});
    EXPECT_EQ(describe(layOut(0)),
              "g0 #0 DXT5 0,0 256x64 mip 1 border 0\n"
              "  a dir/a A8R8G8B8 0,0 128x64 0 1\n"
              "  b dir/b A8R8G8B8 128,0 64x64 0 1\n"
              "  c dir/c A8R8G8B8 192,0 64x32 0 1\n");
    EXPECT_TRUE(warnings.empty());
}

TEST_F(Layout, LongestSideOrderOnADefaultSizedGroup) {
    group("g", 0, 0, "A8R8G8B8", {texture("wide", 100, 30), texture("tall", 30, 100), texture("square", 60, 60)});
    const auto& pages = layOut(1);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(describe(pages[0].rect), "0,0 128x256");
    EXPECT_EQ(pages[0].textures[0].name, "wide");
    EXPECT_EQ(describe(pages[0].textures[0].rect), "0,0 100x30");
    EXPECT_EQ(describe(pages[0].textures[1].rect), "0,30 30x100");
    EXPECT_EQ(describe(pages[0].textures[2].rect), "30,30 60x60");
}

TEST_F(Layout, LeftoversGoToTheNextPageAndPagesMayExceedTheRequestedSize) {
    group("g", 1000, 100, "DXT1", {texture("c", 200, 50), texture("a", 600, 100), texture("b", 300, 90)});
    EXPECT_EQ(describe(layOut(0)),
              "g0 #0 DXT1 0,0 1024x128 mip 1 border 0\n"
              "  a dir/a A8R8G8B8 0,0 600x100 0 1\n"
              "  b dir/b A8R8G8B8 600,0 300x90 0 1\n"
              "g1 #1 DXT1 0,0 256x64 mip 1 border 0\n"
              "  c dir/c A8R8G8B8 0,0 200x50 0 1\n");
}

TEST_F(Layout, GroupWithoutFormatGetsOnePageRunPerFormatInDescendingOrder) {
    group("t", 128, 128, "",
          {texture("p", 128, 128, "DXT1"), texture("q", 64, 64, "X8R8G8B8"), texture("r", 256, 16, "DXT1"),
           texture("s", 64, 32, "DXT1"), texture("u", 32, 32, "X8R8G8B8")});
    EXPECT_EQ(describe(layOut(0)),
              "t0 #0 X8R8G8B8 0,0 128x64 mip 1 border 0\n"
              "  q dir/q X8R8G8B8 0,0 64x64 0 1\n"
              "  u dir/u X8R8G8B8 64,0 32x32 0 1\n"
              "t1 #1 DXT1 0,0 128x128 mip 1 border 0\n"
              "  p dir/p DXT1 0,0 128x128 0 1\n"
              "t2 #2 DXT1 0,0 64x32 mip 1 border 0\n"
              "  s dir/s DXT1 0,0 64x32 0 1\n");
    EXPECT_EQ(warnings, std::vector<std::string>{"Texture size larger than maximum atlas size: r"});
}

TEST_F(Layout, APageThatOnlyDroppedIsDiscardedAndItsNumberReused) {
    group("g", 64, 64, "", {texture("big", 128, 128, "X8R8G8B8"), texture("small", 16, 16, "DXT1")});
    EXPECT_EQ(describe(layOut(0)),
              "g0 #0 DXT1 0,0 16x16 mip 1 border 0\n"
              "  small dir/small DXT1 0,0 16x16 0 1\n");
    EXPECT_EQ(warnings, std::vector<std::string>{"Texture size larger than maximum atlas size: big"});
}

TEST_F(Layout, PackingAreaIsClampedToTheAtlasMaximumPerAxis) {
    atlas.maxWidth = 100;
    atlas.maxHeight = 50;
    group("zero", 0, -5, "F", {texture("fits", 100, 50), texture("wide", 101, 1), texture("high", 1, 51)});
    group("above", 300, 40, "F", {texture("fits", 100, 40), texture("high", 1, 41)});
    group("within", 64, 64, "F", {texture("fits", 64, 50), texture("wide", 65, 1)});
    const auto& pages = layOut(0);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(describe(pages[0].rect), "0,0 128x64");  // exactly W x H, raised to powers of two
    EXPECT_EQ(pages[1].name, "above0");
    EXPECT_EQ(pages[2].name, "within0");
    EXPECT_EQ(warnings, (std::vector<std::string>{"Texture size larger than maximum atlas size: wide",
                                                  "Texture size larger than maximum atlas size: high",
                                                  "Texture size larger than maximum atlas size: high",
                                                  "Texture size larger than maximum atlas size: wide"}));
}

TEST(LayoutWithoutDevice, EveryTextureWithAnAreaIsTooLarge) {
    FakeConfiguration configuration;
    AtlasGroup* g = configuration.addGroup("g", 256, 256, "", 0, 0);
    g->textures = {texture("a", 4, 4), texture("line", 0, 4), texture("dot", 0, 0)};
    DevicelessAtlas atlas;
    warnings.clear();
    atlas.setWarningCallback(collectWarning);
    atlas.layout(&configuration);
    EXPECT_EQ(warnings, (std::vector<std::string>{"Texture size larger than maximum atlas size: a",
                                                  "Texture size larger than maximum atlas size: line"}));
    // Only an empty rectangle fits a 0 x 0 page.
    ASSERT_EQ(atlas.result().size(), 1u);
    EXPECT_EQ(describe(atlas.result()[0].rect), "0,0 1x1");
    EXPECT_EQ(atlas.result()[0].textures[0].name, "dot");
}

TEST_F(Layout, MipLevelsAreDerivedOnlyWhenTheGroupHasNone) {
    group("d", 256, 256, "F", {texture("a", 8, 8, "F", 1), texture("b", 8, 8, "F", 5), texture("c", 8, 8, "F", 3)}, 0);
    group("given", 256, 256, "F", {texture("a", 8, 8, "F", 9)}, 2);
    group("empty", 256, 256, "F", {}, -3);
    const auto& pages = layOut(0);
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].mipLevels, 5);
    EXPECT_EQ(pages[1].mipLevels, 2);
    const auto& groups = configuration.allGroups();
    EXPECT_EQ(groups[0].mipLevels, 5);
    EXPECT_EQ(groups[1].mipLevels, 2);
    EXPECT_EQ(groups[2].mipLevels, 1);
}

TEST_F(Layout, RepeatedLayoutReplacesTheResultAndEqualSizesKeepTheirOrder) {
    configuration.setOutputPath("out");
    group("g", 128, 64, "",
          {texture("a", 64, 64, "DXT1"), texture("b", 64, 64, "DXT5"), texture("c", 64, 64, "DXT1"),
           texture("d", 64, 64, "DXT5"), texture("e", 64, 64, "DXT1")},
          0);
    const std::string first = describe(layOut(0));
    EXPECT_EQ(first,
              "g0 #0 DXT5 0,0 128x64 mip 1 border 0\n"
              "  b dir/b DXT5 0,0 64x64 0 1\n"
              "  d dir/d DXT5 64,0 64x64 0 1\n"
              "g1 #1 DXT1 0,0 128x64 mip 1 border 0\n"
              "  a dir/a DXT1 0,0 64x64 0 1\n"
              "  c dir/c DXT1 64,0 64x64 0 1\n"
              "g2 #2 DXT1 0,0 64x64 mip 1 border 0\n"
              "  e dir/e DXT1 0,0 64x64 0 1\n");
    EXPECT_EQ(describe(layOut(0)), first);
    EXPECT_TRUE(atlas.workList().empty());
    EXPECT_EQ(atlas.output(), "out/");
}

// Sizes of any sign, overflowing sums and many empty rectangles must neither
// crash nor hang.
TEST_F(Layout, HostileSizesFinish) {
    std::vector<TextureEntry> list = {texture("min", INT_MIN, INT_MIN), texture("max", INT_MAX, INT_MAX),
                                      texture("neg", -7, 3), texture("huge", INT_MIN, 5), texture("span", 1 << 30, 9)};
    for (int i = 0; i < 2000; ++i) list.push_back(texture("empty", 0, 0));
    group("g", 0, 0, "", list);
    group("h", 16, 16, "", list);
    for (int mode : {0, 1}) {
        const auto& pages = layOut(mode);
        std::size_t placed = 0;
        for (const AtlasGroup& page : pages) {
            placed += page.textures.size();
            EXPECT_GE(page.rect.width, 1);
            EXPECT_GE(page.rect.height, 1);
        }
        EXPECT_GE(placed, 4000u);
    }
}

// The real layout against the literal one over thousands of small random
// groups: many pages, drops, format runs, clamps and (stable) ties.
TEST(LayoutComparison, MatchesTheLiteralAlgorithmOnRandomGroups) {
    std::mt19937 random(2024);
    auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const std::vector<std::string> formats = {"DXT1", "DXT5", "A8R8G8B8", "", "DXT", "\xe9X"};
    int groupsDone = 0, pagesSeen = 0, dropsSeen = 0;
    for (int trial = 0; trial < 1500; ++trial) {
        FakeConfiguration configuration;
        InspectableAtlas atlas;
        const int maxChoice = between(0, 9);
        atlas.maxWidth = maxChoice == 0 ? 0 : maxChoice < 3 ? between(1, 200) : 2048;
        atlas.maxHeight = maxChoice == 0 ? 0 : maxChoice < 3 ? between(1, 200) : 2048;
        const int sortMode = between(0, 2);
        const int groupCount = between(1, 3);
        for (int g = 0; g < groupCount; ++g) {
            const int width = between(0, 4) == 0 ? between(-2, 0) : between(1, 300);
            const int height = between(0, 4) == 0 ? between(-2, 0) : between(1, 300);
            const bool withFormat = between(0, 2) == 0;
            const int formatCount = between(1, static_cast<int>(formats.size()));
            AtlasGroup* added = configuration.addGroup(("g" + std::to_string(g)).c_str(), width, height,
                                                       withFormat ? "DXT1" : "", between(-1, 3), between(0, 2));
            const int largest = between(1, 160);
            const int count = between(0, 60);
            for (int t = 0; t < count; ++t) {
                // A few negative sizes too: the algorithm is defined for them.
                const int low = between(0, 20) == 0 ? -3 : 1;
                added->textures.push_back(texture("t" + std::to_string(t), between(low, largest), between(low, largest),
                                                  formats[static_cast<std::size_t>(between(0, formatCount - 1))],
                                                  between(0, 6)));
            }
            ++groupsDone;
        }
        std::vector<AtlasGroup> expectedGroups = configuration.allGroups();
        const literal::Result expected = literal::layout(expectedGroups, sortMode, atlas.maxWidth, atlas.maxHeight);
        warnings.clear();
        atlas.setWarningCallback(collectWarning);
        atlas.setSortMode(sortMode);
        atlas.layout(&configuration);
        ASSERT_EQ(describe(atlas.result()), describe(expected.pages)) << "trial " << trial;
        ASSERT_EQ(warnings, expected.warnings) << "trial " << trial;
        for (std::size_t g = 0; g < expectedGroups.size(); ++g)
            ASSERT_EQ(configuration.allGroups()[g].mipLevels, expectedGroups[g].mipLevels);
        pagesSeen += static_cast<int>(expected.pages.size());
        dropsSeen += static_cast<int>(expected.warnings.size());
    }
    // The generator must really produce the situations it is meant to cover.
    EXPECT_GT(groupsDone, 2500);
    EXPECT_GT(pagesSeen, 5000);
    EXPECT_GT(dropsSeen, 1000);
}
