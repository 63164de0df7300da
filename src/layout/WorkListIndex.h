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
    // First remaining position in [from, to) whose rect is at most
    // freeWidth x freeHeight, or is wider than pageWidth or higher than pageHeight.
    std::size_t findCandidate(std::size_t from, std::size_t to, int freeWidth, int freeHeight, int pageWidth,
                              int pageHeight) const;

private:
    // Over the remaining positions below a node; the extremes of width and
    // height are taken separately.
    struct Node {
        std::size_t count;
        int minWidth, minHeight, maxWidth, maxHeight;
    };
    struct Query {
        std::size_t from, to;
        int freeWidth, freeHeight, pageWidth, pageHeight;
    };

    std::size_t find(std::size_t node, std::size_t low, std::size_t high, const Query& query) const;
    void combine(std::size_t node);

    std::vector<Node> nodes;  // implicit binary tree; leaves start at `leafCount`
    std::size_t leafCount = 1;
};

}  // namespace textureatlas
