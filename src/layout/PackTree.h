#pragma once

#include <textureatlas/types.h>

#include <cstddef>
#include <cstdint>

#include "layout/LeafProfile.h"

namespace textureatlas {

// Sizes come from image headers and the configuration file, so they may be
// anything; wrap around on overflow instead of leaving it undefined.
inline int addWrapping(int a, int b) { return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b)); }
inline int subtractWrapping(int a, int b) {
    return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b));
}

// One region of a page. A leaf is free; a node with children has taken a
// rectangle in its top-left corner and its two children cover the rest.
struct PackNode {
    Rect region;
    PackNode* first = nullptr;   // the piece beside or under the rectangle, searched first
    PackNode* second = nullptr;  // the strip along the region's whole side
    PackNode* parent = nullptr;  // lets search and destruction run without recursion
    // Largest width, height and area among the free leaves below (each taken
    // separately), so that a search can skip subtrees that cannot hold a rectangle.
    int largestFreeWidth = 0;
    int largestFreeHeight = 0;
    std::int64_t largestFreeArea = 0;

    explicit PackNode(const Rect& region, PackNode* parent = nullptr);

    bool isLeaf() const { return first == nullptr; }
    bool fits(const Rect& rect) const { return rect.width <= region.width && rect.height <= region.height; }
    // The first leaf below, depth first, that is large enough for `rect`.
    PackNode* findLeaf(const Rect& rect);
    // Takes `rect` in this leaf's corner with the two given fresh nodes as
    // its children, and writes the position into rect.x and rect.y.
    void split(Rect& rect, PackNode* a, PackNode* b);

private:
    bool mayHoldBelow(const Rect& rect) const {
        // A leaf that holds a rectangle with no negative side has at least its area.
        const bool areaBounds = rect.width >= 0 && rect.height >= 0;
        return fits(rect) && rect.width <= largestFreeWidth && rect.height <= largestFreeHeight &&
               (!areaBounds || static_cast<std::int64_t>(rect.width) * rect.height <= largestFreeArea);
    }
    void refreshLargestFreeUpwards();
};

// The nodes of one page, carved from blocks of the host memory library. A
// new page reuses the blocks of the last one, so a layout of many pages
// asks for memory only a few times, and a page's nodes lie close together.
class PackNodePool {
public:
    PackNodePool() = default;
    ~PackNodePool();

    // Null when the host memory library has no memory left.
    PackNode* make(const Rect& region, PackNode* parent);
    // Every node made so far is gone; the blocks stay for reuse.
    void recycle();

private:
    PackNodePool(const PackNodePool&) = delete;
    PackNodePool& operator=(const PackNodePool&) = delete;

    struct Block;
    Block* first = nullptr;
    Block* current = nullptr;
    std::size_t used = 0;  // nodes taken from `current`
};

// A guillotine packing tree for one page: first fit, depth first.
class PackTree {
public:
    PackTree() = default;
    ~PackTree() { clear(); }

    // Starts an empty page; the tree must be empty.
    void initialize(int width, int height);
    // On success writes the chosen position into rect.x and rect.y.
    bool insert(Rect& rect);
    // False when `rect` is larger than the whole page.
    bool fits(const Rect& rect) const;
    void clear();

    // False only when no free leaf can hold a width x height rectangle; exact
    // while every leaf lies within the page.
    bool mayHold(int width, int height) const;
    std::int64_t largestFreeArea() const { return root ? root->largestFreeArea : 0; }
    const PackNode* rootNode() const { return root; }

private:
    PackTree(const PackTree&) = delete;
    PackTree& operator=(const PackTree&) = delete;

    PackNode* root = nullptr;
    PackNodePool nodes;
    LeafProfile leaves;
};

// Smallest power of two not less than n (1 for every n <= 1); capped at 2^30.
int nextPowerOfTwo(int n);

}  // namespace textureatlas
