// From a configuration file to the index file and the DDS pages, through the
// shared library as a host uses it; the pages are read back with Pillow.
#include <d3d9.h>
#include <gtest/gtest.h>
#include <textureatlas/textureatlas.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "unit/test_images.h"

using namespace textureatlas;
using testimages::Level;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> errors;
void collectError(const std::string& message) { errors.push_back(message); }

IDirect3DDevice9* createDevice() {
    IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!direct3D) return nullptr;
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = 1;
    parameters.BackBufferHeight = 1;
    parameters.Windowed = TRUE;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice9* device = nullptr;
    direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                           &parameters, &device);
    direct3D->Release();
    return device;
}

Level solid(unsigned width, unsigned height, std::uint32_t colour) {
    Level level;
    level.width = width;
    level.height = height;
    level.texels.assign(width * height, colour);
    return level;
}

// Top level of a DDS file as Pillow decodes it, as ARGB texels.
bool readWithPillow(const std::string& dds, Level& out) {
    const std::string raw = dds + ".raw";
    const std::string command =
        "/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]).convert('RGBA'); "
        "open(sys.argv[2], 'wb').write(b'%d %d ' % im.size + im.tobytes())\" " +
        dds + " " + raw;
    if (std::system(command.c_str()) != 0) return false;
    const std::vector<std::uint8_t> bytes = testimages::readBytes(raw);
    std::istringstream head(std::string(bytes.begin(), bytes.end()));
    head >> out.width >> out.height;
    std::size_t at = static_cast<std::size_t>(head.tellg()) + 1;
    if (bytes.size() != at + 4ull * out.width * out.height) return false;
    out.texels.clear();
    for (; at < bytes.size(); at += 4)
        out.texels.push_back(std::uint32_t(bytes[at + 3]) << 24 | std::uint32_t(bytes[at]) << 16 |
                             std::uint32_t(bytes[at + 1]) << 8 | bytes[at + 2]);
    return true;
}

struct Entry {
    std::string page;
    int index;
    float u, v, width, height;
};

std::map<std::string, Entry> readIndex(const std::string& path, std::vector<std::string>& header) {
    std::map<std::string, Entry> entries;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (header.size() < 14) {
            header.push_back(line);
            continue;
        }
        const std::size_t tabs = line.find("\t\t");
        Entry entry;
        std::string rest = line.substr(tabs + 2);
        const std::size_t comma = rest.find(", ");
        entry.page = rest.substr(0, comma);
        std::sscanf(rest.c_str() + comma + 2, "%d, %f, %f, %f, %f", &entry.index, &entry.u, &entry.v, &entry.width,
                    &entry.height);
        entries[line.substr(0, tabs)] = entry;
    }
    return entries;
}

// The image that the index places on the page: its texels must be the source's.
void expectImageOnPage(const Level& page, const Entry& entry, const Level& source, int tolerance) {
    const int x = int(std::lround(entry.u * page.width)), y = int(std::lround(entry.v * page.height));
    ASSERT_EQ(std::lround(entry.width * page.width), long(source.width));
    ASSERT_EQ(std::lround(entry.height * page.height), long(source.height));
    for (unsigned sy = 0; sy < source.height; ++sy)
        for (unsigned sx = 0; sx < source.width; ++sx)
            for (int shift = 0; shift < 32; shift += 8) {
                const int want = int(source.at(sx, sy) >> shift & 0xff);
                const int got = int(page.at(x + sx, y + sy) >> shift & 0xff);
                ASSERT_NEAR(got, want, tolerance) << entry.page << " at (" << x + sx << ", " << y + sy << ")";
            }
}

}  // namespace

