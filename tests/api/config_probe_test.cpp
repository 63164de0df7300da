// The image probes behind the public interface: what reaches a texture entry
// from a file or from memory, and what happens when an image cannot be read.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <d3d9.h>
#include <gtest/gtest.h>
#include <stb/stb_image_write.h>
#include <textureatlas/textureatlas.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/image_fixtures.h"

using namespace textureatlas;

namespace {

std::vector<std::string> warnings;
void recordWarning(const std::string& message) { warnings.push_back(message); }

std::string describe(const TextureEntry* e) {
    if (!e) return "null";
    return e->name + "|" + e->path + "|" + std::to_string(e->rect.width) + "x" + std::to_string(e->rect.height) + "|" +
           e->format + "|" + std::to_string(e->mipLevels);
}

TEST(ConfigProbe, FilesAndMemoryImagesFillTheEntry) {
    const std::string dir = TA_TEST_SCRATCH "/";
    std::vector<unsigned char> pixels(64 * 32 * 4, 0x80);
    ASSERT_TRUE(stbi_write_png((dir + "probe_rgba.png").c_str(), 64, 32, 4, pixels.data(), 64 * 4));
    // 8x4 DXT1 with 3 levels: 2 + 1 + 1 blocks of 8 bytes.
    const fixtures::Bytes dds = fixtures::ddsFile(
        0x21007, 8, 4, 0, 3, fixtures::ddsFourCc(MAKEFOURCC('D', 'X', 'T', '1')), 0, fixtures::Bytes(32), 0, 0x401008);
    std::ofstream(dir + "probe_mips.dds", std::ios::binary)
        .write(reinterpret_cast<const char*>(dds.data()), std::streamsize(dds.size()));
    const std::string junk = "certainly not an image";

    warnings.clear();
    std::unique_ptr<ITextureAtlasConfiguration> config(ITextureAtlasConfiguration::create());
    ASSERT_NE(config, nullptr);
    config->setWarningCallback(recordWarning);
    config->setTexturePath(TA_TEST_SCRATCH);
    config->addGroup("g", 0, 0, "", 0, 3);
    EXPECT_EQ(describe(config->addTexture("probe_rgba.png", true)),
              "probe_rgba.png|" + dir + "probe_rgba.png|70x38|A8R8G8B8|1");
    EXPECT_EQ(describe(config->addTexture("probe_mips.dds", false)),
              "probe_mips.dds|" + dir + "probe_mips.dds|8x4|DXT1|3");
    EXPECT_EQ(describe(config->addTextureFromMemory("not\\on\\disk.dds", dds.data(), unsigned(dds.size()), false)),
              "not/on/disk.dds|" + dir + "not\\on\\disk.dds|8x4|DXT1|3");
    EXPECT_TRUE(warnings.empty());
    // Refused images: HostileInput.EmptyFilesAndDirectoriesAreNotTextures.
    EXPECT_EQ(config->addTextureFromMemory("junk", junk.data(), unsigned(junk.size()), false), nullptr);
    EXPECT_EQ(warnings, std::vector<std::string>{"Failed to load texture: junk"});
    EXPECT_EQ(config->beginGroups()->textures.size(), 3u);
}

}  // namespace
