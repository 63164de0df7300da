// Page-size fitting: the power-of-two page limits that give a group the
// fewest pages, then the least page area.
#pragma once

#include <vector>

#include "layout_probe.h"

namespace textureatlas {
class ITextureAtlasConfiguration;
}

struct FitResult {
    int width = 0, height = 0;                        // the limits that were chosen and left in the group
    int tried = 0;                                    // limit pairs laid out
    std::vector<texatlas_layout::LaidOutPage> pages;  // the layout at those limits
};

struct PageCost {
    size_t pages = 0;
    long long area = 0;
    int skew = 0;         // sum over pages of |log2 width - log2 height|: 0 when all are square
    long long width = 0;  // sum of the page widths
};

// The largest page the library makes, and the limit the layout uses for a
// requested size: 0, negative or over the largest mean the largest.
const int kLargestPage = 2048;
int pageLimit(int requested);

// Mip levels of a whole chain on the largest page that limits of `width` x
// `height` allow (pages are powers of two): down to 1 x 1. Smaller pages
// get their own whole chain from it, as Direct3D caps the count.
int fullMipChain(int width, int height);

PageCost pageCost(const std::vector<texatlas_layout::LaidOutPage>& pages);

// True when `a` at limits (aw, ah) is the better choice than `b` at (bw, bh):
// fewer pages, less area, squarer pages, then the larger limits (and, for
// limits of one area, the wider pages).
bool betterFit(const PageCost& a, int aw, int ah, const PageCost& b, int bw, int bh);

// Tries every power-of-two limit pair from the smallest that holds the
// group's largest texture up to the group's own limit (or the largest page),
// and sets the best into the configuration's only group.
FitResult fitPageLimits(textureatlas::ITextureAtlasConfiguration& configuration, int sortMode);