TEST(OutputEndToEnd, ConfigurationFileToIndexAndPages) {
    const std::string root = "e2e_output/";
    fs::remove_all(root);
    fs::create_directories(root + "textures/");
    fs::create_directories(root + "atlas/");
    const Level button = testimages::pattern(32, 16, 1, 0), icon = testimages::pattern(12, 12, 2, 0);
    const Level grass = solid(16, 16, 0xff30a050), rock = solid(8, 8, 0xff806040);
    testimages::writeBytes(root + "textures/button.tga", testimages::makeTga(button));
    testimages::writeBytes(root + "textures/icon.tga", testimages::makeTga(icon));
    testimages::writeBytes(root + "textures/grass.tga", testimages::makeTga(grass));
    testimages::writeBytes(root + "textures/rock.tga", testimages::makeTga(rock));
    {
        std::ofstream config(root + "atlas.cfg");
        config << "# end-to-end atlas\n"
                  "group ui width 64 height 64 format A8R8G8B8 miplevels 3 border 2\n"
                  "icon.tga border\n"
                  "button.tga\n"
                  "group terrain width 32 height 32 format dxt1 border 0\n"
                  "rock.tga\n"
                  "grass.tga\n";
    }

    IDirect3DDevice9* device = createDevice();
    ASSERT_NE(device, nullptr);
    ITextureAtlasConfiguration* configuration = ITextureAtlasConfiguration::create();
    configuration->setTexturePath((root + "textures/").c_str());
    configuration->setOutputPath((root + "atlas/").c_str());
    ASSERT_TRUE(configuration->load((root + "atlas.cfg").c_str()));
    ITextureAtlas* atlas = ITextureAtlas::create(device);
    device->Release();
    atlas->setErrorCallback(collectError);
    atlas->layout(configuration);
    const std::string indexName = root + "atlas.txt";
    EXPECT_TRUE(atlas->write(indexName.c_str()));
    EXPECT_TRUE(errors.empty()) << errors.front();
    delete atlas;
    delete configuration;

    std::vector<std::string> header;
    const std::map<std::string, Entry> entries = readIndex(indexName, header);
    ASSERT_EQ(header.size(), 14u);
    EXPECT_EQ(header[0], "# " + indexName);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries.at("icon.tga").page, "ui0.dds");
    EXPECT_EQ(entries.at("button.tga").page, "ui0.dds");
    EXPECT_EQ(entries.at("grass.tga").page, "terrain0.dds");
    EXPECT_EQ(entries.at("rock.tga").page, "terrain0.dds");
    EXPECT_EQ(std::distance(fs::directory_iterator(root + "atlas/"), fs::directory_iterator()), 2);

    // Our own reader: formats and level counts as stored.
    const testimages::DdsFile ui = testimages::readDds(root + "atlas/ui0.dds");
    ASSERT_TRUE(ui.valid);
    EXPECT_EQ(ui.bitCount, 32u);
    EXPECT_EQ(ui.mipMapCount, 3u);
    const testimages::DdsFile terrain = testimages::readDds(root + "atlas/terrain0.dds");
    ASSERT_TRUE(terrain.valid);
    EXPECT_EQ(terrain.fourCC, static_cast<std::uint32_t>(D3DFMT_DXT1));

    // Pillow: every image where the index says, exact on the A8R8G8B8 page,
    // within the block compression's error on the DXT1 page.
    Level uiPage, terrainPage;
    ASSERT_TRUE(readWithPillow(root + "atlas/ui0.dds", uiPage));
    ASSERT_TRUE(readWithPillow(root + "atlas/terrain0.dds", terrainPage));
    EXPECT_EQ(uiPage.width, ui.levels.at(0).width);
    EXPECT_EQ(uiPage.texels, ui.levels.at(0).texels);
    expectImageOnPage(uiPage, entries.at("button.tga"), button, 0);
    expectImageOnPage(uiPage, entries.at("icon.tga"), icon, 0);
    expectImageOnPage(terrainPage, entries.at("grass.tga"), grass, 8);
    expectImageOnPage(terrainPage, entries.at("rock.tga"), rock, 8);
}
