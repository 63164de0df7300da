#include "fit.h"

#include <textureatlas/textureatlas.h>

#include <algorithm>
#include <cstdlib>

namespace {

int log2Of(int value) {
    int log = 0;
    while ((1 << (log + 1)) <= value) ++log;
    return log;
}

int powerOfTwoAtLeast(int value) {
    int power = 1;
    while (power < value) power *= 2;
    return power;
}

// Power-of-two limits from the smallest holding `largest` up to `limit`, and
// `limit` itself when a group asked for a size that is no power of two.
std::vector<int> candidateLimits(int largest, int limit) {
    std::vector<int> limits;
    for (int size = powerOfTwoAtLeast(std::max(largest, 1)); size <= limit; size *= 2) limits.push_back(size);
    if (limits.empty() || limits.back() != limit) limits.push_back(limit);
    return limits;
}

}  // namespace

int pageLimit(int requested) { return requested <= 0 || requested > kLargestPage ? kLargestPage : requested; }

int fullMipChain(int width, int height) {
    return log2Of(powerOfTwoAtLeast(std::max(pageLimit(width), pageLimit(height)))) + 1;
}

PageCost pageCost(const std::vector<texatlas_layout::LaidOutPage>& pages) {
    PageCost cost;
    cost.pages = pages.size();
    for (const texatlas_layout::LaidOutPage& page : pages) {
        cost.area += static_cast<long long>(page.width) * page.height;
        cost.skew += std::abs(log2Of(page.width) - log2Of(page.height));
        cost.width += page.width;
    }
    return cost;
}

bool betterFit(const PageCost& a, int aw, int ah, const PageCost& b, int bw, int bh) {
    if (a.pages != b.pages) return a.pages < b.pages;
    if (a.area != b.area) return a.area < b.area;
    if (a.skew != b.skew) return a.skew < b.skew;
    // Larger limits leave the same pages more room should the set grow.
    long long aArea = static_cast<long long>(aw) * ah, bArea = static_cast<long long>(bw) * bh;
    if (aArea != bArea) return aArea > bArea;
    // Landscape pages, as screens and most viewers are.
    if (a.width != b.width) return a.width > b.width;
    return aw > bw;
}

FitResult fitPageLimits(textureatlas::ITextureAtlasConfiguration& configuration, int sortMode) {
    FitResult best;
    auto group = configuration.beginGroups();
    if (group == configuration.endGroups()) return best;
    const int widthLimit = pageLimit(group->rect.width), heightLimit = pageLimit(group->rect.height);
    // Textures too large for the group's own limit are dropped whatever the
    // limits; the others must stay placed.
    int largestWidth = 1, largestHeight = 1;
    long long textureArea = 0;
    for (const textureatlas::TextureEntry& texture : group->textures) {
        if (texture.rect.width > widthLimit || texture.rect.height > heightLimit) continue;
        largestWidth = std::max(largestWidth, texture.rect.width);
        largestHeight = std::max(largestHeight, texture.rect.height);
        textureArea += static_cast<long long>(texture.rect.width) * texture.rect.height;
    }
    const int originalWidth = group->rect.width, originalHeight = group->rect.height;
    PageCost bestCost;
    for (int width : candidateLimits(largestWidth, widthLimit)) {
        for (int height : candidateLimits(largestHeight, heightLimit)) {
            // Pages needed at the very least; limits that cannot beat the best are skipped.
            long long limitArea = static_cast<long long>(width) * height;
            if (best.tried && static_cast<size_t>((textureArea + limitArea - 1) / limitArea) > bestCost.pages) continue;
            group->rect.width = width;
            group->rect.height = height;
            std::vector<texatlas_layout::LaidOutPage> pages = texatlas_layout::layOut(configuration, sortMode);
            PageCost cost = pageCost(pages);
            ++best.tried;
            if (best.tried == 1 || betterFit(cost, width, height, bestCost, best.width, best.height)) {
                best.width = width;
                best.height = height;
                best.pages = std::move(pages);
                bestCost = cost;
            }
        }
    }
    group->rect.width = best.tried ? best.width : originalWidth;
    group->rect.height = best.tried ? best.height : originalHeight;
    return best;
}
