// Hostile input through the shared library, as a host meets it: truncated,
// oversized and lying image files, empty files, directories and non-UTF-8
// names. Each case must end with a defined message, no crash, and every
// Direct3D object and host memory block released.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <d3d9.h>
#include <d3d9_testing.h>
#include <gtest/gtest.h>
#include <stb/stb_image_write.h>
#include <sys/resource.h>
#include <tarn/vek/memory_stats.h>
#include <textureatlas/textureatlas.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "api/software_device.h"
#include "platform/image_fixtures.h"

using namespace textureatlas;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

std::vector<std::string> messages;
void collect(const std::string& message) { messages.push_back(message); }

// Each test gets its own directory: ctest runs them in parallel.
std::string scratch;

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
}

// Readers must not trust the data either: not zero.
const std::uint8_t kDdsFill = 0x5a;

struct Sample {
    const char* name;
    Bytes bytes;
};

// One small valid file for each way a cut can fail: the probe passes on a
// prefix (PNG), reads the header only (TGA), or checks the data size (DDS).
// Each format's every prefix is the layer's tests' business.
std::vector<Sample> validSamples() {
    std::vector<std::uint8_t> rgba(6 * 5 * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = std::uint8_t(i * 37);
    std::vector<Sample> samples(2);
    stbi_write_png_to_func(appendBytes, &samples[0].bytes, 6, 5, 4, rgba.data(), 6 * 4);
    stbi_write_tga_with_rle = 1;
    stbi_write_tga_to_func(appendBytes, &samples[1].bytes, 6, 5, 4, rgba.data());
    samples[0].name = "rgba.png", samples[1].name = "rle.tga";
    // 8x8 with 4 levels: 64 + 16 + 4 + 1 texels.
    samples.push_back({"mips.dds", fixtures::ddsOf(8, 8, 4, 0, 85 * 4, kDdsFill)});
    return samples;
}

bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

class HostileInput : public ::testing::Test {
protected:
    void SetUp() override {
        scratch = std::string(TA_TEST_SCRATCH "/hostile/") +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
        fs::create_directories(scratch + "textures/a_directory.png");
        fs::create_directories(scratch + "out");
        messages.clear();
        before = tarn::vek::memory::stats();
        device = createSoftwareDevice();
        ASSERT_NE(device, nullptr);
        config.reset(ITextureAtlasConfiguration::create());
        atlas.reset(ITextureAtlas::create(device));
        ASSERT_TRUE(config && atlas);
        config->setErrorCallback(collect);
        config->setWarningCallback(collect);
        atlas->setErrorCallback(collect);
        atlas->setWarningCallback(collect);
        config->setTexturePath((scratch + "textures").c_str());
        config->setOutputPath((scratch + "out").c_str());
    }

    // Everything the library allocated and every object it obtained is gone.
    void TearDown() override {
        atlas.reset();
        config.reset();
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        const tarn::vek::memory::Stats after = tarn::vek::memory::stats();
        EXPECT_EQ(after.liveBytes, before.liveBytes);
        EXPECT_EQ(after.liveBlocks, before.liveBlocks);
        const d3d9soft::LiveObjects live = d3d9soft::liveObjects();
        EXPECT_EQ(live.textures, 0);
        EXPECT_EQ(live.surfaces, 0);
        EXPECT_EQ(live.devices, 0);
    }

    // Adds `bytes` as an in-memory texture of a fresh group and writes the
    // atlas; every message must be one of the defined ones.
    void addAndWrite(const char* name, const Bytes& bytes) {
        messages.clear();
        config->addGroup("g", 64, 64, "A8R8G8B8", 0, 0);
        TextureEntry* entry = config->addTextureFromMemory(name, bytes.data(), unsigned(bytes.size()), false);
        if (!entry) {
            ASSERT_EQ(messages, std::vector<std::string>{std::string("Failed to load texture: ") + name});
        } else {
            atlas->layout(config.get());
            const MemoryImage image = {bytes.data(), unsigned(bytes.size())};
            const bool written = atlas->writeFromMemory({image}, (scratch + "out/index.txt").c_str());
            for (const std::string& message : messages)
                EXPECT_TRUE(startsWith(message, "Texture size larger than maximum atlas size: ") ||
                            startsWith(message, "Could not load texture: "))
                    << name << ": " << message;
            EXPECT_EQ(written, messages.empty() || !startsWith(messages.back(), "Could not load texture: ")) << name;
        }
        config->eraseGroup(config->findGroup("g"));
    }

    tarn::vek::memory::Stats before{};
    IDirect3DDevice9* device = nullptr;
    std::unique_ptr<ITextureAtlasConfiguration> config;
    std::unique_ptr<ITextureAtlas> atlas;
};

TEST_F(HostileInput, TruncatedFilesOfEveryTypeFailCleanlyThroughTheLibrary) {
    for (const Sample& sample : validSamples()) {
        ASSERT_FALSE(sample.bytes.empty()) << sample.name;
        // Through the library: a few cuts each, the whole path to the index.
        for (std::size_t length : {std::size_t(0), sample.bytes.size() / 2, sample.bytes.size() - 1}) {
            SCOPED_TRACE(std::string(sample.name) + " cut to " + std::to_string(length));
            addAndWrite(sample.name, Bytes(sample.bytes.begin(), sample.bytes.begin() + std::ptrdiff_t(length)));
        }
    }
}

TEST_F(HostileInput, HugeClaimedSizesAllocateNothingLarge) {
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    const long peakBefore = usage.ru_maxrss;
    for (std::uint32_t side : {65535u, 65536u, 100000u, 0x7fffffffu, 0xffffffffu}) {
        Bytes png;
        std::vector<std::uint8_t> pixel(4, 0xff);
        stbi_write_png_to_func(appendBytes, &png, 1, 1, 4, pixel.data(), 4);
        for (int i = 0; i < 4; ++i) {
            png[16 + i] = std::uint8_t(side >> (24 - 8 * i));  // IHDR width, big-endian
            png[20 + i] = std::uint8_t(side >> (24 - 8 * i));
        }
        const Bytes dds = fixtures::ddsOf(side, side, 1, 0, 64, kDdsFill);
        // One probe that passes and one that does not; the layer's refusal of
        // every format is HostileImages.HugeDimensionsAreRefused.
        addAndWrite("huge", png);
        addAndWrite("huge", dds);
    }
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - peakBefore, 256 * 1024) << "kilobytes";
}

