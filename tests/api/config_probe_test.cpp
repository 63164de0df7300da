// Probing real image files and in-memory images through the public interface.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <gtest/gtest.h>
#include <textureatlas/textureatlas.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

using namespace textureatlas;

namespace {

std::vector<std::string> warnings;
void recordWarning(const std::string& message) { warnings.push_back(message); }

const std::string dir = TA_TEST_SCRATCH "/probe_images/";

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xff);
}

// DXT1, 8x8 with 3 levels: 4 + 1 + 1 blocks of 8 bytes.
void writeDxt1Dds(const std::string& path) {
    std::string dds = "DDS ";
    put32(dds, 124);
    put32(dds, 0x1007 | 0x20000);
    put32(dds, 8);  // height
    put32(dds, 8);  // width
    put32(dds, 0);
    put32(dds, 0);
    put32(dds, 3);  // mip levels
    for (int i = 0; i < 11; ++i) put32(dds, 0);
    put32(dds, 32);  // pixel format size
    put32(dds, 0x4);
    dds += "DXT1";
    for (int i = 0; i < 5; ++i) put32(dds, 0);
    put32(dds, 0x401008);
    for (int i = 0; i < 4; ++i) put32(dds, 0);
    dds += std::string(6 * 8, '\x55');
    std::ofstream(path, std::ios::binary) << dds;
}

class ConfigProbe : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::filesystem::create_directories(dir + "sub");
        std::vector<unsigned char> pixels(64 * 32 * 4, 0x80);
        stbi_write_png((dir + "rgba.png").c_str(), 64, 32, 4, pixels.data(), 64 * 4);
        stbi_write_png((dir + "rgb.png").c_str(), 5, 7, 3, pixels.data(), 5 * 3);
        stbi_write_png((dir + "sub/grey.png").c_str(), 3, 2, 1, pixels.data(), 3);
        // Paths reach the file functions unchanged: here a backslash is part of the file name.
        stbi_write_png((dir + "back\\slash.png").c_str(), 3, 2, 1, pixels.data(), 3);
        stbi_write_tga_with_rle = 0;
        stbi_write_tga((dir + "rgb.tga").c_str(), 9, 4, 3, pixels.data());
        stbi_write_bmp((dir + "rgb.bmp").c_str(), 6, 10, 3, pixels.data());
        writeDxt1Dds(dir + "mips.dds");
        std::ofstream(dir + "junk.png", std::ios::binary) << "certainly not an image";
    }

    void SetUp() override {
        warnings.clear();
        config.reset(ITextureAtlasConfiguration::create());
        ASSERT_NE(config, nullptr);
        config->setWarningCallback(recordWarning);
        config->setTexturePath(dir.substr(0, dir.size() - 1).c_str());
        config->addGroup("g", 0, 0, "", 0, 3);
    }

    std::unique_ptr<ITextureAtlasConfiguration> config;
};

struct Expected {
    const char* name;
    int width, height;
    const char* format;
    int mipLevels;
};

TEST_F(ConfigProbe, FilesGiveSizeFormatAndMipLevels) {
    const Expected cases[] = {
        {"rgba.png", 64, 32, "A8R8G8B8", 1}, {"rgb.png", 5, 7, "X8R8G8B8", 1}, {"back\\slash.png", 3, 2, "L8", 1},
        {"rgb.tga", 9, 4, "R8G8B8", 1},      {"rgb.bmp", 6, 10, "R8G8B8", 1},  {"mips.dds", 8, 8, "DXT1", 3},
        {"sub/grey.png", 3, 2, "L8", 1},
    };
    for (const Expected& c : cases) {
        TextureEntry* entry = config->addTexture(c.name, false);
        ASSERT_NE(entry, nullptr) << c.name;
        EXPECT_EQ(entry->path, dir + c.name);
        EXPECT_EQ(entry->rect.width, c.width) << c.name;
        EXPECT_EQ(entry->rect.height, c.height) << c.name;
        EXPECT_EQ(entry->format, c.format) << c.name;
        EXPECT_EQ(entry->mipLevels, c.mipLevels) << c.name;
    }
    EXPECT_EQ(config->beginGroups()->textures[2].name, "back/slash.png");
    EXPECT_TRUE(warnings.empty());

    TextureEntry* bordered = config->addTexture("rgba.png", true);
    ASSERT_NE(bordered, nullptr);
    EXPECT_EQ(bordered->rect.width, 70);
    EXPECT_EQ(bordered->rect.height, 38);
}

