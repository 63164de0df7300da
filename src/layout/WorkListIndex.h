#pragma once

#include <textureatlas/types.h>

#include <cstddef>
#include <vector>

namespace textureatlas {

// The textures of a group that no page has taken yet, by their position in
// the sorted work list. A page's walk asks it for the next position that the
// page could take or must drop, and so skips the textures that would only
// stay behind, without erasing anything from the middle of the list.
class WorkListIndex {
public:
    static constexpr std::size_t none = static_cast<std::size_t>(-1);

    explicit WorkListIndex(const std::vector<TextureEntry>& workList);

    std::size_t remaining() const { return nodes[1].count; }
    void remove(std::size_t position);
    // First remaining position not before `from`, or `none`.
    std::size_t firstRemaining(std::size_t from) const;
    // First remaining position in [from, to) that `mayTake` accepts. It is
    // asked about ranges of positions, given the smallest and the largest
    // width and height among them (each taken separately), and must accept a
    // range whenever it might accept one of its positions. The search climbs
    // rightwards from `from`, so a nearby candidate takes only a few steps.
    template <class MayTake>
    std::size_t findCandidate(std::size_t from, std::size_t to, const MayTake& mayTake) const {
        if (from >= to || from >= leafCount) return none;
        std::size_t node = leafCount + from;
        int height = 0;  // of `node` above the positions
        for (;;) {
            const Node& n = nodes[node];
            if (n.count > 0 && mayTake(n.minWidth, n.minHeight, n.maxWidth, n.maxHeight)) {
                if (height == 0) return node - leafCount < to ? node - leafCount : none;
                node *= 2;
                --height;
                continue;
            }
            // Nothing here: go on with the subtree just right of this one.
            for (; node & 1; ++height) node /= 2;
            if (node == 0) return none;
            ++node;
            if ((node << height) - leafCount >= to) return none;
        }
    }

private:
    // Over the remaining positions below a node; the extremes of width and
    // height are taken separately.
    struct Node {
        std::size_t count;
        int minWidth, minHeight, maxWidth, maxHeight;
    };
    void combine(std::size_t node);

    std::vector<Node> nodes;  // implicit binary tree; leaves start at `leafCount`
    std::size_t leafCount = 1;
};

}  // namespace textureatlas
