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

WorkListIndex::WorkListIndex() : nodes(2, nothing) {}

WorkListIndex::WorkListIndex(const std::vector<TextureEntry>& workList, const HostVector<std::uint32_t>& order)
    : count(order.size()) {
    while (leafCount < order.size()) leafCount *= 2;
    nodes.assign(2 * leafCount, nothing);
    for (std::size_t i = 0; i < order.size(); ++i) nodes[leafCount + i] = sizesOf(workList[order[i]].rect);
    for (std::size_t node = leafCount - 1; node >= 1; --node) combine(node);
}

void WorkListIndex::combine(std::size_t node) {
    const SizeRange& a = nodes[2 * node];
    const SizeRange& b = nodes[2 * node + 1];
    nodes[node] =
        SizeRange{std::min(a.minWidth, b.minWidth), std::min(a.minHeight, b.minHeight),
                  std::max(a.maxWidth, b.maxWidth), std::max(a.maxHeight, b.maxHeight), std::min(a.minArea, b.minArea)};
}

// Once a node's sizes stay the same, so do its ancestors'.
void WorkListIndex::remove(std::size_t position) {
    std::size_t node = leafCount + position;
    nodes[node] = nothing;
    --count;
    for (node /= 2; node >= 1; node /= 2) {
        const SizeRange before = nodes[node];
        combine(node);
        const SizeRange& after = nodes[node];
        if (before.minWidth == after.minWidth && before.minHeight == after.minHeight &&
            before.maxWidth == after.maxWidth && before.maxHeight == after.maxHeight && before.minArea == after.minArea)
            break;
    }
}

std::size_t WorkListIndex::firstRemaining(std::size_t from) const {
    return findCandidate(from, leafCount, [](const SizeRange&) { return true; });
}

}  // namespace textureatlas
