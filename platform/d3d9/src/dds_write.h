// The legacy DDS container as D3DX writes it: magic, 124-byte header, then
// every level tightly packed.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <vector>

namespace d3d9soft {

struct DdsPixelFormat {
    DWORD flags, fourCC, bitCount, redMask, greenMask, blueMask, alphaMask;
};

// The pixel format of a DDS header for `format`, from its row of the format
// table; false for formats that have no DDS description.
bool ddsPixelFormat(D3DFORMAT format, DdsPixelFormat& out);

// The 128 bytes in front of the level data.
std::vector<std::uint8_t> ddsHeader(D3DFORMAT format, unsigned width, unsigned height, unsigned levels);

}  // namespace d3d9soft
