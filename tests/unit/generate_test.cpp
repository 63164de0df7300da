// Page generation on the software device: composed texels at every level,
// the DDS files, the image pairing, and every failure with its message,
// its releases and the files it leaves.
#include <d3d9_testing.h>
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "interface/D3DTextureAtlas.h"
#include "unit/test_images.h"

using namespace textureatlas;
using testimages::Level;
namespace fs = std::filesystem;

namespace {

class PageAtlas : public D3DTextureAtlas {
public:
    explicit PageAtlas(IDirect3DDevice9* device) : D3DTextureAtlas(device) {}

    AtlasGroup& addPage(const std::string& name, int width, int height, const std::string& format, int mipLevels,
                        int border) {
        AtlasGroup page;
        page.name = name;
        page.rect.width = width;
        page.rect.height = height;
        page.format = format;
        page.mipLevels = mipLevels;
        page.border = border;
        page.index = 0;
        pages.push_back(page);
        return pages.back();
    }
    void setOutputPath(const std::string& path) { outputPath = path; }
    IDirect3DDevice9* getDevice() const { return device; }
};

void place(AtlasGroup& page, const std::string& path, int x, int y, int width, int height, bool border = false) {
    TextureEntry entry;
    entry.name = path;
    entry.path = path;
    entry.rect = {x, y, width, height};
    entry.border = border;
    page.textures.push_back(entry);
}

std::vector<std::string> messages;
void collect(const std::string& message) { messages.push_back(message); }

MemoryImage memoryImage(const std::vector<std::uint8_t>& bytes) {
    return MemoryImage{bytes.data(), static_cast<unsigned int>(bytes.size())};
}

long liveResources() {
    const d3d9soft::LiveObjects live = d3d9soft::liveObjects();
    return live.textures + live.surfaces;
}

class Generate : public ::testing::Test {
protected:
    void SetUp() override {
        IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(direct3D, nullptr) << "the software layer offers no Direct3D object";
        D3DPRESENT_PARAMETERS parameters = {};
        parameters.BackBufferWidth = 1;
        parameters.BackBufferHeight = 1;
        parameters.Windowed = TRUE;
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        IDirect3DDevice9* device = nullptr;
        const HRESULT created = direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                                       D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device);
        direct3D->Release();
        ASSERT_TRUE(SUCCEEDED(created) && device);
        atlas = std::make_unique<PageAtlas>(device);
        device->Release();  // the atlas holds its own reference
        atlas->setErrorCallback(collect);

        directory = std::string("gen_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
        fs::remove_all(directory);
        fs::create_directories(directory);
        atlas->setOutputPath(directory);
        messages.clear();
        d3d9soft::resetCalls();
        baseline = liveResources();
    }
    void TearDown() override { d3d9soft::resetCalls(); }

    IDirect3DDevice9* device() { return atlas->getDevice(); }

    // The levels of an image as the layer loads it for a page: the reference
    // for what a cell must hold.
    std::vector<Level> loaded(const std::vector<std::uint8_t>& bytes) {
        IDirect3DTexture9* texture = nullptr;
        const HRESULT result = D3DXCreateTextureFromFileInMemoryEx(
            device(), bytes.data(), static_cast<UINT>(bytes.size()), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_A8R8G8B8,
            D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
        EXPECT_TRUE(SUCCEEDED(result));
        return SUCCEEDED(result) ? levelsOf(texture) : std::vector<Level>();
    }
    // Decodes a saved page (DXT included) through the layer.
    std::vector<Level> decoded(const std::string& path) {
        IDirect3DTexture9* texture = nullptr;
        const HRESULT result = D3DXCreateTextureFromFileExA(
            device(), path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_FROM_FILE, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
            D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr, &texture);
        EXPECT_TRUE(SUCCEEDED(result)) << path;
        return SUCCEEDED(result) ? levelsOf(texture) : std::vector<Level>();
    }
    static std::vector<Level> levelsOf(IDirect3DTexture9* texture) {
        std::vector<Level> levels;
        for (UINT i = 0; i < texture->GetLevelCount(); ++i) {
            D3DSURFACE_DESC desc;
            D3DLOCKED_RECT locked;
            texture->GetLevelDesc(i, &desc);
            if (FAILED(texture->LockRect(i, &locked, nullptr, D3DLOCK_READONLY))) break;
            Level level;
            level.width = desc.Width;
            level.height = desc.Height;
            for (UINT y = 0; y < desc.Height; ++y) {
                const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const char*>(locked.pBits) +
                                                                         y * static_cast<std::size_t>(locked.Pitch));
                level.texels.insert(level.texels.end(), row, row + desc.Width);
            }
            texture->UnlockRect(i);
            levels.push_back(level);
        }
        texture->Release();
        return levels;
    }

