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
    return find(1, 0, leafCount, Query{from, leafCount, INT_MAX, INT_MAX, INT_MAX, INT_MAX});
}

std::size_t WorkListIndex::findCandidate(std::size_t from, std::size_t to, int freeWidth, int freeHeight,
                                         int pageWidth, int pageHeight) const {
    return find(1, 0, leafCount, Query{from, to, freeWidth, freeHeight, pageWidth, pageHeight});
}

// A subtree is skipped when nothing in it can be small enough in both
// directions and nothing in it is too large in either; at a single position
// both tests are exact.
std::size_t WorkListIndex::find(std::size_t node, std::size_t low, std::size_t high, const Query& query) const {
    if (high <= query.from || low >= query.to) return none;
    const Node& n = nodes[node];
    if (n.count == 0) return none;
    const bool mayFit = n.minWidth <= query.freeWidth && n.minHeight <= query.freeHeight;
    const bool mayBeTooLarge = n.maxWidth > query.pageWidth || n.maxHeight > query.pageHeight;
    if (!mayFit && !mayBeTooLarge) return none;
    if (high - low == 1) return low;
    const std::size_t middle = low + (high - low) / 2;
    const std::size_t found = find(2 * node, low, middle, query);
    return found != none ? found : find(2 * node + 1, middle, high, query);
}

}  // namespace textureatlas
