#include "dedup.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unordered_map>

namespace {

const std::streamsize kChunk = 64 * 1024;  // files are streamed, never held whole
const std::uintmax_t kUnknownSize = static_cast<std::uintmax_t>(-1);

bool hashFile(const std::string& path, std::uint64_t& hash) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    char buffer[kChunk];
    hash = 14695981039346656037ull;
    while (file) {
        file.read(buffer, kChunk);
        for (std::streamsize i = 0; i < file.gcount(); ++i)
            hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
    }
    return !file.bad();
}

bool sameContents(const std::string& a, const std::string& b) {
    std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
    if (!first || !second) return false;
    static thread_local char left[kChunk], right[kChunk];
    while (first && second) {
        first.read(left, kChunk);
        second.read(right, kChunk);
        if (first.gcount() != second.gcount() || std::memcmp(left, right, first.gcount()) != 0) return false;
    }
    return !first.bad() && !second.bad() && first.eof() && second.eof();
}

}  // namespace

DedupPlan findDuplicates(const std::vector<TextureRef>& textures, bool merge) {
    DedupPlan plan;
    plan.unique.reserve(textures.size());
    // Only files of one size can match, so a file whose size no other file
    // has is never read here: most are read once, by the library's load.
    std::vector<std::uintmax_t> sizes(textures.size(), kUnknownSize);
    std::unordered_map<std::uintmax_t, int> filesOfSize;
    for (size_t i = 0; merge && i < textures.size(); ++i) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(textures[i].path, error);
        if (error) continue;
        sizes[i] = size;
        ++filesOfSize[size];
    }
    // A border changes the cell, so it is part of what must match.
    std::unordered_multimap<std::uint64_t, size_t> seen;
    for (size_t i = 0; i < textures.size(); ++i) {
        const TextureRef& texture = textures[i];
        std::uint64_t hash = 0;
        if (sizes[i] != kUnknownSize && filesOfSize[sizes[i]] > 1 && hashFile(texture.path, hash)) {
            hash ^= texture.border ? 1u : 0u;
            bool merged = false;
            auto range = seen.equal_range(hash);
            for (auto candidate = range.first; candidate != range.second && !merged; ++candidate) {
                const TextureRef& first = plan.unique[candidate->second];
                if (first.border == texture.border && sameContents(first.path, texture.path)) {
                    plan.duplicatesOf[candidate->second].push_back(texture.name);
                    ++plan.merged;
                    merged = true;
                }
            }
            if (merged) continue;
            seen.emplace(hash, plan.unique.size());
        }
        plan.unique.push_back(texture);
        plan.duplicatesOf.emplace_back();
    }
    return plan;
}
