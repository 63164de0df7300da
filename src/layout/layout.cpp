// Distribution of each group's textures over atlas pages.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "interface/TextureAtlas.h"
#include "interface/TextureAtlasConfiguration.h"
#include "interface/host_memory.h"
#include "interface/library_messages.h"
#include "layout/PackTree.h"
#include "layout/WorkListIndex.h"

namespace textureatlas {

namespace {

// Sort key of one texture: format rank (0 = greatest name) first, then the
// size order, larger first.
struct SortKey {
    std::uint32_t formatRank;
    std::int64_t primary;
    std::int32_t secondary;
    std::int32_t tertiary;
    std::uint32_t texture;
};

struct ComesFirst {
    bool operator()(const SortKey& a, const SortKey& b) const {
        if (a.formatRank != b.formatRank) return a.formatRank < b.formatRank;
        if (a.primary != b.primary) return a.primary > b.primary;
        if (a.secondary != b.secondary) return a.secondary > b.secondary;
        return a.tertiary > b.tertiary;
    }
};

SortKey sizeKey(const Rect& rect, int sortMode) {
    SortKey key{0, 0, 0, 0, 0};
    if (sortMode == 1) {
        key.primary = std::max(rect.width, rect.height);
        key.secondary = rect.width;
        key.tertiary = rect.height;
    } else {
        key.primary = static_cast<std::int64_t>(rect.width) * rect.height;
    }
    return key;
}

// For each of `chosen`, the rank of its format among theirs in descending
// byte-wise order of the names (std::string compares bytes as unsigned, a
// prefix first).
HostVector<std::uint32_t> formatRanks(const std::vector<TextureEntry>& textures,
                                      const HostVector<std::uint32_t>& chosen) {
    std::unordered_map<std::string, std::uint32_t, std::hash<std::string>, std::equal_to<std::string>,
                       HostMemoryAllocator<std::pair<const std::string, std::uint32_t>>>
        ids;
    HostVector<const std::string*> names;
    HostVector<std::uint32_t> idOfTexture;
    idOfTexture.reserve(chosen.size());
    const std::string* lastName = nullptr;
    std::uint32_t lastId = 0;
    for (std::uint32_t i : chosen) {
        const std::string& format = textures[i].format;
        // Neighbours often share a format; a comparison is cheaper than a hash.
        if (!lastName || format != *lastName) {
            auto inserted = ids.emplace(format, static_cast<std::uint32_t>(names.size()));
            if (inserted.second) names.push_back(&inserted.first->first);
            lastName = &inserted.first->first;
            lastId = inserted.first->second;
        }
        idOfTexture.push_back(lastId);
    }
    HostVector<std::uint32_t> byName(names.size());
    for (std::uint32_t i = 0; i < byName.size(); ++i) byName[i] = i;
    std::sort(byName.begin(), byName.end(), [&](std::uint32_t a, std::uint32_t b) { return *names[a] > *names[b]; });
    HostVector<std::uint32_t> rankOfId(names.size());
    for (std::uint32_t rank = 0; rank < byName.size(); ++rank) rankOfId[byName[rank]] = rank;
    for (std::uint32_t& id : idOfTexture) id = rankOfId[id];
    return idOfTexture;
}

// Re-sorting every page, stably by size and then stably by format, leaves
// the remaining textures in the order of one stable sort by (format, size):
// removing textures never reorders the rest. So one sort suffices while the
// sort mode stays; a new mode re-sorts what remains, ties in their present
// order. Returns `chosen` (indices into `textures`) in that order.
HostVector<std::uint32_t> walkOrder(const std::vector<TextureEntry>& textures, const HostVector<std::uint32_t>& chosen,
                                    bool byFormat, int sortMode) {
    HostVector<std::uint32_t> ranks;
    if (byFormat) ranks = formatRanks(textures, chosen);
    HostVector<SortKey> keys(chosen.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        keys[i] = sizeKey(textures[chosen[i]].rect, sortMode);
        keys[i].formatRank = ranks.empty() ? 0 : ranks[i];
        keys[i].texture = chosen[i];
    }
    std::stable_sort(keys.begin(), keys.end(), ComesFirst());
    HostVector<std::uint32_t> order(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) order[i] = keys[i].texture;
    return order;
}

// Modes that give the same size order.
int sizeOrderOf(int sortMode) { return sortMode == 1 ? 1 : 0; }

// For each walk position, the end of its run of one format: where a page's
// walk of a group without format stops.
HostVector<std::size_t> formatRunEnds(const std::vector<TextureEntry>& textures,
                                      const HostVector<std::uint32_t>& order) {
    HostVector<std::size_t> ends(order.size());
    for (std::size_t i = order.size(); i-- > 0;) {
        const bool runGoesOn = i + 1 < order.size() && textures[order[i + 1]].format == textures[order[i]].format;
        ends[i] = runGoesOn ? ends[i + 1] : i + 1;
    }
    return ends;
}

int packingSize(int requested, int maximum) { return requested <= 0 || requested > maximum ? maximum : requested; }

// State of laying out one group; members refer to the atlas's own fields.
// The work list keeps the order of adding; the walk reaches it through
// `order`, so that no texture moves before it goes onto its page.
struct GroupLayout {
    TextureAtlas& atlas;
    std::vector<AtlasGroup>& pages;
    std::vector<TextureEntry>& workList;
    const MessageCallback& warning;
    const int& sortMode;  // a warning callback may change it; each page reads it anew
    AtlasGroup& group;
    HostVector<std::uint32_t> order;  // work list index of each walk position
    WorkListIndex remaining;          // over walk positions
    HostVector<std::size_t> runEnds;
    struct Placement {
        std::uint32_t texture;  // work list index
        int x, y;
    };
    HostVector<Placement> placed;  // of the page being filled, in placing order
    int sortedBy = 0;              // size order of `order`
    PackTree tree;
    int nextNumber = 0;