    void expectReleased() {
        const d3d9soft::LiveObjects live = d3d9soft::liveObjects();
        EXPECT_EQ(live.textures + live.surfaces, baseline)
            << "textures " << live.textures << ", surfaces " << live.surfaces;
    }

    std::unique_ptr<PageAtlas> atlas;
    std::string directory;
    long baseline = 0;
};

// Checks that page texels [x, x + w) x [y, y + h) hold the source's top-left
// part, with transparent black where the rectangle reaches past the source.
void expectCopy(const Level& page, int x, int y, int w, int h, const Level& source, const char* what) {
    for (int dy = 0; dy < h; ++dy)
        for (int dx = 0; dx < w; ++dx) {
            const std::uint32_t expected =
                unsigned(dx) < source.width && unsigned(dy) < source.height ? source.at(dx, dy) : 0u;
            ASSERT_EQ(page.at(x + dx, y + dy), expected) << what << " at (" << x + dx << ", " << y + dy << ")";
        }
}

int written(const Level& level) {
    int count = 0;
    for (std::uint32_t texel : level.texels) count += texel != 0;
    return count;
}

}  // namespace

TEST_F(Generate, CellsAtEveryLevelWithBorderGapHalvingAndLevelClamp) {
    const auto imageA = testimages::makeDds(testimages::patternChain(8, 8, 1));  // 4 levels
    const auto imageB = testimages::makeDds(testimages::patternChain(2, 2, 2));  // 2 levels, bordered
    const auto imageC = testimages::makeDds(testimages::patternChain(1, 4, 3));  // 1 texel wide
    const auto imageD = testimages::makeTga(testimages::pattern(3, 3, 4, 0));    // padded to 4 x 4 on load
    AtlasGroup& page = atlas->addPage("cells0", 32, 16, "A8R8G8B8", 6, 3);
    place(page, "a", 0, 0, 8, 8);
    place(page, "b", 8, 0, 8, 8, true);
    place(page, "c", 16, 0, 1, 4);
    place(page, "d", 17, 5, 3, 3);
    const std::vector<MemoryImage> images = {memoryImage(imageA), memoryImage(imageB), memoryImage(imageC),
                                             memoryImage(imageD)};
    const std::vector<Level> a = loaded(imageA), b = loaded(imageB), c = loaded(imageC), d = loaded(imageD);
    ASSERT_EQ(a.size(), 4u);
    ASSERT_EQ(b.size(), 2u);
    ASSERT_GE(d.size(), 2u);

    ASSERT_TRUE(atlas->generateFromMemory(images)) << (messages.empty() ? "" : messages[0]);
    EXPECT_TRUE(messages.empty());
    expectReleased();

    const testimages::DdsFile file = testimages::readDds(directory + "cells0.dds");
    ASSERT_TRUE(file.valid);
    ASSERT_EQ(file.levels.size(), 6u);
    EXPECT_EQ(file.alphaMask, 0xff000000u);
    const std::vector<Level>& page_ = file.levels;

    // Level 0: whole cells, the bordered image inset by 3 with its margin left alone.
    expectCopy(page_[0], 0, 0, 8, 8, a[0], "a");
    expectCopy(page_[0], 11, 3, 2, 2, b[0], "b");
    expectCopy(page_[0], 16, 0, 1, 4, c[0], "c");
    expectCopy(page_[0], 17, 5, 3, 3, testimages::pattern(3, 3, 4, 0), "d");
    EXPECT_EQ(written(page_[0]), 64 + 4 + 4 + 9);

    // Level 1: halved cells; b's 1 x 1 last level from the top-left of its
    // 4 x 4 cell; c is empty; d's cell is (8, 2, 1, 1), not reaching x = 9.
    expectCopy(page_[1], 0, 0, 4, 4, a[1], "a");
    expectCopy(page_[1], 4, 0, 4, 4, b[1], "b");
    EXPECT_EQ(page_[1].at(8, 2), d[1].at(0, 0));
    EXPECT_EQ(page_[1].at(9, 2), 0u);
    EXPECT_EQ(written(page_[1]), 16 + 1 + 1);

    // Levels 2 and 3: b repeats its smallest level; d is empty.
    expectCopy(page_[2], 0, 0, 2, 2, a[2], "a");
    expectCopy(page_[2], 2, 0, 2, 2, b[1], "b");
    EXPECT_EQ(written(page_[2]), 4 + 1);
    expectCopy(page_[3], 0, 0, 1, 1, a[3], "a");
    expectCopy(page_[3], 1, 0, 1, 1, b[1], "b");
    EXPECT_EQ(written(page_[3]), 2);

    // Levels 4 and 5: every cell is empty.
    EXPECT_EQ(written(page_[4]), 0);
    EXPECT_EQ(written(page_[5]), 0);
}

