// Page-size fitting: which limits win, which are tried, and what is left in
// the group.
#include "fit.h"

#include <gtest/gtest.h>
#include <textureatlas/textureatlas.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using textureatlas::ITextureAtlasConfiguration;

struct Page {
    int width, height;
    bool operator==(const Page& other) const { return width == other.width && height == other.height; }
};
std::ostream& operator<<(std::ostream& out, const Page& page) { return out << page.width << "x" << page.height; }

// One group of textures of the given sizes; no image files are read.
class Fitting : public ::testing::Test {
protected:
    void group(int width, int height, const std::vector<std::pair<int, int>>& sizes) {
        configuration.reset(ITextureAtlasConfiguration::create());
        ASSERT_TRUE(configuration);
        configuration->addGroup("g", width, height, "A8R8G8B8", 1, 0);
        for (size_t i = 0; i < sizes.size(); ++i) {
            textureatlas::TextureEntry texture;
            texture.name = texture.path = "t" + std::to_string(i);
            texture.rect.width = sizes[i].first;
            texture.rect.height = sizes[i].second;
            texture.format = "A8R8G8B8";
            texture.mipLevels = 1;
            configuration->beginGroups()->textures.push_back(texture);
        }
    }
    std::vector<Page> fit() {
        result = fitPageLimits(*configuration, 0);
        std::vector<Page> pages;
        for (const texatlas_layout::LaidOutPage& page : result.pages) pages.push_back(Page{page.width, page.height});
        return pages;
    }
    // The limits left in the group for the build.
    Page limits() { return Page{configuration->beginGroups()->rect.width, configuration->beginGroups()->rect.height}; }

    std::unique_ptr<ITextureAtlasConfiguration> configuration;
    FitResult result;
};

// Each rule decides only where the ones before it tie, and never both ways.
TEST(BetterFit, FewerPagesThenAreaThenSquarenessThenLargerLimitsThenWidth) {
    struct Case {
        const char* rule;
        PageCost better;
        int bw, bh;
        PageCost worse;
        int ww, wh;
    } cases[] = {
        {"fewer pages, though larger", PageCost{1, 16384, 2, 256}, 256, 256, PageCost{2, 8192, 0, 128}, 2048, 2048},
        {"less area, though skewed", PageCost{1, 8192, 1, 128}, 128, 128, PageCost{1, 16384, 0, 128}, 2048, 2048},
        {"squarer, at smaller limits", PageCost{1, 16384, 0, 128}, 128, 128, PageCost{1, 16384, 2, 256}, 2048, 2048},
        {"larger limits, though narrower", PageCost{1, 16384, 2, 64}, 2048, 2048, PageCost{1, 16384, 2, 256}, 256,
         2048},
        {"wider pages at limits of one area", PageCost{2, 16384, 2, 256}, 128, 512, PageCost{2, 16384, 2, 128}, 256,
         256},
        {"the wider limit when all else ties", PageCost{1, 16384, 0, 128}, 2048, 1024, PageCost{1, 16384, 0, 128}, 1024,
         2048},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(betterFit(c.better, c.bw, c.bh, c.worse, c.ww, c.wh)) << c.rule;
        EXPECT_FALSE(betterFit(c.worse, c.ww, c.wh, c.better, c.bw, c.bh)) << c.rule;
        EXPECT_FALSE(betterFit(c.better, c.bw, c.bh, c.better, c.bw, c.bh)) << c.rule;
    }
}

// Three 64 x 64: three pages at 64 x 64 and two at 128 x 64 cover less, but
// one page wins, and of the one-page layouts the square one.
TEST_F(Fitting, OneSquarePageOverLessAreaOnMorePages) {
    group(0, 0, {{64, 64}, {64, 64}, {64, 64}});
    EXPECT_EQ(fit(), (std::vector<Page>{{128, 128}}));
    EXPECT_EQ(limits(), (Page{result.width, result.height}));
    // Each side from 64 to 2048; limits that cannot give one page are skipped.
    EXPECT_GT(result.tried, 1);
    EXPECT_LT(result.tried, 36);
}

// Sizes outside 1..2048 mean 2048, and a limit that is no power of two is
// tried as it is.
TEST_F(Fitting, TheGroupsOwnLimitBoundsTheTries) {
    // At most 100 high, three 64 x 64 fit one page only in a row.
    group(300, 100, {{64, 64}, {64, 64}, {64, 64}});
    EXPECT_EQ(fit(), (std::vector<Page>{{256, 64}}));
    EXPECT_EQ(limits(), (Page{300, 100}));
    group(-1, 5000, {{2048, 2048}});
    EXPECT_EQ(fit(), (std::vector<Page>{{2048, 2048}}));
    EXPECT_EQ(limits(), (Page{2048, 2048}));
    EXPECT_EQ(result.tried, 1);
}

// A texture too large for the group's limit is dropped at any limits, so it
// must not raise the smallest limits tried.
TEST_F(Fitting, TexturesTooLargeForTheGroupDoNotNarrowTheSearch) {
    group(256, 256, {{300, 300}, {32, 32}, {32, 32}});
    const std::vector<Page> pages = fit();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].width * pages[0].height, 64 * 32);
    EXPECT_EQ(result.pages[0].textures.size(), 2u);
    EXPECT_EQ(result.tried, 16) << "32, 64, 128 and 256 each way";
    EXPECT_EQ(limits(), (Page{256, 256}));
}

// Nothing fits: no page at any limits, and the group keeps the largest, so
// that the drop is reported against the pages the group could have had.
TEST_F(Fitting, AGroupThatCannotFitKeepsTheLargestLimits) {
    group(0, 0, {{3000, 10}, {10, 3000}});
    EXPECT_TRUE(fit().empty());
    EXPECT_EQ(limits(), (Page{2048, 2048}));
    group(512, 128, {});
    EXPECT_TRUE(fit().empty());
    EXPECT_EQ(limits(), (Page{512, 128}));
    // No group at all: nothing is tried and nothing changes.
    configuration.reset(ITextureAtlasConfiguration::create());
    EXPECT_EQ(fitPageLimits(*configuration, 0).tried, 0);
}

}  // namespace
