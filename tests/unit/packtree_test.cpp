#include "layout/PackTree.h"
#include "literal_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

using namespace textureatlas;

namespace {

std::string region(const PackNode* node) {
    const Rect& r = node->region;
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

std::string placeAt(PackTree& tree, int width, int height) {
    Rect rect{-1, -1, width, height};
    if (!tree.insert(rect)) return "none";
    return std::to_string(rect.x) + "," + std::to_string(rect.y);
}

}  // namespace

TEST(PackTree, CutsAlongTheLargerLeftoverAndSearchesFirstBeforeSecond) {
    PackTree tree;
    tree.initialize(256, 256);
    EXPECT_EQ(placeAt(tree, 128, 64), "0,0");
    const PackNode* root = tree.rootNode();
    EXPECT_EQ(region(root->first), "128,0 128x64");  // dw 128 <= dh 192: horizontal cut
    EXPECT_EQ(region(root->second), "0,64 256x192");
    EXPECT_EQ(placeAt(tree, 64, 64), "128,0");
    EXPECT_EQ(region(root->first->first), "128,64 64x0");  // dw 64 > dh 0: vertical cut
    EXPECT_EQ(region(root->first->second), "192,0 64x64");
    EXPECT_EQ(placeAt(tree, 64, 32), "192,0");

    tree.clear();
    tree.clear();
    tree.initialize(64, 64);
    EXPECT_EQ(placeAt(tree, 32, 32), "0,0");  // dw == dh: horizontal
    EXPECT_EQ(region(tree.rootNode()->first), "32,0 32x32");
    EXPECT_EQ(region(tree.rootNode()->second), "0,32 64x32");
}

TEST(PackTree, NoRoomLeftIsToldApartFromLargerThanThePage) {
    PackTree tree;
    Rect nothing{0, 0, 0, 0};
    EXPECT_FALSE(tree.insert(nothing));  // no page yet
    EXPECT_FALSE(tree.fits(nothing));

    tree.initialize(1000, 100);
    EXPECT_EQ(placeAt(tree, 600, 100), "0,0");
    EXPECT_EQ(region(tree.rootNode()->first), "0,100 600x0");
    EXPECT_EQ(region(tree.rootNode()->second), "600,0 400x100");
    EXPECT_EQ(placeAt(tree, 300, 90), "600,0");
    Rect left{7, 9, 200, 50};
    EXPECT_FALSE(tree.insert(left));
    EXPECT_TRUE(tree.fits(left));
    EXPECT_EQ(left.x, 7);  // untouched on failure
    EXPECT_EQ(left.y, 9);
    Rect wide{0, 0, 1001, 1};
    EXPECT_FALSE(tree.insert(wide));
    EXPECT_FALSE(tree.fits(wide));

    // An exact fit leaves only empty children, which take only empty rectangles.
    tree.initialize(64, 64);
    EXPECT_EQ(placeAt(tree, 64, 64), "0,0");
    EXPECT_EQ(placeAt(tree, 1, 1), "none");
    EXPECT_EQ(placeAt(tree, 0, 5), "64,0");
}

// The cached sizes and the leaf profile may only skip subtrees, never change
// which leaf is chosen: compare with a plain recursive tree, negative sizes
// included (they make leaves larger than their parents).
TEST(PackTree, PlacesExactlyLikeAPlainFirstFitSearch) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 300; ++trial) {
        const int width = std::uniform_int_distribution<int>(0, 300)(random);
        const int height = std::uniform_int_distribution<int>(0, 300)(random);
        std::uniform_int_distribution<int> side(trial % 3 == 0 ? -3 : 0,
                                                std::uniform_int_distribution<int>(1, 120)(random));
        PackTree tree;
        tree.initialize(width, height);
        literal::Node reference(Rect{0, 0, width, height});
        for (int i = 0; i < 200; ++i) {
            Rect a{0, 0, side(random), side(random)};
            Rect b = a;
            ASSERT_EQ(tree.insert(a), reference.insert(b)) << "trial " << trial << " rect " << i;
            ASSERT_EQ(a.x, b.x);
            ASSERT_EQ(a.y, b.y);
            ASSERT_EQ(tree.fits(a), reference.fits(a));
        }
    }
}

TEST(PackTree, DeepChainsOfEmptyRectanglesNeedNoRecursion) {
    PackTree tree;
    tree.initialize(16, 16);
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(placeAt(tree, 0, 0), "0,0");
}

TEST(NextPowerOfTwo, SmallestPowerNotBelow) {
    EXPECT_EQ(nextPowerOfTwo(INT_MIN), 1);
    EXPECT_EQ(nextPowerOfTwo(0), 1);
    EXPECT_EQ(nextPowerOfTwo(1), 1);
    EXPECT_EQ(nextPowerOfTwo(3), 4);
    EXPECT_EQ(nextPowerOfTwo(1024), 1024);
    EXPECT_EQ(nextPowerOfTwo(1025), 2048);
    EXPECT_EQ(nextPowerOfTwo(INT_MAX), 1 << 30);  // no larger power fits; must still end
}