TEST_F(Generate, FormatNamesAnyCaseAndUnknownNames) {
    const auto image = testimages::makeDds(testimages::patternChain(4, 4, 5));
    for (const char* format : {"A8R8G8B8", "a8r8g8b8", "", "NOT A FORMAT", "CxV8U8", "X8R8G8B8"})
        place(atlas->addPage(std::string("f") + format, 8, 4, format, 3, 0), "t", 2, 0, 4, 4);
    ASSERT_TRUE(atlas->generateFromMemory({memoryImage(image)}));
    expectReleased();

    const auto reference = testimages::readBytes(directory + "fA8R8G8B8.dds");
    ASSERT_TRUE(testimages::readDds(directory + "fA8R8G8B8.dds").valid);
    // Lower case finds the format; unknown names (CxV8U8 upper-cased too)
    // leave the choice to D3DX, which makes A8R8G8B8.
    for (const char* format : {"a8r8g8b8", "", "NOT A FORMAT", "CxV8U8"})
        EXPECT_EQ(testimages::readBytes(directory + "f" + format + ".dds"), reference) << format;

    const testimages::DdsFile x8 = testimages::readDds(directory + "fX8R8G8B8.dds");
    ASSERT_TRUE(x8.valid);
    EXPECT_EQ(x8.alphaMask, 0u);
    ASSERT_EQ(x8.levels.size(), 3u);
    EXPECT_EQ(x8.levels[0].at(2, 0) & 0xffffff, testimages::pattern(4, 4, 5, 0).at(0, 0) & 0xffffff);
}

TEST_F(Generate, DxtPagesAreComposedUncompressedThenConverted) {
    // Solid cells, so that every 4 x 4 block holds at most two colours.
    Level red, blue;
    red.width = blue.width = red.height = blue.height = 8;
    red.texels.assign(64, 0xffd02010);
    blue.texels.assign(64, 0xff1040e0);
    const auto redImage = testimages::makeDds({red}), blueImage = testimages::makeDds({blue});
    const std::vector<MemoryImage> images = {memoryImage(redImage), memoryImage(blueImage)};
    for (const char* format : {"dxt5", "A8R8G8B8"}) {
        AtlasGroup& page = atlas->addPage(std::string("d") + format, 16, 8, format, 4, 0);
        place(page, "red", 0, 0, 8, 8);
        place(page, "blue", 8, 0, 8, 8);
    }
    ASSERT_TRUE(atlas->generateFromMemory(images));
    expectReleased();
    // Composition in A8R8G8B8, one texture more for the compressed page, and
    // one conversion per level.
    EXPECT_EQ(d3d9soft::callCount("D3DXCreateTexture"), 3);
    EXPECT_EQ(d3d9soft::callCount("D3DXLoadSurfaceFromSurface"), 2 * 4 + 4 + 2 * 4);

    const testimages::DdsFile file = testimages::readDds(directory + "ddxt5.dds");
    ASSERT_TRUE(file.valid);
    EXPECT_EQ(file.fourCC, static_cast<std::uint32_t>(D3DFMT_DXT5));
    EXPECT_EQ(file.mipMapCount, 4u);
    const std::vector<Level> compressed = decoded(directory + "ddxt5.dds");
    const std::vector<Level> plain = testimages::readDds(directory + "dA8R8G8B8.dds").levels;
    ASSERT_EQ(compressed.size(), 4u);
    ASSERT_EQ(plain.size(), 4u);
    for (std::size_t level = 0; level < plain.size(); ++level)
        for (std::size_t i = 0; i < plain[level].texels.size(); ++i)
            for (int shift = 0; shift < 32; shift += 8) {
                const int want = int(plain[level].texels[i] >> shift & 0xff);
                const int got = int(compressed[level].texels[i] >> shift & 0xff);
                ASSERT_NEAR(got, want, 8) << "level " << level << " texel " << i << " channel " << shift / 8;
            }
}

