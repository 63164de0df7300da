#include "layout/PackTree.h"

#include <gtest/gtest.h>
#include <tarn/vek/memory_stats.h>

#include <climits>
#include <sstream>

using namespace textureatlas;

namespace {

void appendLeaves(const PackNode* node, std::string& out) {
    if (!node->isLeaf()) {
        appendLeaves(node->first, out);
        return appendLeaves(node->second, out);
    }
    const Rect& r = node->region;
    out += " " + std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

}  // namespace

// Offers each rectangle in turn: "x,y" when placed, "-" when no leaf is left
// for it, "!" when it is larger than the page; then the free leaves, first before second.
TEST(PackTree, WorkedPlacements) {
    const std::pair<const char*, const char*> rows[] = {
        {"256x256: 128x64 64x64 64x32", "0,0 128,0 192,0 | 128,64 64x0 256,0 0x32 192,32 64x32 0,64 256x192"},
        {"1000x100: 600x100 300x90 200x50 1001x1", "0,0 600,0 - ! | 0,100 600x0 600,90 300x10 900,0 100x100"},
        {"64x64: 32x32", "0,0 | 32,0 32x32 0,32 64x32"},  // dw == dh: horizontal cut
        {"64x64: 64x64 1x1 0x5", "0,0 - 64,0 | 64,0 0x5 64,5 0x59 0,64 64x0"},
    };
    PackTree tree;
    Rect nothing{0, 0, 0, 0};
    EXPECT_FALSE(tree.insert(nothing) || tree.fits(nothing));  // no page yet
    for (const auto& row : rows) {
        std::istringstream in(row.first);
        int width, height;
        char x, colon;
        in >> width >> x >> height >> colon;
        tree.initialize(width, height);
        std::string out;
        int w, h;
        while (in >> w >> x >> h) {
            Rect rect{7, 9, w, h};
            if (tree.insert(rect))
                out += std::to_string(rect.x) + "," + std::to_string(rect.y) + " ";
            else
                out += rect.x == 7 && rect.y == 9 ? (tree.fits(rect) ? "- " : "! ") : "moved ";
        }
        out += "|";
        appendLeaves(tree.rootNode(), out);
        EXPECT_EQ(out, row.second);
        tree.clear();
        tree.clear();
    }
}

namespace mem = tarn::vek::memory;

// Nodes live in blocks of the host memory library: recycling hands out the
// same nodes again, a failed block gives null without touching the nodes made
// before, and the pool's end returns every block.
TEST(PackNodePool, ReusesItsBlocksAndReportsExhaustion) {
    const mem::Stats start = mem::stats();
    {
        PackNodePool pool;
        std::vector<PackNode*> made;
        for (int i = 0; i < 5000; ++i) made.push_back(pool.make(Rect{i, 0, 1, 1}, nullptr));
        const std::size_t blocks = mem::stats().liveBlocks - start.liveBlocks;
        EXPECT_GE(blocks, 1u);
        EXPECT_LT(blocks, 5000u / 8) << "one block per node is no pool";

        pool.recycle();
        const std::size_t calls = mem::stats().mallocCalls;
        for (int i = 0; i < 5000; ++i)
            ASSERT_EQ(pool.make(Rect{0, i, 2, 2}, made[0]), made[static_cast<std::size_t>(i)]);
        EXPECT_EQ(mem::stats().mallocCalls, calls);
        EXPECT_EQ(made[7]->region.y, 7);
        EXPECT_EQ(made[7]->parent, made[0]);
        EXPECT_TRUE(made[7]->isLeaf());

        // Past the blocks it has, the next request for one fails.
        mem::failMalloc(1);
        PackNode* node = nullptr;
        int more = 0;
        while ((node = pool.make(Rect{-1, -1, 3, 3}, nullptr)) != nullptr) ++more;
        EXPECT_LT(more, 5000);
        EXPECT_EQ(made[4999]->region.y, 4999);
        ASSERT_NE(pool.make(Rect{1, 2, 3, 4}, nullptr), nullptr);
    }
    EXPECT_EQ(mem::stats().liveBlocks, start.liveBlocks);
    EXPECT_EQ(mem::stats().liveBytes, start.liveBytes);
}

// A second page like the first asks the host memory library for nothing;
// a page whose root could not be had takes and fits nothing.
TEST(PackTree, LaterPagesReuseTheFirstOnesMemory) {
    PackTree tree;
    std::string first;
    std::size_t calls = 0;
    for (int page = 0; page < 2; ++page) {
        calls = mem::stats().mallocCalls;
        tree.initialize(512, 512);
        std::string placed;
        for (int i = 0; i < 3000; ++i) {
            Rect rect{0, 0, 1 + i % 7, 1 + i % 5};
            if (tree.insert(rect)) placed += std::to_string(rect.x) + "," + std::to_string(rect.y) + " ";
        }
        if (page == 0)
            first = placed;
        else
            EXPECT_EQ(placed, first);
        tree.clear();
    }
    EXPECT_EQ(mem::stats().mallocCalls, calls);

    PackTree fresh;
    mem::failMalloc(1);
    fresh.initialize(64, 64);
    Rect rect{0, 0, 1, 1};
    EXPECT_FALSE(fresh.insert(rect) || fresh.fits(rect) || fresh.rootNode());
    fresh.initialize(64, 64);
    EXPECT_TRUE(fresh.insert(rect));
}

// INT_MAX: no larger power fits, yet the search must end.
TEST(NextPowerOfTwo, SmallestPowerNotBelow) {
    const std::pair<int, int> rows[] = {{INT_MIN, 1},      {0, 1}, {1, 1}, {3, 4}, {1024, 1024}, {1025, 2048},
                                        {INT_MAX, 1 << 30}};
    for (const auto& row : rows) EXPECT_EQ(nextPowerOfTwo(row.first), row.second) << row.first;
}
