// The extrusion when the copies are not the ones it planned for: the page
// in question is left alone with a warning naming it, the next page is
// extruded again, and copies too many or too few are reported.
#include "extrude.h"

#include <d3d9soft.h>
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> warnings;
void keepWarning(const std::string& message) { warnings.push_back(message); }

class UnplannedCopies : public ::testing::Test {
protected:
    void SetUp() override {
        warnings.clear();
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS params{};
        ASSERT_EQ(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &params, &device), D3D_OK);
        ASSERT_EQ(D3DXCreateTexture(device, 4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &source), D3D_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(source->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 4; ++y) std::memset(static_cast<char*>(locked.pBits) + y * locked.Pitch, 0x77, 16);
        source->UnlockRect(0);
        // Two pages of 16 x 16, one level, each with a 4 x 4 image in a cell with a margin of 2.
        for (const char* name : {"g0", "g1"}) {
            texatlas_layout::LaidOutPage page;
            page.name = name;
            page.format = "A8R8G8B8";
            page.width = page.height = 16;
            page.mipLevels = 1;
            page.textures.push_back(texatlas_layout::LaidOutTexture{"t.png", 2, 2, 4, 4, 2, "t.png"});
            pages.push_back(page);
        }
    }
    void TearDown() override {
        source->Release();
        device->Release();
        direct3D->Release();
    }

    // A page texture with the source copied into `rect`; returns its top-left texel.
    std::uint32_t composeInto(RECT rect) {
        IDirect3DTexture9* page = nullptr;
        EXPECT_EQ(D3DXCreateTexture(device, 16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &page), D3D_OK);
        IDirect3DSurface9 *to = nullptr, *from = nullptr;
        page->GetSurfaceLevel(0, &to);
        source->GetSurfaceLevel(0, &from);
        EXPECT_EQ(D3DXLoadSurfaceFromSurface(to, nullptr, &rect, from, nullptr, nullptr, D3DX_FILTER_NONE, 0), D3D_OK);
        from->Release();
        to->Release();
        D3DLOCKED_RECT locked{};
        page->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
        std::uint32_t corner = *static_cast<std::uint32_t*>(locked.pBits);
        page->UnlockRect(0);
        page->Release();
        return corner;
    }

    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
    IDirect3DTexture9* source = nullptr;
    std::vector<texatlas_layout::LaidOutPage> pages;
};

TEST_F(UnplannedCopies, LeaveThatPageAloneAndTheNextIsExtruded) {
    Extrusion* extrusion = startExtrusion(device, pages, keepWarning);
    ASSERT_NE(extrusion, nullptr);
    EXPECT_EQ(composeInto(RECT{3, 3, 7, 7}), 0u) << "a copy off its place is not extruded";
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("page g0: the copy of t.png level 0 went to (3, 3)-(7, 7), not (2, 2)-(6, 6)"),
              std::string::npos)
        << warnings[0];
    EXPECT_EQ(composeInto(RECT{2, 2, 6, 6}), 0x77777777u) << "the next page is extruded";
    stopExtrusion(extrusion, true);
    EXPECT_EQ(warnings.size(), 1u);
}

TEST_F(UnplannedCopies, TooManyOrTooFewAreReported) {
    Extrusion* extrusion = startExtrusion(device, pages, keepWarning);
    for (int copy = 0; copy < 4; ++copy) composeInto(RECT{2, 2, 6, 6});
    stopExtrusion(extrusion, true);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("more copies"), std::string::npos) << warnings[0];

    warnings.clear();
    extrusion = startExtrusion(device, pages, keepWarning);
    composeInto(RECT{2, 2, 6, 6});
    stopExtrusion(extrusion, true);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("page g1: the library made fewer copies"), std::string::npos) << warnings[0];
    EXPECT_EQ(composeInto(RECT{2, 2, 6, 6}), 0u) << "stopped, the hook is gone";
}

}  // namespace
