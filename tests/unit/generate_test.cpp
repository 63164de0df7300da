// Page generation on the software device: composed texels at every level,
// the image pairing, and every failure with its message, its releases and
// the files it leaves. Sources are made and pages read back with the layer,
// which the platform tests check against independent readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "interface/D3DTextureAtlas.h"
#include "platform/image_fixtures.h"
#include "platform/soft_device.h"

using namespace textureatlas;
using fixtures::readFile;
namespace fs = std::filesystem;

namespace {

struct Texels {
    unsigned width = 0, height = 0;
    std::vector<std::uint32_t> texels;  // ARGB, row by row
    std::uint32_t at(unsigned x, unsigned y) const { return texels[y * width + x]; }
};

// Texels that tell image, level and position apart; alpha is never 0, so a
// written texel differs from the zeros of a new texture.
Texels pattern(unsigned width, unsigned height, unsigned image, unsigned level) {
    Texels out{width, height, {}};
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) out.texels.push_back(0x80000000u | image << 24 | level << 16 | y << 8 | x);
    return out;
}

std::vector<Texels> chain(unsigned width, unsigned height, unsigned image, unsigned levels) {
    std::vector<Texels> out;
    for (unsigned level = 0; level < levels; ++level)
        out.push_back(pattern(std::max(width >> level, 1u), std::max(height >> level, 1u), image, level));
    return out;
}

MemoryImage memoryImage(const std::vector<std::uint8_t>& bytes) {
    return MemoryImage{bytes.data(), static_cast<unsigned int>(bytes.size())};
}

std::vector<std::string> messages;
void collect(const std::string& message) { messages.push_back(message); }

class PageAtlas : public D3DTextureAtlas {
public:
    PageAtlas(IDirect3DDevice9* device, const std::string& directory) : D3DTextureAtlas(device) {
        outputPath = directory;
        setErrorCallback(collect);
    }
    AtlasGroup& addPage(const std::string& name, int width, int height, const std::string& format, int mipLevels,
                        int border) {
        pages.push_back(AtlasGroup{name, {}, format, {0, 0, width, height}, mipLevels, border, 0});
        return pages.back();
    }
};

void place(AtlasGroup& page, const std::string& path, int x, int y, int width, int height, bool border = false) {
    page.textures.push_back(TextureEntry{path, path, {x, y, width, height}, "", border, 0});
}

long liveResources() { return d3d9soft::liveObjects().textures + d3d9soft::liveObjects().surfaces; }

class Generate : public SoftDeviceTest {
protected:
    void SetUp() override {
        SoftDeviceTest::SetUp();
        directory = std::string("gen_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
        fs::remove_all(directory);
        fs::create_directories(directory);
        atlas = std::make_unique<PageAtlas>(device, directory);
        messages.clear();
        baseline = liveResources();
    }
    void TearDown() override {
        atlas.reset();
        d3d9soft::resetCalls();
        SoftDeviceTest::TearDown();
    }

    // An A8R8G8B8 DDS file holding exactly `levels`, left in made.dds.
    std::vector<std::uint8_t> imageFile(const std::vector<Texels>& levels) {
        IDirect3DTexture9* texture =
            makeTexture(levels[0].width, levels[0].height, UINT(levels.size()), D3DFMT_A8R8G8B8);
        if (!texture) return {};
        for (UINT i = 0; i < levels.size(); ++i)
            writeLevel(texture, i, levels[i].texels.data(), 4 * levels[i].width, levels[i].height);
        const std::string path = directory + "made.dds";
        EXPECT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture, nullptr), D3D_OK);
        texture->Release();
        return readFile(path);
    }

    // The A8R8G8B8 levels of an image file: as generation loads a source, or
    // (for a page) exactly as stored.
    std::vector<Texels> decode(const std::vector<std::uint8_t>& file, bool asSource) {
        IDirect3DTexture9* texture = nullptr;
        if (file.empty() || FAILED(loadImage(file, &texture, asSource ? D3DX_DEFAULT : D3DX_DEFAULT_NONPOW2,
                                             asSource ? 0 : D3DX_FROM_FILE, nullptr, D3DX_FILTER_NONE, D3DFMT_A8R8G8B8,
                                             asSource ? D3DX_DEFAULT : D3DX_FILTER_NONE))) {
            ADD_FAILURE() << "cannot decode " << file.size() << " bytes";
            return {};
        }
        std::vector<Texels> levels;
        for (UINT i = 0; i < texture->GetLevelCount(); ++i)
            levels.push_back(Texels{levelDesc(texture, i).Width, levelDesc(texture, i).Height, argb(texture, i)});
        texture->Release();
        return levels;
    }
    std::vector<Texels> page(const std::string& name) { return decode(readFile(directory + name + ".dds"), false); }

    void expectReleased() { EXPECT_EQ(liveResources(), baseline); }

    std::unique_ptr<PageAtlas> atlas;
    std::string directory;
    long baseline = 0;
};

