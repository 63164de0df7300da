// Direct converters for the copies that composition spends its time in.
// Each gives the same texels as the float path.
#include <cstring>

#include "surface_copy.h"

namespace d3d9soft {

namespace {

struct ExpandTables {
    std::uint8_t five[32], six[64];
    ExpandTables() {
        for (unsigned v = 0; v < 32; ++v) five[v] = expandToByte(v, 5);
        for (unsigned v = 0; v < 64; ++v) six[v] = expandToByte(v, 6);
    }
};
const ExpandTables tables;

std::uint32_t load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
void store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
std::uint16_t load16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

void xrgbToArgb(const std::uint8_t* src, std::uint8_t* dst, unsigned count) {
    for (std::size_t i = 0; i < count; ++i) store32(dst + 4 * i, load32(src + 4 * i) | 0xff000000u);
}

void argbToXrgb(const std::uint8_t* src, std::uint8_t* dst, unsigned count) {
    for (std::size_t i = 0; i < count; ++i) store32(dst + 4 * i, load32(src + 4 * i) & 0x00ffffffu);
}

void swapRedBlue(const std::uint8_t* src, std::uint8_t* dst, unsigned count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t v = load32(src + 4 * i);
        store32(dst + 4 * i, (v & 0xff00ff00u) | ((v >> 16) & 0xffu) | ((v & 0xffu) << 16));
    }
}

void xrgbToAbgr(const std::uint8_t* src, std::uint8_t* dst, unsigned count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t v = load32(src + 4 * i);
        store32(dst + 4 * i, 0xff000000u | (v & 0x0000ff00u) | ((v >> 16) & 0xffu) | ((v & 0xffu) << 16));
    }
}

// The X byte of an X8R8G8B8 destination is written as zero, as the float path does.
template <std::uint32_t opaque>
void rgbToArgb(const std::uint8_t* src, std::uint8_t* dst, unsigned count) {
    for (unsigned i = 0; i < count; ++i, src += 3)
        store32(dst + 4 * i, opaque | (std::uint32_t(src[2]) << 16) | (std::uint32_t(src[1]) << 8) | src[0]);
}

template <std::uint32_t opaque>
void r5g6b5ToArgb(const std::uint8_t* src, std::uint8_t* dst, unsigned count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t v = load16(src + 2 * i);
        std::uint32_t r = tables.five[v >> 11], g = tables.six[(v >> 5) & 63], b = tables.five[v & 31];
        store32(dst + 4 * i, opaque | (r << 16) | (g << 8) | b);
    }
}

void x1r5g5b5ToArgb(const std::uint8_t* src, std::uint8_t* dst, unsigned count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t v = load16(src + 2 * i);
        std::uint32_t r = tables.five[(v >> 10) & 31], g = tables.five[(v >> 5) & 31], b = tables.five[v & 31];
        store32(dst + 4 * i, 0xff000000u | (r << 16) | (g << 8) | b);
    }
}

void a1r5g5b5ToArgb(const std::uint8_t* src, std::uint8_t* dst, unsigned count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t v = load16(src + 2 * i);
        std::uint32_t r = tables.five[(v >> 10) & 31], g = tables.five[(v >> 5) & 31], b = tables.five[v & 31];
        store32(dst + 4 * i, ((v & 0x8000u) ? 0xff000000u : 0u) | (r << 16) | (g << 8) | b);
    }
}

void l8ToArgb(const std::uint8_t* src, std::uint8_t* dst, unsigned count) {
    for (std::size_t i = 0; i < count; ++i) store32(dst + 4 * i, 0xff000000u | src[i] * 0x010101u);
}

void a8l8ToArgb(const std::uint8_t* src, std::uint8_t* dst, unsigned count) {
    for (std::size_t i = 0; i < count; ++i)
        store32(dst + 4 * i, (std::uint32_t(src[2 * i + 1]) << 24) | src[2 * i] * 0x010101u);
}

struct FastPath {
    D3DFORMAT src, dst;
    RawRowConverter convert;
};

const FastPath fastPaths[] = {
    {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, xrgbToArgb},
    {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, argbToXrgb},
    {D3DFMT_A8B8G8R8, D3DFMT_A8R8G8B8, swapRedBlue},
    {D3DFMT_A8R8G8B8, D3DFMT_A8B8G8R8, swapRedBlue},
    {D3DFMT_R8G8B8, D3DFMT_A8R8G8B8, rgbToArgb<0xff000000u>},
    {D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, rgbToArgb<0u>},
    {D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, r5g6b5ToArgb<0xff000000u>},
    {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, r5g6b5ToArgb<0u>},
    {D3DFMT_X1R5G5B5, D3DFMT_A8R8G8B8, x1r5g5b5ToArgb},
    {D3DFMT_A1R5G5B5, D3DFMT_A8R8G8B8, a1r5g5b5ToArgb},
    {D3DFMT_X8R8G8B8, D3DFMT_A8B8G8R8, xrgbToAbgr},
    {D3DFMT_L8, D3DFMT_A8R8G8B8, l8ToArgb},
    {D3DFMT_A8L8, D3DFMT_A8R8G8B8, a8l8ToArgb},
};

}  // namespace

RawRowConverter findRawConverter(D3DFORMAT src, D3DFORMAT dst) {
    for (const FastPath& path : fastPaths)
        if (path.src == src && path.dst == dst) return path.convert;
    return nullptr;
}

}  // namespace d3d9soft
