#pragma once

#include <textureatlas/types.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "interface/host_memory.h"

namespace textureatlas {

// What a run of work list positions holds, each extreme taken separately.
struct SizeRange {
    int minWidth, minHeight, maxWidth, maxHeight;
    // Smallest area among rectangles with no negative side; such a rectangle
    // needs a leaf of at least its area. The others count as unbounded below.
    std::int64_t minArea;
};

// The textures of a group that no page has taken yet, by their position in
// the sorted work list. A page's walk asks it for the next position that the
// page could take or must drop, and so skips the textures that would only
// stay behind, without erasing anything from the middle of the list.
class WorkListIndex {
public:
    static constexpr std::size_t none = static_cast<std::size_t>(-1);

    WorkListIndex();  // of an empty work list
    // Position i holds workList[order[i]].
    WorkListIndex(const std::vector<TextureEntry>& workList, const HostVector<std::uint32_t>& order);

    std::size_t remaining() const { return count; }
    // The size of the texture at a remaining position, read from the index,
    // which a search has just passed, rather than from the far work list.
    Rect sizeAt(std::size_t position) const {
        const SizeRange& sizes = nodes[leafCount + position];
        return Rect{0, 0, sizes.minWidth, sizes.minHeight};
    }
    void remove(std::size_t position);
    // First remaining position not before `from`, or `none`.
    std::size_t firstRemaining(std::size_t from) const;

    // First remaining position in [from, to) that `mayTake` accepts. It is
    // asked about the SizeRange of runs of positions and must accept a run
    // whenever it might accept one of its positions. The search climbs
    // rightwards from `from`, so a nearby candidate takes only a few steps.
    template <class MayTake>
    std::size_t findCandidate(std::size_t from, std::size_t to, const MayTake& mayTake) const {
        if (from >= to || from >= leafCount) return none;
        std::size_t node = leafCount + from;
        int height = 0;  // of `node` above the positions
        for (;;) {
            const SizeRange& sizes = nodes[node];
            if (holdsAny(sizes) && mayTake(sizes)) {
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
    // A texture's area is below INT64_MAX even at INT_MAX x INT_MAX, so the
    // empty range's minArea marks a subtree with no remaining position.
    static bool holdsAny(const SizeRange& sizes) { return sizes.minArea != INT64_MAX; }
    void combine(std::size_t node);

    // Implicit binary tree of the sizes over the remaining positions below
    // each node; positions start at `leafCount`.
    HostVector<SizeRange> nodes;
    std::size_t leafCount = 1;
    std::size_t count = 0;
};

}  // namespace textureatlas