// Page texels [x, x + w) x [y, y + h) must hold the source's top-left part,
// with transparent black where the rectangle reaches past the source.
void expectCopy(const Texels& page, int x, int y, int w, int h, const Texels& source) {
    for (int dy = 0; dy < h; ++dy)
        for (int dx = 0; dx < w; ++dx) {
            const std::uint32_t expected =
                unsigned(dx) < source.width && unsigned(dy) < source.height ? source.at(dx, dy) : 0u;
            ASSERT_EQ(page.at(x + dx, y + dy), expected) << "at (" << x + dx << ", " << y + dy << ")";
        }
}

std::vector<int> writtenPerLevel(const std::vector<Texels>& levels) {
    std::vector<int> counts;
    for (const Texels& level : levels)
        counts.push_back(int(level.texels.size()) - int(std::count(level.texels.begin(), level.texels.end(), 0u)));
    return counts;
}

}  // namespace

TEST_F(Generate, CellsAtEveryLevelWithBorderGapHalvingAndLevelClamp) {
    const auto imageA = imageFile(chain(8, 8, 1, 4));
    const auto imageB = imageFile(chain(2, 2, 2, 2));  // bordered
    const auto imageC = imageFile(chain(1, 4, 3, 3));  // 1 texel wide
    const auto imageD = imageFile(chain(3, 3, 4, 1));  // padded to 4 x 4 on load, so cropped into its cell
    const std::vector<Texels> a = decode(imageA, true), b = decode(imageB, true), c = decode(imageC, true),
                              d = decode(imageD, true);
    ASSERT_TRUE(a.size() == 4 && b.size() == 2 && d.size() == 3);
    AtlasGroup& cells = atlas->addPage("cells0", 32, 16, "A8R8G8B8", 6, 3);
    place(cells, "a", 0, 0, 8, 8);
    place(cells, "b", 8, 0, 8, 8, true);
    place(cells, "c", 16, 0, 1, 4);
    place(cells, "d", 17, 5, 3, 3);

    d3d9soft::resetCalls();
    ASSERT_TRUE(atlas->generateFromMemory(
        {memoryImage(imageA), memoryImage(imageB), memoryImage(imageC), memoryImage(imageD)}));
    EXPECT_TRUE(messages.empty());
    // A cell stops at the first level where either side is 0.
    EXPECT_EQ(d3d9soft::callCount("D3DXLoadSurfaceFromSurface"), 4 + 4 + 1 + 2);
    expectReleased();
    const std::vector<Texels> levels = page("cells0");
    ASSERT_EQ(levels.size(), 6u);

    // b is inset by the border at level 0 only and then repeats its last
    // level; c is empty from level 1; d's level-1 cell is (8, 2, 1, 1): each
    // value halved on its own.
    const struct {
        unsigned level;
        int x, y, w, h;
        const Texels& source;
    } copies[] = {{0, 0, 0, 8, 8, a[0]}, {0, 11, 3, 2, 2, b[0]}, {0, 16, 0, 1, 4, c[0]}, {0, 17, 5, 3, 3, d[0]},
                  {1, 0, 0, 4, 4, a[1]}, {1, 4, 0, 4, 4, b[1]},  {1, 8, 2, 1, 1, d[1]},  {2, 0, 0, 2, 2, a[2]},
                  {2, 2, 0, 2, 2, b[1]}, {3, 0, 0, 1, 1, a[3]},  {3, 1, 0, 1, 1, b[1]}};
    for (const auto& copy : copies) {
        SCOPED_TRACE("level " + std::to_string(copy.level) + " cell at " + std::to_string(copy.x));
        expectCopy(levels[copy.level], copy.x, copy.y, copy.w, copy.h, copy.source);
    }
    EXPECT_EQ(writtenPerLevel(levels), (std::vector<int>{64 + 4 + 4 + 9, 16 + 1 + 1, 4 + 1, 1 + 1, 0, 0}));
}

