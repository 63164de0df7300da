#include "layout/PackTree.h"

#include <algorithm>

namespace textureatlas {

PackNode::PackNode(const Rect& region, PackNode* parent)
    : region(region),
      parent(parent),
      largestFreeWidth(region.width),
      largestFreeHeight(region.height),
      largestFreeArea(static_cast<std::int64_t>(region.width) * region.height) {}

// Depth first, `first` before `second`, without recursion: a page of many
// empty rectangles makes a tree as deep as their number.
PackNode* PackNode::place(Rect& rect) {
    PackNode* node = this;
    for (;;) {
        if (node->mayHoldBelow(rect)) {
            if (node->isLeaf()) return node->split(rect) ? node : nullptr;
            node = node->first;
            continue;
        }
        for (;;) {
            if (node == this) return nullptr;
            PackNode* up = node->parent;
            if (node == up->first) {
                node = up->second;
                break;
            }
            node = up;
        }
    }
}

// The larger leftover keeps the node's full length as the `second` strip.
bool PackNode::split(Rect& rect) {
    const int dw = subtractWrapping(region.width, rect.width);
    const int dh = subtractWrapping(region.height, rect.height);
    const int right = addWrapping(region.x, rect.width);
    const int below = addWrapping(region.y, rect.height);
    Rect firstRegion, secondRegion;
    if (dw > dh) {
        secondRegion = Rect{right, region.y, dw, region.height};
        firstRegion = Rect{region.x, below, rect.width, dh};
    } else {
        firstRegion = Rect{right, region.y, dw, rect.height};
        secondRegion = Rect{region.x, below, region.width, dh};
    }
    // Both children or neither: a node with one child would be neither free nor used.
    PackNode* a = new PackNode(firstRegion, this);
    PackNode* b = new PackNode(secondRegion, this);
    if (!a || !b) {
        delete a;
        delete b;
        return false;
    }
    first = a;
    second = b;
    rect.x = region.x;
    rect.y = region.y;
    refreshLargestFreeUpwards();
    return true;
}

void PackNode::refreshLargestFreeUpwards() {
    for (PackNode* node = this; node; node = node->parent) {
        const int width = std::max(node->first->largestFreeWidth, node->second->largestFreeWidth);
        const int height = std::max(node->first->largestFreeHeight, node->second->largestFreeHeight);
        const std::int64_t area = std::max(node->first->largestFreeArea, node->second->largestFreeArea);
        if (width == node->largestFreeWidth && height == node->largestFreeHeight && area == node->largestFreeArea)
            break;
        node->largestFreeArea = area;
        node->largestFreeWidth = width;
        node->largestFreeHeight = height;
    }
}

void PackTree::initialize(int width, int height) {
    clear();
    root = new PackNode(Rect{0, 0, width, height});
    leaves.reset(width, height);
    if (root) leaves.add(root->region);
}

bool PackTree::insert(Rect& rect) {
    if (!root || !mayHold(rect.width, rect.height)) return false;
    PackNode* used = root->place(rect);
    if (!used) return false;
    leaves.remove(used->region);
    leaves.add(used->first->region);
    leaves.add(used->second->region);
    return true;
}

bool PackTree::mayHold(int width, int height) const {
    if (!root) return false;
    if (leaves.active()) return leaves.holds(width, height);
    return width <= root->largestFreeWidth && height <= root->largestFreeHeight;
}

bool PackTree::fits(const Rect& rect) const { return root && root->fits(rect); }

// First subtree, second subtree, then the node, without recursion.
void PackTree::clear() {
    PackNode* node = root;
    while (node) {
        if (node->first) {
            node = node->first;
            continue;
        }
        if (node->second) {
            node = node->second;
            continue;
        }
        PackNode* up = node->parent;
        if (up) (up->first == node ? up->first : up->second) = nullptr;
        delete node;
        node = up;
    }
    root = nullptr;
}

int nextPowerOfTwo(int n) {
    int power = 1;
    while (power < n && power < (1 << 30)) power *= 2;
    return power;
}

}  // namespace textureatlas
