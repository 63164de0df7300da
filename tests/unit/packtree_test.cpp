#include "layout/PackTree.h"
#include "literal_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

using namespace textureatlas;

namespace {

void expectRegion(const PackNode* node, int x, int y, int width, int height) {
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->region.x, x);
    EXPECT_EQ(node->region.y, y);
    EXPECT_EQ(node->region.width, width);
    EXPECT_EQ(node->region.height, height);
}

Rect placed(PackTree& tree, int width, int height) {
    Rect rect{-1, -1, width, height};
    EXPECT_TRUE(tree.insert(rect)) << width << " x " << height;
    return rect;
}

}  // namespace

TEST(PackTree, CutsAlongTheLargerLeftoverAndSearchesFirstBeforeSecond) {
    PackTree tree;
    tree.initialize(256, 256);
    Rect a = placed(tree, 128, 64);
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(a.y, 0);
    const PackNode* root = tree.rootNode();
    expectRegion(root->first, 128, 0, 128, 64);
    expectRegion(root->second, 0, 64, 256, 192);

    Rect b = placed(tree, 64, 64);
    EXPECT_EQ(b.x, 128);
    EXPECT_EQ(b.y, 0);
    expectRegion(root->first->second, 192, 0, 64, 64);
    expectRegion(root->first->first, 128, 64, 64, 0);

    Rect c = placed(tree, 64, 32);
    EXPECT_EQ(c.x, 192);
    EXPECT_EQ(c.y, 0);
}

TEST(PackTree, NoRoomLeftIsToldApartFromLargerThanThePage) {
    PackTree tree;
    tree.initialize(1000, 100);
    Rect a = placed(tree, 600, 100);
    EXPECT_EQ(a.x, 0);
    expectRegion(tree.rootNode()->first, 0, 100, 600, 0);
    expectRegion(tree.rootNode()->second, 600, 0, 400, 100);
    Rect b = placed(tree, 300, 90);
    EXPECT_EQ(b.x, 600);
    EXPECT_EQ(b.y, 0);

    Rect c{7, 9, 200, 50};
    EXPECT_FALSE(tree.insert(c));
    EXPECT_TRUE(tree.fits(c));
    EXPECT_EQ(c.x, 7);  // untouched on failure
    EXPECT_EQ(c.y, 9);

    Rect wide{0, 0, 1001, 1};
    EXPECT_FALSE(tree.insert(wide));
    EXPECT_FALSE(tree.fits(wide));
}

TEST(PackTree, EqualLeftoversCutHorizontallyAndAnExactFitLeavesEmptyChildren) {
    PackTree tree;
    tree.initialize(64, 64);
    placed(tree, 32, 32);  // dw == dh
    expectRegion(tree.rootNode()->first, 32, 0, 32, 32);
    expectRegion(tree.rootNode()->second, 0, 32, 64, 32);

    tree.clear();
    EXPECT_EQ(tree.rootNode(), nullptr);
    tree.clear();
    tree.initialize(64, 64);
    placed(tree, 64, 64);
    expectRegion(tree.rootNode()->first, 64, 0, 0, 64);
    expectRegion(tree.rootNode()->second, 0, 64, 64, 0);
    Rect one{0, 0, 1, 1};
    EXPECT_FALSE(tree.insert(one));
    Rect thin = placed(tree, 0, 5);
    EXPECT_EQ(thin.x, 64);
    EXPECT_EQ(thin.y, 0);
}

TEST(PackTree, EmptyTreeTakesNothing) {
    PackTree tree;
    Rect rect{0, 0, 0, 0};
    EXPECT_FALSE(tree.insert(rect));
    EXPECT_FALSE(tree.fits(rect));
    EXPECT_FALSE(tree.mayHold(0, 0));
}

// The cached largest free sizes may only skip subtrees, never change which
// leaf is chosen: compare with a plain recursive tree, negative sizes included.
TEST(PackTree, PlacesExactlyLikeAPlainFirstFitSearch) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 300; ++trial) {
        const int width = std::uniform_int_distribution<int>(0, 300)(random);
        const int height = std::uniform_int_distribution<int>(0, 300)(random);
        const int largest = std::uniform_int_distribution<int>(1, 120)(random);
        std::uniform_int_distribution<int> side(-3, largest);
        PackTree tree;
        tree.initialize(width, height);
        literal::Node reference(Rect{0, 0, width, height});
        for (int i = 0; i < 200; ++i) {
            Rect a{0, 0, side(random), side(random)};
            Rect b = a;
            const bool placedHere = tree.insert(a);
            ASSERT_EQ(placedHere, reference.insert(b)) << "trial " << trial << " rect " << i;
            ASSERT_EQ(a.x, b.x);
            ASSERT_EQ(a.y, b.y);
            ASSERT_EQ(tree.fits(a), reference.fits(a));
        }
    }
}

TEST(PackTree, DeepChainsOfEmptyRectanglesNeedNoRecursion) {
    PackTree tree;
    tree.initialize(16, 16);
    for (int i = 0; i < 3000; ++i) {
        Rect rect{0, 0, 0, 0};
        ASSERT_TRUE(tree.insert(rect));
        ASSERT_EQ(rect.x, 0);
        ASSERT_EQ(rect.y, 0);
    }
    tree.clear();
}

TEST(NextPowerOfTwo, SmallestPowerNotBelow) {
    EXPECT_EQ(nextPowerOfTwo(INT_MIN), 1);
    EXPECT_EQ(nextPowerOfTwo(0), 1);
    EXPECT_EQ(nextPowerOfTwo(1), 1);
    EXPECT_EQ(nextPowerOfTwo(2), 2);
    EXPECT_EQ(nextPowerOfTwo(3), 4);
    EXPECT_EQ(nextPowerOfTwo(1024), 1024);
    EXPECT_EQ(nextPowerOfTwo(1025), 2048);
    EXPECT_EQ(nextPowerOfTwo(INT_MAX), 1 << 30);  // no power of two above fits; must still end
}
