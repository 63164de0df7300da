#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <sstream>

#include "groups_configuration.h"
#include "interface/D3DTextureAtlas.h"
#include "interface/TextureAtlas.h"
#include "interface/TextureAtlasConfiguration.h"
#include "literal_layout.h"

using namespace textureatlas;

namespace {

class InspectableAtlas : public TextureAtlas {
public:
    int maxWidth = 2048;
    int maxHeight = 2048;
    int getMaxWidth() override { return maxWidth; }
    int getMaxHeight() override { return maxHeight; }
    const std::vector<AtlasGroup>& result() const { return pages; }
    const std::vector<TextureEntry>& workList() const { return pending; }
};

std::vector<std::string> warnings;
const std::string tooLarge = "Texture size larger than maximum atlas size: ";

TextureEntry texture(const std::string& name, int width, int height, const std::string& format = "F", int mips = 1) {
    return TextureEntry{name, "dir/" + name, Rect{0, 0, width, height}, format, false, mips};
}

// One line per page; `full` adds every field the layout copies or sets.
std::string describe(const std::vector<AtlasGroup>& pages, bool full = false) {
    std::ostringstream out;
    for (const AtlasGroup& page : pages) {
        out << page.name << " " << page.format << " " << page.rect.width << "x" << page.rect.height << " m"
            << page.mipLevels;
        if (full) out << " #" << page.index << " at " << page.rect.x << "," << page.rect.y << " border " << page.border;
        out << ":";
        for (const TextureEntry& t : page.textures) {
            out << (full ? "\n  " : " ") << t.name << " " << t.rect.x << "," << t.rect.y;
            if (full)
                out << " " << t.path << " " << t.format << " " << t.rect.width << "x" << t.rect.height << " "
                    << t.border << " " << t.mipLevels;
        }
        out << "\n";
    }
    return out.str();
}

// A warning callback that sets the sort mode while the layout runs: at the
// `switchAt`-th warning (never when 0) the mode becomes `switchTo`.
TextureAtlas* switchingAtlas = nullptr;
int switchAt = 0, switchTo = 0;
void collectAndSwitch(const std::string& message) {
    warnings.push_back(message);
    if (static_cast<int>(warnings.size()) == switchAt) switchingAtlas->setSortMode(switchTo);
}

void layOut(TextureAtlas& atlas, ITextureAtlasConfiguration& configuration, int sortMode) {
    warnings.clear();
    switchingAtlas = &atlas;
    atlas.setWarningCallback(collectAndSwitch);
    atlas.setSortMode(sortMode);
    atlas.layout(&configuration);
}

void expectLayout(int sortMode, int maxWidth, int maxHeight, int width, int height, const char* format, int mipLevels,
                  std::vector<TextureEntry> textures, const char* pages, std::vector<std::string> dropped) {
    SCOPED_TRACE(pages);
    GroupsConfiguration configuration;
    configuration.addGroup("g", width, height, format, mipLevels, 0)->textures = std::move(textures);
    InspectableAtlas atlas;
    atlas.maxWidth = maxWidth;
    atlas.maxHeight = maxHeight;
    layOut(atlas, configuration, sortMode);
    EXPECT_EQ(describe(atlas.result()), pages);
    for (std::string& name : dropped) name = tooLarge + name;
    EXPECT_EQ(warnings, dropped);
}

}  // namespace

TEST(Layout, WorkedExamples) {
    expectLayout(0, 2048, 2048, 256, 256, "DXT5", 1,
                 {texture("c", 64, 32), texture("a", 128, 64), texture("b", 64, 64)},
                 "g0 DXT5 256x64 m1: a 0,0 b 128,0 c 192,0\n", {});
    expectLayout(1, 2048, 2048, 0, 0, "F", 1,
                 {texture("wide", 100, 30), texture("tall", 30, 100), texture("sq", 60, 60)},
                 "g0 F 128x256 m1: wide 0,0 tall 0,30 sq 30,30\n", {});
    // Pages may exceed the requested size.
    expectLayout(0, 2048, 2048, 1000, 100, "DXT1", 1,
                 {texture("c", 200, 50), texture("a", 600, 100), texture("b", 300, 90)},
                 "g0 DXT1 1024x128 m1: a 0,0 b 600,0\ng1 DXT1 256x64 m1: c 0,0\n", {});
    expectLayout(0, 2048, 2048, 128, 128, "", 1,
                 {texture("p", 128, 128, "DXT1"), texture("q", 64, 64, "X8R8G8B8"), texture("r", 256, 16, "DXT1"),
                  texture("s", 64, 32, "DXT1"), texture("u", 32, 32, "X8R8G8B8")},
                 "g0 X8R8G8B8 128x64 m1: q 0,0 u 64,0\ng1 DXT1 128x128 m1: p 0,0\ng2 DXT1 64x32 m1: s 0,0\n", {"r"});
    // Group sizes <= 0 or above the maximum take the maximum, per axis.
    expectLayout(0, 100, 50, 300, -5, "F", 1,
                 {texture("fits", 100, 50), texture("wide", 101, 1), texture("high", 1, 51)},
                 "g0 F 128x64 m1: fits 0,0\n", {"wide", "high"});
    // A group without levels takes its textures' most.
    expectLayout(0, 2048, 2048, 256, 256, "F", 0,
                 {texture("a", 8, 8, "F", 1), texture("b", 8, 8, "F", 5), texture("c", 8, 8, "F", 3)},
                 "g0 F 32x8 m5: a 0,0 b 8,0 c 16,0\n", {});
}

