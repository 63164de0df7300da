// Object lifetime, callbacks, the device reference and memory routing, seen
// from a host that knows only the public header.
#include <d3d9.h>
#include <gtest/gtest.h>
#include <tarn/vek/memory_stats.h>
#include <textureatlas/textureatlas.h>

#include <memory>
#include <string>
#include <vector>

using namespace textureatlas;
namespace mem = tarn::vek::memory;

namespace {

// A device that only counts references.
struct CountingDevice : IDirect3DDevice9 {
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**,
                                            HANDLE*) override {
        return E_NOTIMPL;
    }
};

std::vector<std::string> firstMessages, secondMessages;
void toFirst(const std::string& m) { firstMessages.push_back(m); }
void toSecond(const std::string& m) { secondMessages.push_back(m); }

}  // namespace

TEST(Lifetime, AtlasHoldsOneDeviceReferenceAndFailedFactoriesGiveNull) {
    CountingDevice device;
    ITextureAtlas* atlas = ITextureAtlas::create(&device);
    ASSERT_NE(atlas, nullptr);
    EXPECT_EQ(device.refs, 2u);
    delete atlas;
    EXPECT_EQ(device.refs, 1u);

    mem::failMalloc(1);
    EXPECT_EQ(ITextureAtlasConfiguration::create(), nullptr);
    mem::failMalloc(1);
    EXPECT_EQ(ITextureAtlas::create(&device), nullptr);
    EXPECT_EQ(device.refs, 1u) << "the device must not be touched";
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
