// The copy engine behind the surface-loading functions: reads a rectangle
// of one pixel view, scales it if asked, and writes it into a rectangle of
// another, converting the pixel format on the way.
#pragma once

#include <d3dx9.h>

#include "pixel_format.h"

namespace d3d9soft {

// Texels of a locked surface or of caller memory. `bits` points at texel (0, 0),
// or at block (0, 0) of a block format; `pitch` is bytes per row (of blocks).
struct PixelView {
    std::uint8_t* bits;
    long pitch;
    unsigned width, height;
    const FormatInfo* format;
    const PALETTEENTRY* palette;  // Palette formats only
};

bool canRead(const FormatInfo& format);
bool canWrite(const FormatInfo& format);

// Filter with D3DX_DEFAULT resolved; false for a combination D3DX refuses.
bool resolveFilter(DWORD filter, DWORD defaultFilter, DWORD& resolved);

// Rectangles must lie inside their views and be non-empty. With D3DX_FILTER_NONE
// the source is placed at the destination's top-left corner, cropped, and the
// uncovered rest becomes transparent black; other filters scale.
void copyRect(const PixelView& dst, const RECT& dstRect, const PixelView& src, const RECT& srcRect, DWORD filter,
              D3DCOLOR colorKey);

// Direct row converters for the common format pairs, or null.
using RawRowConverter = void (*)(const std::uint8_t* src, std::uint8_t* dst, unsigned count);
RawRowConverter findRawConverter(D3DFORMAT src, D3DFORMAT dst);

}  // namespace d3d9soft
