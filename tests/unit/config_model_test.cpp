// Groups, textures, directories and pointer lifetimes of the configuration,
// with image probes answered from a table.
#include "config/paths.h"
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

TEST(ConfigPaths, DirectoryRuleLooksOnlyAtTheLastCharacter) {
    const std::pair<const char*, const char*> cases[] = {
        {"textures", "textures/"},
        {"textures\\", "textures\\"},
        {"a/", "a/"},
        {"a\\b", "a\\b/"},
        {"", ""},
        {"a//", "a//"},
        {"/", "/"},
        {"a/b", "a/b/"},
    };
    FakeConfiguration config;
    for (const auto& c : cases) {
        config.setTexturePath(c.first);
        config.setOutputPath(c.first);
        EXPECT_STREQ(config.getTexturePath(), c.second) << c.first;
        EXPECT_STREQ(config.getOutputPath(), c.second) << c.first;
    }
}

TEST(ConfigPaths, NameRuleTurnsOnlyBackslashes) {
    const std::pair<const char*, const char*> cases[] = {
        {"a\\b\\c.dds", "a/b/c.dds"}, {"\\\\server\\x", "//server/x"}, {"A/./../B.Dds", "A/./../B.Dds"}, {"", ""}};
    for (const auto& c : cases) {
        std::string name = c.first;
        textureatlas::toForwardSlashes(name);
        EXPECT_EQ(name, c.second);
    }
}

TEST_F(ConfigModel, AddTextureProbesDirectoryPlusNameAndStoresForwardSlashedName) {
    config.setTexturePath("data");
    config.addGroup("g", 0, 0, "", 0, 1);
    config.images["data/sub\\wall.dds"] = FakeImage{128, 256, "A8R8G8B8", 8};
    TextureEntry* entry = config.addTexture("sub\\wall.dds", false);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(config.probes, std::vector<std::string>{"file data/|sub\\wall.dds"});
    EXPECT_EQ(entry->name, "sub/wall.dds");
    EXPECT_EQ(entry->path, "data/sub\\wall.dds");
    EXPECT_EQ(entry->format, "A8R8G8B8");
    EXPECT_EQ(entry->mipLevels, 8);
    EXPECT_EQ(entry->rect.x, 0);
    EXPECT_EQ(entry->rect.y, 0);
    EXPECT_EQ(entry->rect.width, 128);
    EXPECT_EQ(entry->rect.height, 256);
    EXPECT_FALSE(entry->border);
    EXPECT_EQ(entry, &config.allGroups()[0].textures.back());
}

TEST_F(ConfigModel, BorderFlagGrowsRectByTwiceTheGroupBorder) {
    config.addGroup("g", 0, 0, "", 0, 2);
    config.images["wide.tga"] = FakeImage{64, 32, "R8G8B8", 1};
    TextureEntry* with = config.addTexture("wide.tga", true);
    ASSERT_NE(with, nullptr);
    EXPECT_TRUE(with->border);
    EXPECT_EQ(with->rect.width, 68);
    EXPECT_EQ(with->rect.height, 36);
    TextureEntry* without = config.addTexture("wide.tga", false);
    ASSERT_NE(without, nullptr);
    EXPECT_EQ(without->rect.width, 64);
    EXPECT_EQ(without->rect.height, 32);

    // Extreme borders saturate instead of wrapping round.
    config.addGroup("huge", 0, 0, "", 0, INT_MAX);
    EXPECT_EQ(config.addTexture("wide.tga", true)->rect.width, INT_MAX);
    config.addGroup("negative", 0, 0, "", 0, INT_MIN);
    EXPECT_EQ(config.addTexture("wide.tga", true)->rect.height, INT_MIN);
    config.addGroup("shrink", 0, 0, "", 0, -3);
    EXPECT_EQ(config.addTexture("wide.tga", true)->rect.width, 58);
}

TEST_F(ConfigModel, FailedProbeWarnsAndAddsNothing) {
    config.addGroup("g", 0, 0, "", 0, 1);
    config.addTexture("a.tga", false);
    eventLog().clear();
    EXPECT_EQ(config.addTexture("dir\\missing.tga", true), nullptr);
    static const char bytes[] = "xyz";
    EXPECT_EQ(config.addTextureFromMemory("missing.png", bytes, 3, false), nullptr);
    EXPECT_EQ(eventLog(), (std::vector<std::string>{"addTexture dir\\missing.tga border",
                                                    "warning: Failed to load texture: dir\\missing.tga",
                                                    "warning: Failed to load texture: missing.png"}));
    EXPECT_EQ(config.allGroups()[0].textures.size(), 1u);
}

TEST_F(ConfigModel, AddTextureFromMemoryHandsTheBytesToTheProbe) {
    config.setTexturePath("tex\\");
    config.addGroup("g", 0, 0, "", 0, 4);
    static const unsigned char bytes[7] = {};
    TextureEntry* entry = config.addTextureFromMemory("in\\memory.png", bytes, sizeof bytes, true);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(config.probes, std::vector<std::string>{"memory tex\\|in\\memory.png|7"});
    EXPECT_EQ(config.lastData, bytes);
    EXPECT_EQ(entry->name, "in/memory.png");
    EXPECT_EQ(entry->path, "tex\\in\\memory.png");
    EXPECT_EQ(entry->rect.width, 72);
    EXPECT_EQ(entry->rect.height, 40);
}

TEST_F(ConfigModel, WithoutCurrentGroupTexturesAreRejectedUnprobed) {
    EXPECT_EQ(config.addTexture("a.tga", false), nullptr);
    EXPECT_EQ(config.addTextureFromMemory("a.tga", "x", 1, false), nullptr);
    EXPECT_TRUE(config.probes.empty());
    EXPECT_TRUE(config.allGroups().empty());
}

TEST_F(ConfigModel, GroupsKeepOrderAndNameLookupsFindTheFirst) {
    AtlasGroup* first = config.addGroup("same", 256, 128, "DXT5", 3, 2);
    EXPECT_EQ(first->rect.x, 0);
    EXPECT_EQ(first->rect.y, 0);
    EXPECT_EQ(first->rect.width, 256);
    EXPECT_EQ(first->rect.height, 128);
    EXPECT_EQ(first->format, "DXT5");
    EXPECT_EQ(first->mipLevels, 3);
    EXPECT_EQ(first->border, 2);
    EXPECT_EQ(first->index, -1);
    config.addGroup("other", -1, 0, "", 0, 1);
    AtlasGroup* second = config.addGroup("same", 0, 0, "", 0, 1);
    EXPECT_EQ(config.current(), second);
    ASSERT_EQ(config.allGroups().size(), 3u);

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
    config.addGroup("A", 0, 0, "", 0, 1);
    config.addGroup("B", 0, 0, "", 0, 1);
    config.addGroup("C", 0, 0, "", 0, 1);
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
    EXPECT_EQ(config.beginGroups(), config.endGroups());
}

}  // namespace
