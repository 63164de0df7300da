#include "layout/LeafProfile.h"

#include <algorithm>
#include <climits>

namespace textureatlas {

namespace {
const int noLeaf = INT_MIN;
// Beyond this the profile would cost more than it saves.
const int largestProfiledWidth = 1 << 16;
}  // namespace

void LeafProfile::reset(int width, int height) {
    isActive = width >= 0 && height >= 0 && width <= largestProfiledWidth;
    if (!isActive) return;
    widthLimit = width;
    heightLimit = height;
    const std::size_t slots = static_cast<std::size_t>(width) + 2;  // one past the widest: no leaf
    tallestAt.assign(slots, noLeaf);
    tallestFrom.assign(slots, noLeaf);
    // A group may have thousands of pages; clear only what the last one used.
    for (int used : usedWidths) heights[static_cast<std::size_t>(used)].clear();
    usedWidths.clear();
    if (heights.size() < slots) heights.resize(slots);
}

void LeafProfile::add(const Rect& leaf) {
    if (!isActive) return;
    if (leaf.width < 0 || leaf.width > widthLimit || leaf.height < 0 || leaf.height > heightLimit) {
        isActive = false;
        return;
    }
    const std::size_t width = static_cast<std::size_t>(leaf.width);
    if (heights[width].empty()) usedWidths.push_back(leaf.width);
    heights[width].push_back(leaf.height);
    if (leaf.height > tallestAt[width]) {
        tallestAt[width] = leaf.height;
        raiseTallestFrom(leaf.width, leaf.height);
    }
}

void LeafProfile::remove(const Rect& leaf) {
    if (!isActive) return;
    const std::size_t width = static_cast<std::size_t>(leaf.width);
    HostVector<int>& list = heights[width];
    auto found = std::find(list.begin(), list.end(), leaf.height);
    if (found == list.end()) return;
    *found = list.back();
    list.pop_back();
    const int tallest = list.empty() ? noLeaf : *std::max_element(list.begin(), list.end());
    if (tallest != tallestAt[width]) {
        tallestAt[width] = tallest;
        recomputeTallestFrom(leaf.width);
    }
}

// tallestFrom never increases with the width, so the walk towards narrower
// widths ends at the first one that already reaches `height`.
void LeafProfile::raiseTallestFrom(int width, int height) {
    for (int w = width; w >= 0 && tallestFrom[static_cast<std::size_t>(w)] < height; --w)
        tallestFrom[static_cast<std::size_t>(w)] = height;
}

// Narrower widths depend on wider ones only through their neighbour, so the
// walk ends at the first width whose value does not change.
void LeafProfile::recomputeTallestFrom(int width) {
    for (int w = width; w >= 0; --w) {
        const std::size_t i = static_cast<std::size_t>(w);
        const int value = std::max(tallestAt[i], tallestFrom[i + 1]);
        if (value == tallestFrom[i]) break;
        tallestFrom[i] = value;
    }
}

bool LeafProfile::holds(int width, int height) const {
    if (width > widthLimit) return false;
    const int tallest = tallestFrom[static_cast<std::size_t>(std::max(width, 0))];
    return tallest != noLeaf && tallest >= height;
}

}  // namespace textureatlas
