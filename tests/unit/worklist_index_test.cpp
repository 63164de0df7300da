#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "layout/WorkListIndex.h"

using namespace textureatlas;

namespace {

TextureEntry sized(int width, int height) {
    TextureEntry entry;
    entry.rect = Rect{5, 6, width, height};
    return entry;
}

// What the index must report for one texture, negative sides counting as
// unbounded below in area.
SizeRange one(const Rect& rect) {
    const bool negative = rect.width < 0 || rect.height < 0;
    return SizeRange{rect.width, rect.height, rect.width, rect.height,
                     negative ? INT64_MIN : static_cast<std::int64_t>(rect.width) * rect.height};
}

// A run qualifies when it may hold a texture at least `width` wide whose area
// is at most `area`; such a predicate accepts every run holding a match.
struct WideAndSmall {
    int width;
    std::int64_t area;
    bool operator()(const SizeRange& sizes) const { return sizes.maxWidth >= width && sizes.minArea <= area; }
};

}  // namespace

// Against a plain scan: equal sizes (which leave ancestors unchanged on
// removal), negative and extreme sides, every removal order.
TEST(WorkListIndex, MatchesAPlainScanWhileTexturesLeave) {
    std::mt19937 random(99);
    auto between = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int trial = 0; trial < 200; ++trial) {
        const int count = between(0, 300);
        const int largest = between(1, 40);
        std::vector<TextureEntry> textures;
        for (int i = 0; i < count; ++i) {
            const int pick = between(0, 30);
            if (pick == 0)
                textures.push_back(sized(INT_MAX, INT_MAX));
            else if (pick == 1)
                textures.push_back(sized(-between(1, 5), between(0, 5)));
            else
                textures.push_back(sized(between(0, largest), between(0, largest)));
        }
        HostVector<std::uint32_t> order(textures.size());
        for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), random);
        WorkListIndex index(textures, order);
        std::vector<bool> left(textures.size(), true);
        std::size_t leftCount = textures.size();
        const auto& at = [&](std::size_t position) { return textures[order[position]].rect; };
        while (true) {
            ASSERT_EQ(index.remaining(), leftCount);
            for (int query = 0; query < 8; ++query) {
                const std::size_t from = static_cast<std::size_t>(between(0, count + 1));
                const std::size_t to = static_cast<std::size_t>(between(0, count + 1));
                const WideAndSmall wants{between(-5, largest + 1), between(0, 3) == 0 ? INT64_MAX : between(-1, 900)};
                std::size_t expected = WorkListIndex::none, first = WorkListIndex::none;
                for (std::size_t p = from; p < left.size(); ++p) {
                    if (!left[p]) continue;
                    if (first == WorkListIndex::none) first = p;
                    if (p < to && expected == WorkListIndex::none && wants(one(at(p)))) expected = p;
                }
                ASSERT_EQ(index.findCandidate(from, to, wants), expected) << "trial " << trial;
                ASSERT_EQ(index.firstRemaining(from), first) << "trial " << trial;
                if (first != WorkListIndex::none) {
                    ASSERT_EQ(index.sizeAt(first).width, at(first).width);
                    ASSERT_EQ(index.sizeAt(first).height, at(first).height);
                }
            }
            if (leftCount == 0) break;
            std::size_t gone = static_cast<std::size_t>(between(0, count - 1));
            while (!left[gone]) gone = (gone + 1) % left.size();
            index.remove(gone);
            left[gone] = false;
            --leftCount;
        }
    }
}
