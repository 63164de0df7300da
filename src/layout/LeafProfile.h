#pragma once

#include "interface/host_memory.h"

#include <textureatlas/types.h>

namespace textureatlas {

// The free leaves of a page by width: for any width, the tallest free leaf at
// least that wide. Answers exactly whether some leaf can hold a rectangle,
// where the leaves' own largest width and height, taken separately, only
// bound it. Leaf sizes must lie within the page; a leaf outside (only
// rectangles of negative size make one) turns the profile off.
class LeafProfile {
public:
    // Starts an empty profile for leaves up to `width` wide; off when the
    // page size is unsuitable.
    void reset(int width, int height);
    void add(const Rect& leaf);
    void remove(const Rect& leaf);

    bool active() const { return isActive; }
    // Some leaf is at least `width` wide and `height` high; only when active.
    bool holds(int width, int height) const;

private:
    void raiseTallestFrom(int width, int height);
    void recomputeTallestFrom(int width);

    bool isActive = false;
    int widthLimit = 0;
    int heightLimit = 0;
    HostVector<int> tallestAt;            // per exact width
    HostVector<int> tallestFrom;          // per width: over that width and all wider ones
    HostVector<HostVector<int>> heights;  // the leaves' heights, per exact width
    HostVector<int> usedWidths;           // widths whose `heights` may be non-empty
};

}  // namespace textureatlas
