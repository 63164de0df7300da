#include "dds_write.h"

#include <cstring>

#include "pixel_format.h"

namespace d3d9soft {

namespace {

enum : DWORD {
    DDSD_CAPS = 0x1,
    DDSD_HEIGHT = 0x2,
    DDSD_WIDTH = 0x4,
    DDSD_PIXELFORMAT = 0x1000,
    DDSD_MIPMAPCOUNT = 0x20000,
    DDSCAPS_COMPLEX = 0x8,
    DDSCAPS_ALPHA = 0x2,
    DDSCAPS_PALETTE = 0x100,
    DDSCAPS_TEXTURE = 0x1000,
    DDSCAPS_MIPMAP = 0x400000,
};

void put32(std::vector<std::uint8_t>& bytes, std::size_t offset, DWORD value) {
    std::memcpy(&bytes[offset], &value, 4);
}

}  // namespace

bool ddsPixelFormat(D3DFORMAT format, DdsPixelFormat& out) {
    const FormatInfo& info = formatInfo(format);
    if (!info.ddsFlags) return false;
    // A FourCC format is its code alone: bit count and masks stay 0.
    const bool fourCc = info.ddsFlags & kDdsFourCc;
    out = DdsPixelFormat{info.ddsFlags,    fourCc ? DWORD(format) : 0, fourCc ? 0u : info.bytes * 8u,
                         info.ddsMasks[0], info.ddsMasks[1],           info.ddsMasks[2],
                         info.ddsMasks[3]};
    return true;
}

std::vector<std::uint8_t> ddsHeader(D3DFORMAT format, unsigned width, unsigned height, unsigned levels) {
    DdsPixelFormat pf{};
    ddsPixelFormat(format, pf);
    std::vector<std::uint8_t> bytes(128, 0);
    std::memcpy(bytes.data(), "DDS ", 4);
    DWORD flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    DWORD caps = DDSCAPS_TEXTURE;
    if (levels > 1) {
        flags |= DDSD_MIPMAPCOUNT;
        caps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    }
    if (pf.flags & (kDdsAlphaPixels | kDdsAlpha)) caps |= DDSCAPS_ALPHA;
    if (pf.flags & kDdsIndexed) caps |= DDSCAPS_PALETTE;
    put32(bytes, 4, 124);
    put32(bytes, 8, flags);
    put32(bytes, 12, height);
    put32(bytes, 16, width);
    // pitch or linear size (20) and depth (24) stay 0
    put32(bytes, 28, levels > 1 ? levels : 0);
    put32(bytes, 76, 32);  // pixel format size
    put32(bytes, 80, pf.flags);
    put32(bytes, 84, pf.fourCC);
    put32(bytes, 88, pf.bitCount);
    put32(bytes, 92, pf.redMask);
    put32(bytes, 96, pf.greenMask);
    put32(bytes, 100, pf.blueMask);
    put32(bytes, 104, pf.alphaMask);
    put32(bytes, 108, caps);
    return bytes;
}

}  // namespace d3d9soft
