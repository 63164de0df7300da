// The configuration file writer: byte-exact output and reading it back.
#include "unit/config_fake.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

using namespace configtest;

namespace {

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void fillMixed(FakeConfiguration& config) {
    config.addGroup("trees", 1024, 512, "DXT1", 0, 2);
    config.addTexture("leaf.tga", true);
    config.addTexture("bark.tga", false);
    config.addGroup("default", 0, 0, "", 0, 1);
    config.addGroup("odd", -5, -1, "", -2, -3);
    config.addTexture("sub\\dir\\x.tga", true);
    config.addGroup("trees", 2048, 0, "A8R8G8B8", 11, 0);
    config.addTexture("bark.tga", false);
    config.addTexture("missing.tga", true);
}

TEST(ConfigWriter, MatchesExpectedFilesByteForByte) {
    FakeConfiguration empty;
    const std::string emptyPath = TA_TEST_SCRATCH "/writer_empty.cfg";
    empty.save(emptyPath.c_str());
    EXPECT_EQ(fileBytes(emptyPath), fileBytes(TA_TEST_DATA "/config/header_only.cfg"));

    FakeConfiguration config;
    fillMixed(config);
    config.setTexturePath("not/written");
    config.setOutputPath("nor/this");
    const std::string path = TA_TEST_SCRATCH "/writer_mixed.cfg";
    std::ofstream(path) << "an older and much longer content that must be truncated away\n" << std::string(5000, 'x');
    config.save(path.c_str());
    const std::string expected = fileBytes(TA_TEST_DATA "/config/mixed.cfg");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(fileBytes(path), expected);
    config.save(path.c_str());
    EXPECT_EQ(fileBytes(path), expected);
}

TEST(ConfigWriter, SavedFileReadsBackAsTheSameConfiguration) {
    FakeConfiguration original;
    fillMixed(original);
    std::stringstream file;
    original.saveToStream(file);

    FakeConfiguration copy;
    eventLog().clear();
    EXPECT_TRUE(copy.loadFromStream(file));
    EXPECT_EQ(eventLog().size(), 8u) << "only the addGroup and addTexture calls";
    const auto& a = original.allGroups();
    const auto& b = copy.allGroups();
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].name, b[i].name);
        EXPECT_EQ(a[i].rect.width, b[i].rect.width);
        EXPECT_EQ(a[i].rect.height, b[i].rect.height);
        EXPECT_EQ(a[i].format, b[i].format);
        EXPECT_EQ(a[i].mipLevels, b[i].mipLevels);
        EXPECT_EQ(a[i].border, b[i].border);
        ASSERT_EQ(a[i].textures.size(), b[i].textures.size()) << a[i].name;
        for (size_t t = 0; t < a[i].textures.size(); ++t) {
            EXPECT_EQ(a[i].textures[t].name, b[i].textures[t].name);
            EXPECT_EQ(a[i].textures[t].border, b[i].textures[t].border);
            EXPECT_EQ(a[i].textures[t].rect.width, b[i].textures[t].rect.width);
        }
    }
    std::stringstream again;
    copy.saveToStream(again);
    file.clear();
    EXPECT_EQ(again.str(), file.str());
}

TEST(ConfigWriter, UnwritablePathIsIgnoredQuietly) {
    FakeConfiguration config;
    fillMixed(config);
    eventLog().clear();
    config.save(TA_TEST_SCRATCH "/no/such/dir/x.cfg");
    config.save(TA_TEST_SCRATCH);
    EXPECT_TRUE(eventLog().empty());
    EXPECT_EQ(config.allGroups().size(), 4u);
}

}  // namespace
