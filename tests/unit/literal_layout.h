#pragma once
// A plain, literal layout kept only to check the real one against: it
// re-sorts the whole work list for every page, walks all of it, erases from
// the middle and searches the whole tree. Quadratic, but obviously right.

#include <textureatlas/types.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace literal {

using textureatlas::AtlasGroup;
using textureatlas::Rect;
using textureatlas::TextureEntry;

// Sizes may be anything; sums wrap around as in the real layout.
inline int plus(int a, int b) { return int(unsigned(a) + unsigned(b)); }
inline int minus(int a, int b) { return int(unsigned(a) - unsigned(b)); }

struct Node {
    Rect region;
    std::unique_ptr<Node> first, second;

    explicit Node(Rect region) : region(region) {}

    bool fits(const Rect& r) const { return r.width <= region.width && r.height <= region.height; }

    bool insert(Rect& r) {
        if (!fits(r)) return false;
        if (first) return first->insert(r) || second->insert(r);
        const int dw = minus(region.width, r.width);
        const int dh = minus(region.height, r.height);
        if (dw > dh) {
            second.reset(new Node(Rect{plus(region.x, r.width), region.y, dw, region.height}));
            first.reset(new Node(Rect{region.x, plus(region.y, r.height), r.width, dh}));
        } else {
            first.reset(new Node(Rect{plus(region.x, r.width), region.y, dw, r.height}));
            second.reset(new Node(Rect{region.x, plus(region.y, r.height), region.width, dh}));
        }
        r.x = region.x;
        r.y = region.y;
        return true;
    }
};

// Capped at 2^30, as in the real layout.
inline int nextPowerOfTwo(int n) {
    int p = 1;
    while (p < n && p < (1 << 30)) p *= 2;
    return p;
}

struct Result {
    std::vector<AtlasGroup> pages;
    std::vector<std::string> warnings;
};

// Lays out `groups` (whose mipLevels it derives in place) as the atlas would.
// `onWarning` sees each message and may change `sortMode`, which every page reads.
inline Result layout(std::vector<AtlasGroup>& groups, const int& sortMode, int maxWidth, int maxHeight,
                     const std::function<void(const std::string&)>& onWarning = nullptr) {
    Result result;
    auto bySize = [&sortMode](const TextureEntry& a, const TextureEntry& b) {
        const Rect& p = a.rect;
        const Rect& q = b.rect;
        if (sortMode == 1)
            return std::make_tuple(std::max(p.width, p.height), p.width, p.height) >
                   std::make_tuple(std::max(q.width, q.height), q.width, q.height);
        return std::int64_t(p.width) * p.height > std::int64_t(q.width) * q.height;
    };
    auto byFormat = [](const TextureEntry& a, const TextureEntry& b) { return a.format > b.format; };

    for (AtlasGroup& group : groups) {
        int m = 1;
        for (const TextureEntry& t : group.textures) m = std::max(m, t.mipLevels);
        if (group.mipLevels <= 0) group.mipLevels = m;
        std::vector<TextureEntry> pending = group.textures;
        int n = 0;
        while (!pending.empty()) {
            AtlasGroup page;
            page.name = group.name + std::to_string(n);
            page.format = group.format;
            page.mipLevels = group.mipLevels;
            page.border = group.border;
            std::stable_sort(pending.begin(), pending.end(), bySize);
            if (group.format.empty()) std::stable_sort(pending.begin(), pending.end(), byFormat);
            const int w = group.rect.width <= 0 || group.rect.width > maxWidth ? maxWidth : group.rect.width;
            const int h = group.rect.height <= 0 || group.rect.height > maxHeight ? maxHeight : group.rect.height;
            Node root(Rect{0, 0, w, h});
            std::string s;
            for (std::size_t i = 0; i < pending.size();) {
                TextureEntry& t = pending[i];
                if (group.format.empty()) {
                    if (!s.empty() && t.format != s) break;
                    s = t.format;
                }
                if (root.insert(t.rect)) {
                    page.textures.push_back(t);
                    page.rect.width = std::max(page.rect.width, plus(t.rect.x, t.rect.width));
                    page.rect.height = std::max(page.rect.height, plus(t.rect.y, t.rect.height));
                    pending.erase(pending.begin() + i);
                } else if (!root.fits(t.rect)) {
                    result.warnings.push_back("Texture size larger than maximum atlas size: " + t.name);
                    pending.erase(pending.begin() + i);
                    if (onWarning) onWarning(result.warnings.back());
                } else {
                    ++i;
                }
            }
            if (group.format.empty()) page.format = s;
            if (!page.textures.empty()) {
                page.rect.width = nextPowerOfTwo(page.rect.width);
                page.rect.height = nextPowerOfTwo(page.rect.height);
                page.index = n++;
                result.pages.push_back(page);
            }
        }
    }
    return result;
}

}  // namespace literal
