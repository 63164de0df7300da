// Distribution of each group's textures over atlas pages.
#include "interface/TextureAtlas.h"
#include "interface/TextureAtlasConfiguration.h"
#include "interface/host_memory.h"
#include "layout/PackTree.h"
#include "layout/WorkListIndex.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace textureatlas {

namespace {

const char* const tooLargeMessage = "Texture size larger than maximum atlas size: ";

// Sort key of one texture: format rank (0 = greatest name) first, then the
// size order, larger first.
struct SortKey {
    std::uint32_t formatRank;
    std::int64_t primary;
    std::int32_t secondary;
    std::int32_t tertiary;
    std::uint32_t texture;
};

bool comesFirst(const SortKey& a, const SortKey& b) {
    if (a.formatRank != b.formatRank) return a.formatRank < b.formatRank;
    if (a.primary != b.primary) return a.primary > b.primary;
    if (a.secondary != b.secondary) return a.secondary > b.secondary;
    return a.tertiary > b.tertiary;
}

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

// Descending byte-wise order of the distinct format names (std::string
// compares bytes as unsigned, a prefix first).
HostVector<std::uint32_t> formatRanks(const std::vector<TextureEntry>& textures) {
    std::unordered_map<std::string, std::uint32_t, std::hash<std::string>, std::equal_to<std::string>,
                       HostMemoryAllocator<std::pair<const std::string, std::uint32_t>>>
        ids;
    HostVector<const std::string*> names;
    HostVector<std::uint32_t> idOfTexture;
    idOfTexture.reserve(textures.size());
    for (const TextureEntry& texture : textures) {
        auto inserted = ids.emplace(texture.format, static_cast<std::uint32_t>(names.size()));
        if (inserted.second) names.push_back(&inserted.first->first);
        idOfTexture.push_back(inserted.first->second);
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
// sort mode stays; a new mode re-sorts what remains, ties in its present order.
HostVector<std::uint32_t> walkOrder(const std::vector<TextureEntry>& textures, bool byFormat, int sortMode) {
    HostVector<std::uint32_t> ranks;
    if (byFormat) ranks = formatRanks(textures);
    HostVector<SortKey> keys(textures.size());
    for (std::uint32_t i = 0; i < keys.size(); ++i) {
        keys[i] = sizeKey(textures[i].rect, sortMode);
        keys[i].formatRank = ranks.empty() ? 0 : ranks[i];
        keys[i].texture = i;
    }
    std::stable_sort(keys.begin(), keys.end(), comesFirst);
    HostVector<std::uint32_t> order(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) order[i] = keys[i].texture;
    return order;
}

// Modes that give the same size order.
int sizeOrderOf(int sortMode) { return sortMode == 1 ? 1 : 0; }

// For each position of the sorted work list, the end of its run of one
// format: where a page's walk of a group without format stops.
HostVector<std::size_t> formatRunEnds(const std::vector<TextureEntry>& workList) {
    HostVector<std::size_t> ends(workList.size());
    for (std::size_t i = workList.size(); i-- > 0;) {
        const bool runGoesOn = i + 1 < workList.size() && workList[i + 1].format == workList[i].format;
        ends[i] = runGoesOn ? ends[i + 1] : i + 1;
    }
    return ends;
}

int packingSize(int requested, int maximum) { return requested <= 0 || requested > maximum ? maximum : requested; }

// State of laying out one group; members refer to the atlas's own fields.
struct GroupLayout {
    TextureAtlas& atlas;
    std::vector<AtlasGroup>& pages;
    std::vector<TextureEntry>& workList;
    const MessageCallback& warning;
    const int& sortMode;  // a warning callback may change it; each page reads it anew
    AtlasGroup& group;
    WorkListIndex remaining;
    HostVector<std::size_t> runEnds;
    int sortedBy = 0;  // size order of the work list
    PackTree tree;
    int nextNumber = 0;

    GroupLayout(TextureAtlas& atlas, std::vector<AtlasGroup>& pages, std::vector<TextureEntry>& workList,
                const MessageCallback& warning, const int& sortMode, AtlasGroup& group)
        : atlas(atlas), pages(pages), workList(workList), warning(warning), sortMode(sortMode), group(group) {}

    void run();
    void sortWorkList();
    void resortRemaining();
    bool fillPage();
};

void GroupLayout::run() {
    int mipLevels = 1;
    for (const TextureEntry& texture : group.textures) mipLevels = std::max(mipLevels, texture.mipLevels);
    if (group.mipLevels <= 0) group.mipLevels = mipLevels;

    // Copy in the order of adding, which reads the group's strings in the
    // order they were made, then move the copies into the walk order.
    workList.assign(group.textures.begin(), group.textures.end());
    sortWorkList();
    while (remaining.remaining() > 0) {
        if (sizeOrderOf(sortMode) != sortedBy) resortRemaining();
        // No progress happens only when memory runs out; give the group up.
        if (!fillPage()) break;
    }
    workList.clear();
}

void GroupLayout::sortWorkList() {
    sortedBy = sizeOrderOf(sortMode);
    std::vector<TextureEntry> sorted;
    sorted.reserve(workList.size());
    for (std::uint32_t i : walkOrder(workList, group.format.empty(), sortedBy))
        sorted.push_back(std::move(workList[i]));
    workList.swap(sorted);
    if (group.format.empty()) runEnds = formatRunEnds(workList);
    remaining = WorkListIndex(workList);
}

// Drops the places of textures already taken, keeping the order of the rest.
void GroupLayout::resortRemaining() {
    std::vector<TextureEntry> left;
    left.reserve(remaining.remaining());
    for (std::size_t position = remaining.firstRemaining(0); position != WorkListIndex::none;
         position = remaining.firstRemaining(position + 1))
        left.push_back(std::move(workList[position]));
    workList.swap(left);
    sortWorkList();
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
    std::size_t end = workList.size();
    if (group.format.empty()) {
        page.format = workList[start].format;
        end = runEnds[start];
    }
    bool progress = false;
    for (std::size_t position = start; tree.rootNode() && position < end;) {
        // Either the page may still take it or it is too large for any page.
        auto mayTake = [&](const SizeRange& sizes) {
            return sizes.maxWidth > width || sizes.maxHeight > height ||
                   (sizes.minArea <= tree.largestFreeArea() && tree.mayHold(sizes.minWidth, sizes.minHeight));
        };
        const std::size_t found = remaining.findCandidate(position, end, mayTake);
        if (found == WorkListIndex::none) break;
        TextureEntry& texture = workList[found];
        if (tree.insert(texture.rect)) {
            page.rect.width = std::max(page.rect.width, addWrapping(texture.rect.x, texture.rect.width));
            page.rect.height = std::max(page.rect.height, addWrapping(texture.rect.y, texture.rect.height));
            page.textures.push_back(std::move(texture));
            remaining.remove(found);
            progress = true;
        } else if (!tree.fits(texture.rect)) {
            warning(tooLargeMessage + texture.name);
            remaining.remove(found);
            progress = true;
        }
        position = found + 1;
    }
    tree.clear();

    if (page.textures.empty()) {
        pages.pop_back();
        return progress;
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