TEST_F(Generate, FormatNamesInAnyCaseAndUnknownNamesLeftToD3dx) {
    const auto image = imageFile(chain(4, 4, 5, 3));
    // CxV8U8 is upper-cased into a name the table lacks (Formats.Lookup...);
    // D3DX then makes A8R8G8B8.
    for (const char* format : {"A8R8G8B8", "a8r8g8b8", "CxV8U8", "X8R8G8B8"})
        place(atlas->addPage(std::string("f") + format, 8, 4, format, 3, 0), "t", 2, 0, 4, 4);
    ASSERT_TRUE(atlas->generateFromMemory({memoryImage(image)}));
    expectReleased();
    const auto reference = readFile(directory + "fA8R8G8B8.dds");
    for (const char* format : {"a8r8g8b8", "CxV8U8"})
        EXPECT_EQ(readFile(directory + "f" + format + ".dds"), reference) << format;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileA((directory + "fX8R8G8B8.dds").c_str(), &info), D3D_OK);
    EXPECT_EQ(info.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(info.MipLevels, 3u);
}

TEST_F(Generate, DxtPagesAreComposedUncompressedThenConverted) {
    // Solid cells, so that every 4 x 4 block holds at most two colours.
    Texels red{8, 8, std::vector<std::uint32_t>(64, 0xffd02010)},
        blue{8, 8, std::vector<std::uint32_t>(64, 0xff1040e0)};
    const auto redImage = imageFile({red}), blueImage = imageFile({blue});
    for (const char* format : {"dxt5", "A8R8G8B8"}) {
        AtlasGroup& dxt = atlas->addPage(std::string("d") + format, 16, 8, format, 4, 0);
        place(dxt, "red", 0, 0, 8, 8);
        place(dxt, "blue", 8, 0, 8, 8);
    }
    ASSERT_TRUE(atlas->generateFromMemory({memoryImage(redImage), memoryImage(blueImage)}));
    expectReleased();

    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileA((directory + "ddxt5.dds").c_str(), &info), D3D_OK);
    EXPECT_EQ(info.Format, D3DFMT_DXT5);
    const std::vector<Texels> compressed = page("ddxt5"), plain = page("dA8R8G8B8");
    ASSERT_EQ(compressed.size(), 4u);
    ASSERT_EQ(plain.size(), 4u);
    for (std::size_t level = 0; level < plain.size(); ++level)
        for (std::size_t i = 0; i < plain[level].texels.size(); ++i)
            for (int shift = 0; shift < 32; shift += 8)
                ASSERT_NEAR(int(compressed[level].texels[i] >> shift & 0xff),
                            int(plain[level].texels[i] >> shift & 0xff), 8)
                    << "level " << level << " texel " << i;
}