    GroupLayout(TextureAtlas& atlas, std::vector<AtlasGroup>& pages, std::vector<TextureEntry>& workList,
                const MessageCallback& warning, const int& sortMode, AtlasGroup& group)
        : atlas(atlas), pages(pages), workList(workList), warning(warning), sortMode(sortMode), group(group) {}

    void run();
    void sortWalk(const HostVector<std::uint32_t>& chosen);
    void resortRemaining();
    bool fillPage();
};

void GroupLayout::run() {
    int mipLevels = 1;
    for (const TextureEntry& texture : group.textures) mipLevels = std::max(mipLevels, texture.mipLevels);
    if (group.mipLevels <= 0) group.mipLevels = mipLevels;

    // Copy in the order of adding, which reads the group's strings in the
    // order they were made; each copy moves only onto its page.
    workList.assign(group.textures.begin(), group.textures.end());
    HostVector<std::uint32_t> all(workList.size());
    for (std::uint32_t i = 0; i < all.size(); ++i) all[i] = i;
    sortWalk(all);
    while (remaining.remaining() > 0) {
        if (sizeOrderOf(sortMode) != sortedBy) resortRemaining();
        // No progress happens only when memory runs out; give the group up.
        if (!fillPage()) break;
    }
    workList.clear();
}

void GroupLayout::sortWalk(const HostVector<std::uint32_t>& chosen) {
    sortedBy = sizeOrderOf(sortMode);
    order = walkOrder(workList, chosen, group.format.empty(), sortedBy);
    if (group.format.empty()) runEnds = formatRunEnds(workList, order);
    remaining = WorkListIndex(workList, order);
}

// Drops the places of textures already taken, keeping the order of the rest.
void GroupLayout::resortRemaining() {
    HostVector<std::uint32_t> left;
    left.reserve(remaining.remaining());
    for (std::size_t position = remaining.firstRemaining(0); position != WorkListIndex::none;
         position = remaining.firstRemaining(position + 1))
        left.push_back(order[position]);
    sortWalk(left);
}

// Walks the remaining textures in order, as a page would, but jumps over
// those that can neither go on this page nor are too large for any page.
// Returns false when the page neither placed nor dropped a texture.
bool GroupLayout::fillPage() {
    pages.push_back(AtlasGroup());
    AtlasGroup& page = pages.back();
    page.name = group.name + std::to_string(nextNumber);
    page.format = group.format;
    page.rect = Rect{0, 0, 0, 0};
    page.mipLevels = group.mipLevels;
    page.border = group.border;
    page.index = -1;

    const int width = packingSize(group.rect.width, atlas.getMaxWidth());
    const int height = packingSize(group.rect.height, atlas.getMaxHeight());
    tree.initialize(width, height);

    const std::size_t start = remaining.firstRemaining(0);
    std::size_t end = order.size();
    if (group.format.empty()) {
        page.format = workList[order[start]].format;
        end = runEnds[start];
    }
    bool progress = false;
    placed.clear();
    for (std::size_t position = start; tree.rootNode() && position < end;) {
        // Either the page may still take it or it is too large for any page.
        auto mayTake = [&](const SizeRange& sizes) {
            return sizes.maxWidth > width || sizes.maxHeight > height ||
                   (sizes.minArea <= tree.largestFreeArea() && tree.mayHold(sizes.minWidth, sizes.minHeight));
        };
        const std::size_t found = remaining.findCandidate(position, end, mayTake);
        if (found == WorkListIndex::none) break;
        Rect rect = remaining.sizeAt(found);
        if (tree.insert(rect)) {
            page.rect.width = std::max(page.rect.width, addWrapping(rect.x, rect.width));
            page.rect.height = std::max(page.rect.height, addWrapping(rect.y, rect.height));
            placed.push_back(Placement{order[found], rect.x, rect.y});
            remaining.remove(found);
            progress = true;
        } else if (!tree.fits(rect)) {
            warning(messages::kTextureTooLarge + workList[order[found]].name);
            remaining.remove(found);
            progress = true;
        }
        position = found + 1;
    }
    tree.clear();

    if (placed.empty()) {
        pages.pop_back();
        return progress;
    }
    // Known in number now, the page's textures move once, in placing order.
    page.textures.reserve(placed.size());
    for (const Placement& placement : placed) {
        page.textures.push_back(std::move(workList[placement.texture]));
        page.textures.back().rect.x = placement.x;
        page.textures.back().rect.y = placement.y;
    }
    page.rect.width = nextPowerOfTwo(page.rect.width);
    page.rect.height = nextPowerOfTwo(page.rect.height);
    page.index = nextNumber++;
    return true;
}

}  // namespace

void TextureAtlas::layout(ITextureAtlasConfiguration* configuration) {
    std::vector<TextureEntry>().swap(pending);
    std::vector<AtlasGroup>().swap(pages);
    outputPath = configuration->getOutputPath();
    for (GroupIterator group = configuration->beginGroups(); group != configuration->endGroups(); ++group) {
        GroupLayout groupLayout(*this, pages, pending, warningCallback, sortMode, *group);
        groupLayout.run();
    }
}

}  // namespace textureatlas