TEST_F(Generate, ImagesPairWithEachPagesTexturesFromTheFirstImage) {
    std::vector<std::vector<std::uint8_t>> files;
    for (unsigned id = 1; id <= 3; ++id) files.push_back(testimages::makeDds({testimages::pattern(8, 8, id, 0)}));
    const std::vector<MemoryImage> images = {memoryImage(files[0]), memoryImage(files[1]), memoryImage(files[2])};
    AtlasGroup& first = atlas->addPage("pair0", 64, 8, "A8R8G8B8", 1, 0);
    for (int i = 0; i < 4; ++i) place(first, "t" + std::to_string(i), 8 * i, 0, 8, 8);
    AtlasGroup& second = atlas->addPage("pair1", 16, 8, "A8R8G8B8", 1, 0);
    place(second, "u0", 8, 0, 8, 8);
    place(second, "u1", 0, 0, 8, 8);

    ASSERT_TRUE(atlas->generateFromMemory(images));
    expectReleased();
    EXPECT_EQ(d3d9soft::callCount("D3DXCreateTextureFromFileInMemoryEx"), 3 + 2);
    const Level page0 = testimages::readDds(directory + "pair0.dds").levels.at(0);
    const Level page1 = testimages::readDds(directory + "pair1.dds").levels.at(0);
    for (int i = 0; i < 3; ++i) expectCopy(page0, 8 * i, 0, 8, 8, testimages::pattern(8, 8, i + 1, 0), "first page");
    EXPECT_EQ(written(page0), 3 * 64);  // the fourth texture has no image
    expectCopy(page1, 8, 0, 8, 8, testimages::pattern(8, 8, 1, 0), "second page, first texture");
    expectCopy(page1, 0, 0, 8, 8, testimages::pattern(8, 8, 2, 0), "second page, second texture");

    // No images: pages are still made and saved, with nothing drawn.
    fs::remove_all(directory);
    fs::create_directories(directory);
    d3d9soft::resetCalls();
    ASSERT_TRUE(atlas->generateFromMemory({}));
    EXPECT_EQ(d3d9soft::callCount("D3DXCreateTextureFromFileInMemoryEx"), 0);
    EXPECT_EQ(written(testimages::readDds(directory + "pair0.dds").levels.at(0)), 0);
    EXPECT_TRUE(fs::exists(directory + "pair1.dds"));
}

TEST_F(Generate, FilesAreLoadedByPathAndAMissingOneStopsAtItsPage) {
    const std::string source = directory + "source.dds";
    const auto bytes = testimages::makeDds({testimages::pattern(4, 4, 7, 0)});
    testimages::writeBytes(source, bytes);
    AtlasGroup& first = atlas->addPage("file0", 8, 4, "A8R8G8B8", 1, 0);
    place(first, source, 0, 0, 4, 4);
    place(first, source, 4, 0, 4, 4);
    ASSERT_TRUE(atlas->generate());
    const auto fromFiles = testimages::readBytes(directory + "file0.dds");
    const Level page = testimages::readDds(directory + "file0.dds").levels.at(0);
    expectCopy(page, 0, 0, 4, 4, testimages::pattern(4, 4, 7, 0), "first");
    expectCopy(page, 4, 0, 4, 4, testimages::pattern(4, 4, 7, 0), "second");
    ASSERT_TRUE(atlas->generateFromMemory({memoryImage(bytes), memoryImage(bytes)}));
    EXPECT_EQ(testimages::readBytes(directory + "file0.dds"), fromFiles);

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

namespace {

struct FailureRow {
    const char* function;
    int nth;  // which call of `function` fails
    std::uint32_t result;
    const char* format;
    const char* message;  // "@" stands for the output directory
    bool firstPageSaved;
};

// Two pages of one 8 x 8 texture each, two levels: per page one page texture
// (two for DXT1), one load, and per level two surfaces and one copy.
const FailureRow failureRows[] = {
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

}  // namespace

TEST_F(Generate, EachFailureStopsWithItsMessageAndReleasesEverything) {
    const auto image = testimages::makeDds({testimages::pattern(8, 8, 1, 0)});
    for (const FailureRow& row : failureRows) {
        SCOPED_TRACE(std::string(row.function) + " #" + std::to_string(row.nth) + " " + row.format);
        PageAtlas local(device());
        local.setErrorCallback(collect);
        local.setOutputPath(directory);
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
    const auto image = testimages::makeDds({testimages::pattern(8, 8, 1, 0)});
    place(atlas->addPage("c0", 16, 16, "DXT1", 2, 0), "tex/c0.tga", 0, 0, 8, 8);
    // The composition takes two surfaces and one copy per level; then the
    // conversion's copy of level 0 fails, and a surface of level 1.
    d3d9soft::failCall("D3DXLoadSurfaceFromSurface", 3, E_FAIL);
    d3d9soft::failCall("GetSurfaceLevel", 7, D3DERR_INVALIDCALL);
    EXPECT_TRUE(atlas->generateFromMemory({memoryImage(image)}));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(d3d9soft::callCount("D3DXLoadSurfaceFromSurface"), 3);
    EXPECT_EQ(d3d9soft::callCount("GetSurfaceLevel"), 8);
    EXPECT_TRUE(fs::exists(directory + "c0.dds"));
    expectReleased();
}
