// Groups, textures, directories and the current group of the configuration,
// with image probes that need no files.
#include "unit/config_fake.h"

#include <gtest/gtest.h>

#include <climits>

using namespace configtest;

namespace {

class ConfigModel : public ::testing::Test {
protected:
    void SetUp() override { eventLog().clear(); }
    FakeConfiguration config;
};

TEST_F(ConfigModel, DirectoryRuleLooksOnlyAtTheLastCharacter) {
    const std::pair<const char*, const char*> cases[] = {
        {"textures", "textures/"}, {"textures\\", "textures\\"}, {"a\\b", "a\\b/"}, {"", ""}, {"a//", "a//"}};
    for (const auto& c : cases) {
        config.setTexturePath(c.first);
        config.setOutputPath(c.first);
        EXPECT_STREQ(config.getTexturePath(), c.second) << c.first;
        EXPECT_STREQ(config.getOutputPath(), c.second) << c.first;
    }
}

// The probe gets directory + name as given; the stored name has forward slashes only.
TEST_F(ConfigModel, TexturesFromFilesAndMemoryKeepThePathAndSlashTheName) {
    config.setTexturePath("data");
    config.addGroup("g", 0, 0, "", 0, 4);
    TextureEntry* file = config.addTexture("\\\\srv\\A/./..\\b.Dds", false);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(describe(*file), "//srv/A/./../b.Dds|data/\\\\srv\\A/./..\\b.Dds|0,0,64x32|DXT1|3");
    static const unsigned char bytes[7] = {};
    TextureEntry* memory = config.addTextureFromMemory("in\\memory.png", bytes, sizeof bytes, true);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(describe(*memory), "in/memory.png|data/in\\memory.png|0,0,72x40|DXT1|3|border");
    EXPECT_EQ(config.probes, (Events{"file data/|\\\\srv\\A/./..\\b.Dds", "memory data/|in\\memory.png|7"}));
    EXPECT_EQ(memory, &config.allGroups()[0].textures.back());
}

// Extreme borders saturate instead of wrapping round.
TEST_F(ConfigModel, BorderFlagGrowsTheSizeByTwiceTheGroupBorder) {
    const struct {
        int groupBorder;
        bool border;
        int width, height;
    } cases[] = {{2, true, 68, 36},
                 {2, false, 64, 32},
                 {-3, true, 58, 26},
                 {INT_MAX, true, INT_MAX, INT_MAX},
                 {INT_MIN, true, INT_MIN, INT_MIN}};
    for (const auto& c : cases) {
        config.addGroup("g", 0, 0, "", 0, c.groupBorder);
        const TextureEntry* entry = config.addTexture("a.tga", c.border);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->border, c.border);
        EXPECT_EQ(entry->rect.width, c.width) << c.groupBorder;
        EXPECT_EQ(entry->rect.height, c.height) << c.groupBorder;
    }
}

TEST_F(ConfigModel, FailedProbeWarnsAndAddsNothing) {
    config.addGroup("g", 0, 0, "", 0, 1);
    config.addTexture("a.tga", false);
    EXPECT_EQ(config.addTexture("dir\\missing.tga", true), nullptr);
    EXPECT_EQ(config.addTextureFromMemory("missing.png", "xyz", 3, false), nullptr);
    EXPECT_EQ(eventLog(), (Events{"addGroup g 0 0 '' 0 1", "addTexture a.tga", "addTexture dir\\missing.tga border",
                                  "warning: Failed to load texture: dir\\missing.tga",
                                  "warning: Failed to load texture: missing.png"}));
    EXPECT_EQ(config.allGroups()[0].textures.size(), 1u);
}

TEST_F(ConfigModel, GroupsKeepOrderAndNameLookupsFindTheFirst) {
    AtlasGroup* first = config.addGroup("same", 256, 128, "DXT5", 3, 2);
    EXPECT_EQ(describe(*first), "same|0,0,256x128|DXT5|3|2|-1");
    config.addGroup("other", 0, 0, "", 0, 1);
    AtlasGroup* second = config.addGroup("same", 0, 0, "", 0, 1);
    EXPECT_EQ(config.current(), second);

    EXPECT_EQ(config.findGroup("same"), config.beginGroups());
    EXPECT_EQ(config.findGroup("Same"), config.endGroups());
    EXPECT_EQ(config.setGroup("same"), &config.allGroups()[0]);
    config.addTexture("a.tga", false);
    EXPECT_EQ(config.allGroups()[0].textures.size(), 1u);
    EXPECT_TRUE(config.allGroups()[2].textures.empty());

    EXPECT_EQ(config.setGroup("nope"), nullptr);
    EXPECT_EQ(config.current(), &config.allGroups()[0]);
    EXPECT_EQ(eventLog().back(), "warning: Could not set group: nope");
}

TEST_F(ConfigModel, EraseGroupReturnsTheFollowerAndNeverLeavesCurrentDangling) {
    for (const char* name : {"A", "B", "C"}) config.addGroup(name, 0, 0, "", 0, 1);
    config.setGroup("B");
    GroupIterator next = config.eraseGroup(config.beginGroups());
    ASSERT_NE(next, config.endGroups());
    EXPECT_EQ(next->name, "B");
    ASSERT_NE(config.current(), nullptr);
    EXPECT_EQ(config.current()->name, "B");

    next = config.eraseGroup(config.findGroup("C"));
    EXPECT_EQ(next, config.endGroups());
    EXPECT_EQ(config.current()->name, "B");

    config.eraseGroup(config.findGroup("B"));
    EXPECT_EQ(config.current(), nullptr);
    EXPECT_EQ(config.addTexture("a.tga", false), nullptr);
    EXPECT_EQ(config.addTextureFromMemory("a.tga", "x", 1, false), nullptr);
    EXPECT_TRUE(config.probes.empty()) << "rejected before probing";
    EXPECT_EQ(config.beginGroups(), config.endGroups());
}

}  // namespace