TEST_F(HostileInput, EmptyFilesAndDirectoriesAreNotTextures) {
    std::ofstream(scratch + "textures/empty.png").close();
    config->addGroup("g", 0, 0, "", 0, 1);
    EXPECT_EQ(config->addTexture("empty.png", false), nullptr);
    EXPECT_EQ(config->addTexture("a_directory.png", true), nullptr);
    EXPECT_EQ(config->addTextureFromMemory("nothing", "", 0, false), nullptr);
    EXPECT_EQ(config->addTextureFromMemory("null", nullptr, 16, false), nullptr);
    EXPECT_EQ(messages,
              (std::vector<std::string>{"Failed to load texture: empty.png", "Failed to load texture: a_directory.png",
                                        "Failed to load texture: nothing", "Failed to load texture: null"}));
}

TEST_F(HostileInput, NonUtf8NamesPassThroughAsBytes) {
    const std::string name = "\xff\xfe\x80sprite\xc3(.png";  // invalid UTF-8 sequences
    const Sample png = validSamples()[0];
    std::ofstream(scratch + "textures/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(png.bytes.data()), std::streamsize(png.bytes.size()));
    config->addGroup("g\xe9", 0, 0, "A8R8G8B8", 1, 0);
    ASSERT_NE(config->addTexture(name.c_str(), false), nullptr);
    atlas->layout(config.get());
    ASSERT_TRUE(atlas->write((scratch + "out/index.txt").c_str())) << (messages.empty() ? "" : messages[0]);
    std::ifstream index(scratch + "out/index.txt", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(index)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find(name + "\t\tg\xe9"
                               "0.dds, 0, "),
              std::string::npos);
    EXPECT_TRUE(fs::exists(scratch + "out/g\xe9"
                                     "0.dds"));

    // The reader takes any bytes (ConfigReader); the writer must give them back.
    config->save((scratch + "bytes.cfg").c_str());
    std::ifstream saved(scratch + "bytes.cfg", std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
    EXPECT_NE(written.find("group g\xe9 "), std::string::npos);
    EXPECT_NE(written.find("\n" + name + "\n"), std::string::npos);
}

}  // namespace