TEST_F(Generate, ImagesPairWithEachPagesTexturesFromTheFirstImage) {
    std::vector<std::vector<std::uint8_t>> files;
    for (unsigned id = 1; id <= 3; ++id) files.push_back(imageFile({pattern(8, 8, id, 0)}));
    AtlasGroup& first = atlas->addPage("pair0", 64, 8, "A8R8G8B8", 1, 0);
    for (int i = 0; i < 4; ++i) place(first, "t" + std::to_string(i), 8 * i, 0, 8, 8);
    AtlasGroup& second = atlas->addPage("pair1", 16, 8, "A8R8G8B8", 1, 0);
    place(second, "u0", 8, 0, 8, 8);
    place(second, "u1", 0, 0, 8, 8);

    ASSERT_TRUE(atlas->generateFromMemory({memoryImage(files[0]), memoryImage(files[1]), memoryImage(files[2])}));
    expectReleased();
    const Texels page0 = page("pair0").at(0), page1 = page("pair1").at(0);
    for (int i = 0; i < 3; ++i) expectCopy(page0, 8 * i, 0, 8, 8, pattern(8, 8, i + 1, 0));
    EXPECT_EQ(writtenPerLevel({page0}), std::vector<int>{3 * 64});  // the fourth texture has no image
    expectCopy(page1, 8, 0, 8, 8, pattern(8, 8, 1, 0));
    expectCopy(page1, 0, 0, 8, 8, pattern(8, 8, 2, 0));

    // No images: pages are still made and saved, with nothing drawn.
    fs::remove(directory + "pair1.dds");
    ASSERT_TRUE(atlas->generateFromMemory({}));
    EXPECT_EQ(writtenPerLevel(page("pair0")), std::vector<int>{0});
    EXPECT_TRUE(fs::exists(directory + "pair1.dds"));
}

TEST_F(Generate, FilesAreLoadedByPathAndAMissingOneStopsAtItsPage) {
    const auto bytes = imageFile({pattern(4, 4, 7, 0)});
    const std::string source = directory + "made.dds";
    AtlasGroup& first = atlas->addPage("file0", 8, 4, "A8R8G8B8", 1, 0);
    place(first, source, 0, 0, 4, 4);
    place(first, source, 4, 0, 4, 4);
    ASSERT_TRUE(atlas->generateFromMemory({memoryImage(bytes), memoryImage(bytes)}));
    const auto fromMemory = readFile(directory + "file0.dds");
    fs::remove(directory + "file0.dds");
    ASSERT_TRUE(atlas->generate());
    EXPECT_EQ(readFile(directory + "file0.dds"), fromMemory);
    EXPECT_EQ(writtenPerLevel(page("file0")), std::vector<int>{32});

    const std::string missing = directory + "missing.dds";
    place(atlas->addPage("file1", 8, 4, "A8R8G8B8", 1, 0), missing, 0, 0, 4, 4);
    place(atlas->addPage("file2", 8, 4, "A8R8G8B8", 1, 0), source, 0, 0, 4, 4);
    fs::remove(directory + "file0.dds");
    EXPECT_FALSE(atlas->generate());
    EXPECT_EQ(messages, std::vector<std::string>{"Could not load texture: " + missing});
    EXPECT_TRUE(fs::exists(directory + "file0.dds"));
    EXPECT_FALSE(fs::exists(directory + "file1.dds"));
    EXPECT_FALSE(fs::exists(directory + "file2.dds"));
    expectReleased();
}

TEST_F(Generate, NoPagesTouchNeitherDeviceNorDisk) {
    EXPECT_TRUE(atlas->generate());
    EXPECT_TRUE(atlas->generateFromMemory({}));
    EXPECT_EQ(d3d9soft::callCount("D3DXCreateTexture"), 0);
    EXPECT_TRUE(fs::is_empty(directory));
}

