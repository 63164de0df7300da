// Object lifetime, callbacks, the device reference and memory routing, seen
// from a host that knows only the public header.
#include <d3d9.h>
#include <gtest/gtest.h>
#include <tarn/vek/memory_stats.h>
#include <textureatlas/textureatlas.h>

#include <memory>
#include <string>
#include <vector>

#include "api/software_device.h"

using namespace textureatlas;
namespace mem = tarn::vek::memory;

namespace {

std::vector<std::string> firstMessages, secondMessages;
void toFirst(const std::string& m) { firstMessages.push_back(m); }
void toSecond(const std::string& m) { secondMessages.push_back(m); }

}  // namespace

TEST(Lifetime, AtlasHoldsOneDeviceReferenceAndFailedFactoriesGiveNull) {
    IDirect3DDevice9* device = createSoftwareDevice();
    ASSERT_NE(device, nullptr);
    // The reference count, read by taking one and giving it back.
    auto references = [device] { return device->AddRef(), device->Release(); };
    ITextureAtlas* atlas = ITextureAtlas::create(device);
    ASSERT_NE(atlas, nullptr);
    EXPECT_EQ(references(), 2u);
    delete atlas;
    EXPECT_EQ(references(), 1u);

    mem::failMalloc(1);
    EXPECT_EQ(ITextureAtlasConfiguration::create(), nullptr);
    mem::failMalloc(1);
    EXPECT_EQ(ITextureAtlas::create(device), nullptr);
    EXPECT_EQ(device->Release(), 0u) << "the device must not be touched";
}

TEST(Lifetime, NewCallbackReceivesOnlyLaterMessages) {
    std::unique_ptr<ITextureAtlasConfiguration> configuration(ITextureAtlasConfiguration::create());
    configuration->setGroup("silent");  // goes to the null handler
    configuration->setWarningCallback(toFirst);
    configuration->setGroup("one");
    configuration->setWarningCallback(toSecond);
    configuration->setGroup("two");
    EXPECT_EQ(firstMessages, std::vector<std::string>{"Could not set group: one"});
    EXPECT_EQ(secondMessages, std::vector<std::string>{"Could not set group: two"});
}
