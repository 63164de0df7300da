#include "layout/WorkListIndex.h"

#include <algorithm>
#include <climits>

namespace textureatlas {

namespace {
const int noMinimum = INT_MAX;
const int noMaximum = INT_MIN;
}  // namespace

WorkListIndex::WorkListIndex(const std::vector<TextureEntry>& workList) {
    while (leafCount < workList.size()) leafCount *= 2;
    nodes.assign(2 * leafCount, Node{0, noMinimum, noMinimum, noMaximum, noMaximum});
    for (std::size_t i = 0; i < workList.size(); ++i) {
        const Rect& rect = workList[i].rect;
        nodes[leafCount + i] = Node{1, rect.width, rect.height, rect.width, rect.height};
    }
    for (std::size_t node = leafCount - 1; node >= 1; --node) combine(node);
}

void WorkListIndex::combine(std::size_t node) {
    const Node& a = nodes[2 * node];
    const Node& b = nodes[2 * node + 1];
    nodes[node] = Node{a.count + b.count, std::min(a.minWidth, b.minWidth), std::min(a.minHeight, b.minHeight),
                       std::max(a.maxWidth, b.maxWidth), std::max(a.maxHeight, b.maxHeight)};
}

void WorkListIndex::remove(std::size_t position) {
    std::size_t node = leafCount + position;
    nodes[node] = Node{0, noMinimum, noMinimum, noMaximum, noMaximum};
    for (node /= 2; node >= 1; node /= 2) combine(node);
}

std::size_t WorkListIndex::firstRemaining(std::size_t from) const {
    return findCandidate(from, leafCount, [](int, int, int, int) { return true; });
}

}  // namespace textureatlas