TEST_F(ConfigProbe, MemoryImagesAreProbedWithoutTheirFile) {
    const std::string png = fileBytes(dir + "rgba.png");
    const std::string dds = fileBytes(dir + "mips.dds");
    ASSERT_FALSE(png.empty());
    TextureEntry* entry = config->addTextureFromMemory("not\\on\\disk.png", png.data(), unsigned(png.size()), true);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->name, "not/on/disk.png");
    EXPECT_EQ(entry->path, dir + "not\\on\\disk.png");
    EXPECT_EQ(entry->rect.width, 70);
    EXPECT_EQ(entry->format, "A8R8G8B8");
    entry = config->addTextureFromMemory("m.dds", dds.data(), unsigned(dds.size()), false);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->format, "DXT1");
    EXPECT_EQ(entry->mipLevels, 3);
    EXPECT_TRUE(warnings.empty());
}

TEST_F(ConfigProbe, UnreadableImagesAreWarnedAboutAndSkipped) {
    const std::string junk = "certainly not an image";
    const std::string png = fileBytes(dir + "rgba.png");
    EXPECT_EQ(config->addTexture("absent.png", false), nullptr);
    EXPECT_EQ(config->addTexture("junk.png", false), nullptr);
    EXPECT_EQ(config->addTexture("", false), nullptr);
    EXPECT_EQ(config->addTextureFromMemory("junk", junk.data(), unsigned(junk.size()), false), nullptr);
    EXPECT_EQ(config->addTextureFromMemory("empty", png.data(), 0, false), nullptr);
    EXPECT_EQ(config->addTextureFromMemory("cut", png.data(), 20, false), nullptr);
    EXPECT_EQ(warnings,
              (std::vector<std::string>{"Failed to load texture: absent.png", "Failed to load texture: junk.png",
                                        "Failed to load texture: ", "Failed to load texture: junk",
                                        "Failed to load texture: empty", "Failed to load texture: cut"}));
    EXPECT_TRUE(config->beginGroups()->textures.empty());
}

TEST_F(ConfigProbe, LoadedFileProbesEachTextureAndSavesBack) {
    const std::string cfg = TA_TEST_SCRATCH "/probe_images.cfg";
    std::ofstream(cfg) << "group pics width 512 format DXT5 border 4\n"
                          "rgb.tga border\n"
                          "back\\slash.png\n"
                          "absent.png border\n";
    EXPECT_TRUE(config->load(cfg.c_str()));
    EXPECT_EQ(warnings, std::vector<std::string>{"Failed to load texture: absent.png"});
    GroupIterator pics = config->findGroup("pics");
    ASSERT_NE(pics, config->endGroups());
    ASSERT_EQ(pics->textures.size(), 2u);
    EXPECT_EQ(pics->textures[0].rect.width, 17);
    EXPECT_EQ(pics->textures[0].rect.height, 12);
    EXPECT_EQ(pics->textures[1].name, "back/slash.png");
    EXPECT_EQ(pics->textures[1].path, dir + "back\\slash.png");

    config->eraseGroup(config->beginGroups());
    const std::string saved = TA_TEST_SCRATCH "/probe_images_saved.cfg";
    config->save(saved.c_str());
    const std::string text = fileBytes(saved);
    const std::string body =
        "group pics width 512 height 0 format DXT5 miplevels 0 border 4\n"
        "rgb.tga border\n"
        "back/slash.png\n"
        "\n";
    ASSERT_GE(text.size(), body.size());
    EXPECT_EQ(text.substr(text.size() - body.size()), body);
}

}  // namespace