TEST(Layout, WithoutADeviceOnlyEmptyRectanglesFit) {
    GroupsConfiguration configuration;
    configuration.addGroup("g", 256, 256, "", 0, 0)->textures = {texture("a", 4, 4), texture("line", 0, 4),
                                                                 texture("dot", 0, 0)};
    struct DevicelessAtlas : D3DTextureAtlas {
        DevicelessAtlas() : D3DTextureAtlas(nullptr) {}
        const std::vector<AtlasGroup>& result() const { return pages; }
    } atlas;
    layOut(atlas, configuration, 0);
    EXPECT_EQ(describe(atlas.result()), "g0 F 1x1 m1: dot 0,0\n");
    EXPECT_EQ(warnings, (std::vector<std::string>{tooLarge + "a", tooLarge + "line"}));
}

// Sizes of any sign, overflowing sums and long chains of empty rectangles
// must neither crash nor hang.
TEST(Layout, HostileSizesFinish) {
    std::vector<TextureEntry> list = {texture("min", INT_MIN, INT_MIN), texture("max", INT_MAX, INT_MAX),
                                      texture("neg", -7, 3), texture("huge", INT_MIN, 5), texture("span", 1 << 30, 9)};
    list.resize(list.size() + 2000, texture("empty", 0, 0));
    GroupsConfiguration configuration;
    configuration.addGroup("g", 0, 0, "", 0, 0)->textures = list;
    configuration.addGroup("h", 16, 16, "", 0, 0)->textures = list;
    InspectableAtlas atlas;
    for (int mode : {0, 1}) {
        layOut(atlas, configuration, mode);
        std::size_t placed = 0;
        for (const AtlasGroup& page : atlas.result()) placed += page.textures.size();
        EXPECT_GE(placed, 4000u);
    }
}

// The real layout against the literal one over thousands of small random
// groups: many pages, drops, format runs, clamps, (stable) ties and sort
// modes changed by the warning callback. The packing tree's cached sizes, its
// leaf profile and the work list index may only skip work, so any of them
// choosing wrongly shows here. One atlas lays them all out, so each layout
// must replace the last one's result.
TEST(LayoutComparison, MatchesTheLiteralAlgorithmOnRandomGroups) {
    std::mt19937 random(2024);
    auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const std::vector<std::string> formats = {"DXT1", "DXT5", "A8R8G8B8", "", "DXT", "\xe9X"};
    int groupsDone = 0, pagesSeen = 0, dropsSeen = 0, switchesSeen = 0;
    InspectableAtlas atlas;
    for (int trial = 0; trial < 1500; ++trial) {
        GroupsConfiguration configuration;
        const int maxChoice = between(0, 9);
        atlas.maxWidth = maxChoice == 0 ? 0 : maxChoice < 3 ? between(1, 200) : 2048;
        atlas.maxHeight = maxChoice == 0 ? 0 : maxChoice < 3 ? between(1, 200) : 2048;
        const int sortMode = between(0, 2);
        switchAt = between(0, 3);
        switchTo = between(0, 2);
        for (int g = between(1, 3); g > 0; --g, ++groupsDone) {
            const int width = between(0, 4) == 0 ? between(-2, 0) : between(1, 300);
            const int height = between(0, 4) == 0 ? between(-2, 0) : between(1, 300);
            const char* format = between(0, 2) == 0 ? "DXT1" : "";
            const int formatCount = between(1, static_cast<int>(formats.size()));
            AtlasGroup* added = configuration.addGroup(("g" + std::to_string(g)).c_str(), width, height, format,
                                                       between(-1, 3), between(0, 2));
            const int largest = between(1, 160);
            for (int t = between(0, 60); t > 0; --t) {
                const int low = between(0, 20) == 0 ? -3 : 1;  // the algorithm is defined for negative sizes too
                added->textures.push_back(texture("t" + std::to_string(t), between(low, largest), between(low, largest),
                                                  formats[static_cast<std::size_t>(between(0, formatCount - 1))],
                                                  between(0, 6)));
            }
        }
        std::vector<AtlasGroup> expectedGroups = configuration.allGroups();
        int literalMode = sortMode, literalWarnings = 0;
        const literal::Result expected =
            literal::layout(expectedGroups, literalMode, atlas.maxWidth, atlas.maxHeight, [&](const std::string&) {
                if (++literalWarnings == switchAt) literalMode = switchTo;
            });
        layOut(atlas, configuration, sortMode);
        ASSERT_EQ(describe(atlas.result(), true), describe(expected.pages, true)) << "trial " << trial;
        ASSERT_EQ(warnings, expected.warnings) << "trial " << trial;
        for (std::size_t g = 0; g < expectedGroups.size(); ++g)
            ASSERT_EQ(configuration.allGroups()[g].mipLevels, expectedGroups[g].mipLevels);
        ASSERT_TRUE(atlas.workList().empty());
        pagesSeen += static_cast<int>(expected.pages.size());
        dropsSeen += static_cast<int>(expected.warnings.size());
        switchesSeen +=
            switchAt > 0 && static_cast<int>(warnings.size()) >= switchAt && (sortMode == 1) != (switchTo == 1);
    }
    switchAt = 0;
    // The generator must really produce the situations it is meant to cover.
    EXPECT_GT(groupsDone, 2500);
    EXPECT_GT(pagesSeen, 5000);
    EXPECT_GT(dropsSeen, 1000);
    EXPECT_GT(switchesSeen, 100);  // layouts whose size order changed on the way
}
