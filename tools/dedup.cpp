#include "dedup.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_map>

namespace {

bool sameContents(const std::string& a, const std::string& b) {
    FileChunks first(a), second(b);
    if (!first.opened() || !second.opened()) return false;
    for (std::size_t size = FileChunks::kSize; size == FileChunks::kSize;) {
        size = first.next();
        if (second.next() != size || std::memcmp(first.bytes(), second.bytes(), size) != 0) return false;
    }
    return !first.failed() && !second.failed();
}

}  // namespace

DedupPlan findDuplicates(const std::vector<TextureRef>& textures, bool merge, SourceLookup lookup) {
    DedupPlan plan;
    plan.unique.reserve(textures.size());
    // Sizes and hashes come from the probe's read of each file, so only
    // files of one hash are read here, to compare them.
    std::vector<SourceFile> files(textures.size());
    std::vector<bool> known(textures.size(), false);
    std::vector<std::uint64_t> sizes;  // sorted: a size found twice is shared
    sizes.reserve(merge ? textures.size() : 0);
    for (size_t i = 0; merge && i < textures.size(); ++i) {
        if (!lookup(*textures[i].path, files[i])) continue;
        known[i] = true;
        sizes.push_back(files[i].size);
    }
    std::sort(sizes.begin(), sizes.end());
    auto sizeShared = [&](std::uint64_t size) {
        auto same = std::equal_range(sizes.begin(), sizes.end(), size);
        return same.second - same.first > 1;
    };
    // A border changes the cell, so it is part of what must match.
    std::unordered_multimap<std::uint64_t, size_t> seen;  // hash: a placed texture's index
    std::unordered_map<size_t, size_t> sharedAt;          // placed texture's index: its entry in plan.shared
    for (size_t i = 0; i < textures.size(); ++i) {
        const TextureRef& texture = textures[i];
        if (known[i] && sizeShared(files[i].size) && hashSourceFile(*texture.path, files[i])) {
            const std::uint64_t hash = files[i].hash ^ (texture.border ? 1u : 0u);
            bool merged = false;
            auto range = seen.equal_range(hash);
            for (auto candidate = range.first; candidate != range.second && !merged; ++candidate) {
                const TextureRef& first = textures[candidate->second];
                if (first.border == texture.border && sameContents(*first.path, *texture.path)) {
                    auto at = sharedAt.emplace(candidate->second, plan.shared.size());
                    if (at.second) plan.shared.emplace_back(*first.name, std::vector<std::string>());
                    plan.shared[at.first->second].second.push_back(*texture.name);
                    ++plan.merged;
                    merged = true;
                }
            }
            if (merged) continue;
            seen.emplace(hash, i);
        }
        plan.unique.push_back(i);
    }
    return plan;
}
