// The extrusion when the copies are not the ones it planned for: the page
// in question is left alone with a warning naming it, the next page is
// extruded again, and copies too many or too few are reported.
#include "extrude.h"

#include <d3d9soft.h>

#include <memory>
#include <string>
#include <vector>

#include "../platform/soft_device.h"

namespace {

std::vector<std::string> warnings;
void keepWarning(const std::string& message) { warnings.push_back(message); }

class UnplannedCopies : public SoftDeviceTest {
protected:
    void SetUp() override {
        SoftDeviceTest::SetUp();
        warnings.clear();
        source = std::make_unique<Level>(device, 4, 4, D3DFMT_A8R8G8B8);
        writeLevel(source->texture, 0, std::vector<std::uint32_t>(16, 0x77777777u).data(), 16, 4);
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
        source.reset();
        SoftDeviceTest::TearDown();
    }

    // A page texture with the source copied into `rect`; returns its top-left texel.
    std::uint32_t composeInto(RECT rect) {
        Level page(device, 16, 16, D3DFMT_A8R8G8B8);
        EXPECT_EQ(copy(page.surface, &rect, source->surface), D3D_OK);
        std::uint32_t corner = 0;
        std::memcpy(&corner, readLevel(page.texture, 0, 4, 1).data(), 4);
        return corner;
    }

    std::unique_ptr<Level> source;
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
