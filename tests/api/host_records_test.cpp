// A host that edits the strings of the records it gets, copies records out,
// grows a vector of records and deletes both objects. Strings take the
// default allocation; the objects, the vectors' storage and the packing
// tree's nodes take the host memory library, and all of it comes back.
#include <d3d9.h>
#include <gtest/gtest.h>
#include <tarn/vek/memory_stats.h>
#include <textureatlas/textureatlas.h>

#include <cstdint>
#include <string>
#include <vector>

#include "api/software_device.h"
#include "platform/image_fixtures.h"

using namespace textureatlas;
namespace mem = tarn::vek::memory;

namespace {

const std::string longText(300, 'x');  // well past any small-string buffer

// Short to long, long to short, cleared, long again, appended to.
void edit(std::string& text) {
    text = "s";
    text += longText;
    text = "t";
    text.shrink_to_fit();
    text.clear();
    text = longText;
    text += longText;
}

void editStrings(AtlasGroup& group) {
    edit(group.name);
    edit(group.format);
    for (TextureEntry& texture : group.textures) {
        edit(texture.name);
        edit(texture.path);
        edit(texture.format);
    }
}

std::size_t liveBlocks() { return mem::stats().liveBlocks; }

}  // namespace

TEST(HostRecords, StringsMayBeEditedAndRecordsCopiedAndOnlyNamedAllocationsUseHostMemory) {
    const mem::Stats start = mem::stats();
    ASSERT_EQ(start.liveBytes, 0u);
    IDirect3DDevice9* device = createSoftwareDevice();
    ASSERT_NE(device, nullptr);
    // A 4 x 4 DXT1 file of one level.
    const fixtures::Bytes image = fixtures::ddsFile(
        0x1007, 4, 4, 0, 0, fixtures::ddsFourCc(MAKEFOURCC('D', 'X', 'T', '1')), 0, fixtures::Bytes(8));

    ITextureAtlasConfiguration* configuration = ITextureAtlasConfiguration::create();
    ASSERT_NE(configuration, nullptr);
    EXPECT_EQ(liveBlocks(), 1u);  // the object

    // Each record as the operations hand it out; a pointer is used before the
    // next addition can move its record.
    for (const char* name : {"empty", "g"}) {
        AtlasGroup* added = configuration->addGroup(name, 64, 64, "DXT5", 0, 2);
        ASSERT_NE(added, nullptr);
        editStrings(*added);
        added->name = name;
    }
    for (const char* name : {"a", "b", "c"}) {
        TextureEntry* texture =
            configuration->addTextureFromMemory(name, image.data(), static_cast<unsigned>(image.size()), true);
        ASSERT_NE(texture, nullptr);
        edit(texture->name);
        edit(texture->path);
        texture->format = "DXT1";
    }
    const std::size_t callsBeforeEdits = mem::stats().mallocCalls;
    // One record through a lookup: every accessor hands out the same records.
    GroupIterator found = configuration->findGroup("g");
    ASSERT_NE(found, configuration->endGroups());
    editStrings(*found);
    found->name = "g";
    found->format.clear();
    EXPECT_EQ(mem::stats().mallocCalls, callsBeforeEdits) << "strings must not use the host memory library";
    // The object, the group vector, the one non-empty texture vector.
    EXPECT_EQ(liveBlocks(), 3u);

    {
        // Copies made by the host: the records' vectors are the host memory library's too.
        std::vector<AtlasGroup> copies(configuration->beginGroups(), configuration->endGroups());
        AtlasGroup one = copies.back();
        EXPECT_EQ(liveBlocks(), 3u + 2u + 1u);
        editStrings(copies.front());
        editStrings(one);
        one.textures.push_back(one.textures.front());
        copies.back().textures.clear();
        copies.back().textures.shrink_to_fit();
        EXPECT_EQ(liveBlocks(), 3u + 1u + 1u);
    }
    EXPECT_EQ(liveBlocks(), 3u);

    // The host grows a vector of the configuration itself.
    AtlasGroup& group = *configuration->findGroup("g");
    const std::size_t capacity = group.textures.capacity();
    while (group.textures.size() <= capacity) group.textures.push_back(group.textures.front());
    edit(group.textures.back().name);
    group.textures.back().rect.width = 8;
    EXPECT_EQ(liveBlocks(), 3u);

    ITextureAtlas* atlas = ITextureAtlas::create(device);
    ASSERT_NE(atlas, nullptr);
    atlas->layout(configuration);
    // Besides the object: the page vector, the one page's texture vector and
    // the emptied work list's storage; the packing tree and the working
    // vectors are gone.
    EXPECT_EQ(liveBlocks(), 3u + 4u);

    delete atlas;
    delete configuration;
    EXPECT_EQ(mem::stats().liveBytes, 0u);
    EXPECT_EQ(mem::stats().liveBlocks, 0u);
    EXPECT_EQ(mem::stats().mallocCalls - start.mallocCalls, mem::stats().freeCalls - start.freeCalls);
    EXPECT_EQ(device->Release(), 0u);
}