TEST_F(Generate, EachFailureStopsWithItsMessageAndReleasesEverything) {
    // Two pages of one 8 x 8 texture each, two levels: per page one page
    // texture (two for DXT1), one load, and per level two surfaces and one copy.
    const struct {
        const char* function;
        int nth;
        std::uint32_t result;
        const char* format;
        const char* message;  // "@" stands for the output directory
        bool firstPageSaved;
    } rows[] = {
        {"D3DXCreateTexture", 1, 0x8876017C, "A8R8G8B8", "Could not create atlasTexture for group g0", false},
        {"D3DXCreateTexture", 2, 0x8007000E, "A8R8G8B8", "Could not create atlasTexture for group g1", true},
        {"D3DXCreateTextureFromFileInMemoryEx", 2, 0x88760B59, "A8R8G8B8", "Could not load texture: tex/g1.tga", true},
        {"GetSurfaceLevel", 1, 0x8007000E, "A8R8G8B8", "E_OUTOFMEMORY", false},
        {"GetSurfaceLevel", 4, 0x8876086C, "A8R8G8B8", "D3DERR_INVALIDCALL", false},
        {"GetSurfaceLevel", 6, 0x80070002, "A8R8G8B8", "ERROR_FILE_NOT_FOUND", true},
        {"D3DXLoadSurfaceFromSurface", 2, 0x80001234, "A8R8G8B8", "Unknown", false},
        {"D3DXSaveTextureToFileA", 2, 0x80004005, "A8R8G8B8", "Error saving texture \"@g1.dds\"", true},
        {"D3DXCreateTexture", 2, 0x8007000E, "DXT1", "Error saving texture \"@g0.dds\"", false},
        {"D3DXSaveTextureToFileA", 1, 0x80004005, "DXT1", "Error saving texture \"@g0.dds\"", false},
    };
    const auto image = imageFile({pattern(8, 8, 1, 0)});
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.function) + " #" + std::to_string(row.nth) + " " + row.format);
        PageAtlas local(device, directory);
        place(local.addPage("g0", 16, 16, row.format, 2, 0), "tex/g0.tga", 0, 0, 8, 8);
        place(local.addPage("g1", 16, 16, row.format, 2, 0), "tex/g1.tga", 8, 8, 8, 8);
        fs::remove(directory + "g0.dds");
        messages.clear();
        d3d9soft::resetCalls();
        d3d9soft::failCall(row.function, row.nth, static_cast<HRESULT>(row.result));

        EXPECT_FALSE(local.generateFromMemory({memoryImage(image)}));
        std::string expected = row.message;
        if (expected.find('@') != std::string::npos) expected.replace(expected.find('@'), 1, directory);
        EXPECT_EQ(messages, std::vector<std::string>{expected});
        expectReleased();
        EXPECT_EQ(fs::exists(directory + "g0.dds"), row.firstPageSaved);
        EXPECT_FALSE(fs::exists(directory + "g1.dds"));
    }
}

TEST_F(Generate, FailuresWhileConvertingToDxtAreNotErrors) {
    const auto image = imageFile({pattern(8, 8, 1, 0)});
    place(atlas->addPage("c0", 16, 16, "DXT1", 2, 0), "tex/c0.tga", 0, 0, 8, 8);
    // The composition takes two surfaces and one copy per level; then the
    // conversion's copy of level 0 fails, and a surface of level 1, whose
    // copy is made all the same.
    d3d9soft::resetCalls();
    d3d9soft::failCall("D3DXLoadSurfaceFromSurface", 3, E_FAIL);
    d3d9soft::failCall("GetSurfaceLevel", 7, D3DERR_INVALIDCALL);
    EXPECT_TRUE(atlas->generateFromMemory({memoryImage(image)}));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(d3d9soft::callCount("D3DXLoadSurfaceFromSurface"), 4);
    EXPECT_EQ(d3d9soft::callCount("GetSurfaceLevel"), 8);
    EXPECT_TRUE(fs::exists(directory + "c0.dds"));
    expectReleased();
}
