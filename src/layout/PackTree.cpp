#include "layout/PackTree.h"

#include <tarn/vek/memory.h>

#include <algorithm>
#include <new>
#include <type_traits>

namespace textureatlas {

PackNode::PackNode(const Rect& region, PackNode* parent)
    : region(region),
      parent(parent),
      largestFreeWidth(region.width),
      largestFreeHeight(region.height),
      largestFreeArea(static_cast<std::int64_t>(region.width) * region.height) {}

// Depth first, `first` before `second`, without recursion: a page of many
// empty rectangles makes a tree as deep as their number.
PackNode* PackNode::findLeaf(const Rect& rect) {
    PackNode* node = this;
    for (;;) {
        if (node->mayHoldBelow(rect)) {
            if (node->isLeaf()) return node;
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
void PackNode::split(Rect& rect, PackNode* a, PackNode* b) {
    const int dw = subtractWrapping(region.width, rect.width);
    const int dh = subtractWrapping(region.height, rect.height);
    const int right = addWrapping(region.x, rect.width);
    const int below = addWrapping(region.y, rect.height);
    if (dw > dh) {
        *b = PackNode(Rect{right, region.y, dw, region.height}, this);
        *a = PackNode(Rect{region.x, below, rect.width, dh}, this);
    } else {
        *a = PackNode(Rect{right, region.y, dw, rect.height}, this);
        *b = PackNode(Rect{region.x, below, region.width, dh}, this);
    }
    first = a;
    second = b;
    rect.x = region.x;
    rect.y = region.y;
    refreshLargestFreeUpwards();
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

// Nodes are never destroyed one by one: a whole page goes at once.
static_assert(std::is_trivially_destructible<PackNode>::value, "pool nodes are dropped without destruction");

struct PackNodePool::Block {
    static constexpr std::size_t capacity = 1024;
    Block* next = nullptr;
    alignas(PackNode) unsigned char storage[capacity * sizeof(PackNode)];
};

PackNodePool::~PackNodePool() {
    while (first) {
        Block* next = first->next;
        tarn::vek::memory::ql_free(first);
        first = next;
    }
}

PackNode* PackNodePool::make(const Rect& region, PackNode* parent) {
    if (!current || used == Block::capacity) {
        Block* next = current ? current->next : first;
        if (!next) {
            void* memory = tarn::vek::memory::ql_malloc(sizeof(Block), 0);
            if (!memory) return nullptr;
            next = new (memory) Block;
            (current ? current->next : first) = next;
        }
        current = next;
        used = 0;
    }
    return new (current->storage + sizeof(PackNode) * used++) PackNode(region, parent);
}

void PackNodePool::recycle() {
    current = nullptr;
    used = 0;
}

void PackTree::initialize(int width, int height) {
    clear();
    root = nodes.make(Rect{0, 0, width, height}, nullptr);
    leaves.reset(width, height);
    if (root) leaves.add(root->region);
}

bool PackTree::insert(Rect& rect) {
    if (!root || !mayHold(rect.width, rect.height)) return false;
    PackNode* leaf = root->findLeaf(rect);
    if (!leaf) return false;
    // Both children or neither: a node with one child would be neither free nor used.
    PackNode* a = nodes.make(Rect{}, leaf);
    PackNode* b = a ? nodes.make(Rect{}, leaf) : nullptr;
    if (!b) return false;
    leaf->split(rect, a, b);
    // The children first: the strip that keeps the leaf's full height then
    // stops the profile's walk after the removal early.
    leaves.add(a->region);
    leaves.add(b->region);
    leaves.remove(leaf->region);
    return true;
}

bool PackTree::mayHold(int width, int height) const {
    if (!root) return false;
    if (leaves.active()) return leaves.holds(width, height);
    return width <= root->largestFreeWidth && height <= root->largestFreeHeight;
}

bool PackTree::fits(const Rect& rect) const { return root && root->fits(rect); }

void PackTree::clear() {
    root = nullptr;
    nodes.recycle();
}

int nextPowerOfTwo(int n) {
    int power = 1;
    while (power < n && power < (1 << 30)) power *= 2;
    return power;
}

}  // namespace textureatlas
