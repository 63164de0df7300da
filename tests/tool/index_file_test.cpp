// The index module against the library: the index the tool writes from the
// layout must be the one the library writes, byte for byte, and an index read
// back must give the cells the layout made.
#include "index_file.h"

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "device.h"
#include "group_build.h"
#include "owned.h"

namespace {

namespace fs = std::filesystem;

struct Source {
    const char* name;
    UINT width, height;
    bool border;
};

void writeImage(IDirect3DDevice9* device, const std::string& path, UINT width, UINT height) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device, width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &texture), D3D_OK);
    ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture, nullptr), D3D_OK);
    texture->Release();
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(IndexFile, IsTheLibrarysOwnAndReadsBackToTheLayoutsCells) {
    SoftwareDevice device;
    ASSERT_NE(device.get(), nullptr) << device.error();
    const std::string directory = "index_file_test/";
    fs::remove_all(directory);
    fs::create_directories(directory);
    // Bordered cells and sizes whose fractions of the page are not short decimals.
    const Source sources[] = {{"a.dds", 48, 20, false},
                              {"b.dds", 30, 30, true},
                              {"c.dds", 7, 100, true},
                              {"d.dds", 64, 64, false},
                              {"e.dds", 3, 5, true}};
    ConfigurationPointer configuration(textureatlas::ITextureAtlasConfiguration::create());
    configuration->setTexturePath(directory.c_str());
    configuration->setOutputPath(directory.c_str());
    configuration->addGroup("g", 128, 128, "A8R8G8B8", 1, 3);
    GroupOutcome outcome;
    for (const Source& source : sources) {
        writeImage(device.get(), directory + source.name, source.width, source.height);
        ASSERT_NE(configuration->addTexture(source.name, source.border), nullptr);
        outcome.textures.unique.push_back(TextureRef{source.name, source.name, directory + source.name, source.border});
        outcome.textures.duplicatesOf.emplace_back();
    }
    // b's file twice: the copy shares b's place.
    outcome.textures.duplicatesOf[1] = {"b copy.dds"};
    outcome.pages = texatlas_layout::layOut(*configuration, 0);
    ASSERT_GT(outcome.pages.size(), 1u);

    AtlasPointer atlas(textureatlas::ITextureAtlas::create(device.get()));
    atlas->layout(configuration.get());
    const std::string libraryIndex = directory + "library.txt";
    ASSERT_TRUE(atlas->write(libraryIndex.c_str()));
    const std::string library = fileText(libraryIndex);

    const std::string tool = indexText(libraryIndex, {outcome});
    const size_t bAt = library.find("\nb.dds\t\t") + 1;
    const std::string bLine = library.substr(bAt, library.find('\n', bAt) + 1 - bAt);
    const std::string copyLine = "b copy.dds" + bLine.substr(5);
    std::string withoutCopy = tool;
    const size_t copyAt = withoutCopy.find(copyLine);
    ASSERT_NE(copyAt, std::string::npos) << tool;
    EXPECT_EQ(tool.substr(copyAt - bLine.size(), bLine.size()), bLine);  // right after its first
    withoutCopy.erase(copyAt, copyLine.size());
    EXPECT_EQ(withoutCopy, library);

    const std::string toolIndex = directory + "tool.txt";
    std::ofstream(toolIndex, std::ios::binary) << tool;
    AtlasResult read;
    std::string error;
    ASSERT_TRUE(readIndexFile(toolIndex, read, error)) << error;
    ASSERT_TRUE(readPageFiles(directory, read, error)) << error;
    const AtlasResult built = builtResult({outcome});
    ASSERT_EQ(read.pages.size(), built.pages.size());
    for (size_t p = 0; p < built.pages.size(); ++p) {
        EXPECT_EQ(read.pages[p].file, built.pages[p].file);
        EXPECT_EQ(read.pages[p].width, built.pages[p].width);
        ASSERT_EQ(read.pages[p].textures.size(), built.pages[p].textures.size());
        for (size_t t = 0; t < built.pages[p].textures.size(); ++t) {
            const PlacedTexture &got = read.pages[p].textures[t], &want = built.pages[p].textures[t];
            EXPECT_EQ(got.name, want.name);
            EXPECT_EQ(std::make_tuple(got.x, got.y, got.width, got.height),
                      std::make_tuple(want.x, want.y, want.width, want.height))
                << want.name;
        }
    }
}

}  // namespace
