// The configuration file writer: byte-exact output, also of what was read back.
#include "unit/config_fake.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace configtest;

namespace {

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ConfigWriter, EmptyConfigurationGivesTheHeaderAlone) {
    FakeConfiguration empty;
    const std::string path = TA_TEST_SCRATCH "/writer_empty.cfg";
    empty.save(path.c_str());
    EXPECT_EQ(fileBytes(path), fileBytes(TA_TEST_DATA "/config/header_only.cfg"));
}

// The fixture holds negative values, an empty format, a group without
// textures and a repeated group name: every field must survive the round trip.
TEST(ConfigWriter, SavedFileOfWhatWasReadIsTheSameFile) {
    const std::string expected = fileBytes(TA_TEST_DATA "/config/mixed.cfg");
    ASSERT_FALSE(expected.empty());
    FakeConfiguration config;
    eventLog().clear();
    EXPECT_TRUE(config.load(TA_TEST_DATA "/config/mixed.cfg"));
    EXPECT_EQ(eventLog().size(), 8u) << "only the addGroup and addTexture calls";
    config.setTexturePath("not/written");

    const std::string path = TA_TEST_SCRATCH "/writer_mixed.cfg";
    std::ofstream(path) << "an older and much longer content that must be truncated away\n" << std::string(5000, 'x');
    config.save(path.c_str());
    EXPECT_EQ(fileBytes(path), expected);

    eventLog().clear();
    config.save(TA_TEST_SCRATCH "/no/such/dir/x.cfg");
    config.save(TA_TEST_SCRATCH);
    EXPECT_TRUE(eventLog().empty());
}

}  // namespace
