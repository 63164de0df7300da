#include "dds_write.h"

#include <cstring>

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
    DDPF_ALPHAPIXELS = 0x1,
    DDPF_ALPHA = 0x2,
    DDPF_FOURCC = 0x4,
    DDPF_INDEXED = 0x20,
    DDPF_RGB = 0x40,
    DDPF_LUMINANCE = 0x20000,
    DDPF_BUMPLUMINANCE = 0x40000,
    DDPF_BUMPDUDV = 0x80000,
};

struct MaskedFormat {
    D3DFORMAT format;
    DdsPixelFormat pixelFormat;
};

// The 10:10:10:2 formats carry swapped red and blue masks, as D3DX writes them.
const MaskedFormat maskedFormats[] = {
    {D3DFMT_R8G8B8, {DDPF_RGB, 0, 24, 0xff0000, 0xff00, 0xff, 0}},
    {D3DFMT_A8R8G8B8, {DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000}},
    {D3DFMT_X8R8G8B8, {DDPF_RGB, 0, 32, 0xff0000, 0xff00, 0xff, 0}},
    {D3DFMT_A8B8G8R8, {DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, 0xff, 0xff00, 0xff0000, 0xff000000}},
    {D3DFMT_X8B8G8R8, {DDPF_RGB, 0, 32, 0xff, 0xff00, 0xff0000, 0}},
    {D3DFMT_R5G6B5, {DDPF_RGB, 0, 16, 0xf800, 0x7e0, 0x1f, 0}},
    {D3DFMT_A1R5G5B5, {DDPF_RGB | DDPF_ALPHAPIXELS, 0, 16, 0x7c00, 0x3e0, 0x1f, 0x8000}},
    {D3DFMT_X1R5G5B5, {DDPF_RGB, 0, 16, 0x7c00, 0x3e0, 0x1f, 0}},
    {D3DFMT_A4R4G4B4, {DDPF_RGB | DDPF_ALPHAPIXELS, 0, 16, 0xf00, 0xf0, 0xf, 0xf000}},
    {D3DFMT_X4R4G4B4, {DDPF_RGB, 0, 16, 0xf00, 0xf0, 0xf, 0}},
    {D3DFMT_R3G3B2, {DDPF_RGB, 0, 8, 0xe0, 0x1c, 0x3, 0}},
    {D3DFMT_A8R3G3B2, {DDPF_RGB | DDPF_ALPHAPIXELS, 0, 16, 0xe0, 0x1c, 0x3, 0xff00}},
    {D3DFMT_A2B10G10R10, {DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000}},
    {D3DFMT_A2R10G10B10, {DDPF_RGB | DDPF_ALPHAPIXELS, 0, 32, 0x3ff, 0xffc00, 0x3ff00000, 0xc0000000}},
    {D3DFMT_G16R16, {DDPF_RGB, 0, 32, 0xffff, 0xffff0000, 0, 0}},
    {D3DFMT_A8, {DDPF_ALPHA, 0, 8, 0, 0, 0, 0xff}},
    {D3DFMT_L8, {DDPF_LUMINANCE, 0, 8, 0xff, 0, 0, 0}},
    {D3DFMT_L16, {DDPF_LUMINANCE, 0, 16, 0xffff, 0, 0, 0}},
    {D3DFMT_A8L8, {DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 0, 16, 0xff, 0, 0, 0xff00}},
    {D3DFMT_A4L4, {DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 0, 8, 0xf, 0, 0, 0xf0}},
    {D3DFMT_P8, {DDPF_INDEXED, 0, 8, 0, 0, 0, 0}},
    {D3DFMT_A8P8, {DDPF_INDEXED | DDPF_ALPHAPIXELS, 0, 16, 0, 0, 0, 0xff00}},
    {D3DFMT_V8U8, {DDPF_BUMPDUDV, 0, 16, 0xff, 0xff00, 0, 0}},
    {D3DFMT_V16U16, {DDPF_BUMPDUDV, 0, 32, 0xffff, 0xffff0000, 0, 0}},
    {D3DFMT_Q8W8V8U8, {DDPF_BUMPDUDV, 0, 32, 0xff, 0xff00, 0xff0000, 0xff000000}},
    {D3DFMT_A2W10V10U10, {DDPF_BUMPDUDV | DDPF_ALPHAPIXELS, 0, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000}},
    {D3DFMT_X8L8V8U8, {DDPF_BUMPLUMINANCE, 0, 32, 0xff, 0xff00, 0xff0000, 0}},
    {D3DFMT_L6V5U5, {DDPF_BUMPLUMINANCE, 0, 16, 0x1f, 0x3e0, 0xfc00, 0}},
};

// Formats written as a FourCC: the DXT and packed-YUV codes, and the format
// number itself for the 16-bit-per-channel and floating formats.
const D3DFORMAT fourCCFormats[] = {
    D3DFMT_DXT1,    D3DFMT_DXT2,          D3DFMT_DXT3,      D3DFMT_DXT4,         D3DFMT_DXT5,          D3DFMT_UYVY,
    D3DFMT_YUY2,    D3DFMT_R8G8_B8G8,     D3DFMT_G8R8_G8B8, D3DFMT_A16B16G16R16, D3DFMT_Q16W16V16U16,  D3DFMT_R16F,
    D3DFMT_G16R16F, D3DFMT_A16B16G16R16F, D3DFMT_R32F,      D3DFMT_G32R32F,      D3DFMT_A32B32G32R32F, D3DFMT_CxV8U8,
};

void put32(std::vector<std::uint8_t>& bytes, std::size_t offset, DWORD value) {
    std::memcpy(&bytes[offset], &value, 4);
}

}  // namespace

bool ddsPixelFormat(D3DFORMAT format, DdsPixelFormat& out) {
    for (const MaskedFormat& entry : maskedFormats) {
        if (entry.format == format) {
            out = entry.pixelFormat;
            return true;
        }
    }
    for (D3DFORMAT entry : fourCCFormats) {
        if (entry == format) {
            out = DdsPixelFormat{DDPF_FOURCC, DWORD(format), 0, 0, 0, 0, 0};
            return true;
        }
    }
    return false;
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
    if (pf.flags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) caps |= DDSCAPS_ALPHA;
    if (pf.flags & DDPF_INDEXED) caps |= DDSCAPS_PALETTE;
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
