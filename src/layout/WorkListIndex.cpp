#include "layout/WorkListIndex.h"

#include <algorithm>
#include <climits>

namespace textureatlas {

namespace {

const SizeRange nothing{INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT64_MAX};

SizeRange sizesOf(const Rect& rect) {
    const bool negative = rect.width < 0 || rect.height < 0;
    return SizeRange{rect.width, rect.height, rect.width, rect.height,
                     negative ? INT64_MIN : static_cast<std::int64_t>(rect.width) * rect.height};
}

}  // namespace

WorkListIndex::WorkListIndex() : nodes(2, Node{nothing, 0}) {}

WorkListIndex::WorkListIndex(const std::vector<TextureEntry>& workList) {
    while (leafCount < workList.size()) leafCount *= 2;
    nodes.assign(2 * leafCount, Node{nothing, 0});
    for (std::size_t i = 0; i < workList.size(); ++i) nodes[leafCount + i] = Node{sizesOf(workList[i].rect), 1};
    for (std::size_t node = leafCount - 1; node >= 1; --node) combine(node);
}

void WorkListIndex::combine(std::size_t node) {
    const Node& a = nodes[2 * node];
    const Node& b = nodes[2 * node + 1];
    nodes[node] = Node{SizeRange{std::min(a.sizes.minWidth, b.sizes.minWidth),
                                 std::min(a.sizes.minHeight, b.sizes.minHeight),
                                 std::max(a.sizes.maxWidth, b.sizes.maxWidth),
                                 std::max(a.sizes.maxHeight, b.sizes.maxHeight),
                                 std::min(a.sizes.minArea, b.sizes.minArea)},
                       a.count + b.count};
}

void WorkListIndex::remove(std::size_t position) {
    std::size_t node = leafCount + position;
    nodes[node] = Node{nothing, 0};
    for (node /= 2; node >= 1; node /= 2) combine(node);
}

std::size_t WorkListIndex::firstRemaining(std::size_t from) const {
    return findCandidate(from, leafCount, [](const SizeRange&) { return true; });
}

}  // namespace textureatlas
