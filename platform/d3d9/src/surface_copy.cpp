#include "surface_copy.h"

#include <d3dx9.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "dxt.h"
#include "dxt_rows.h"

namespace d3d9soft {

namespace {

std::uint8_t toByte(float value) {
    if (value != value) return 255;  // NaN
    if (!(value > 0.0f)) return 0;
    if (value >= 1.0f) return 255;
    return std::uint8_t(value * 255.0f + 0.5f);
}

unsigned rectWidth(const RECT& r) { return unsigned(r.right - r.left); }
unsigned rectHeight(const RECT& r) { return unsigned(r.bottom - r.top); }

bool isFloatKind(const FormatInfo& format) {
    return format.kind == FormatKind::Float16 || format.kind == FormatKind::Float32;
}

// A colour key as the source format holds it: the key is rounded to the
// format's precision, and only the bits of channels the format has are compared.
// Palette and block formats compare decoded texels instead, each channel
// rounded to the precision the format stores it in (8 bits for palettes; 5, 6,
// 5 and the alpha bits for blocks, as D3DX compares DXT texels in R5G6B5 range).
struct SourceKey {
    bool active = false;
    bool raw = false;  // compare stored bytes; else compare decoded channels
    std::uint8_t bytes[16] = {};
    std::uint8_t mask[16] = {};
    float levels[4] = {255, 255, 255, 255};
    unsigned decoded[4] = {};

    SourceKey(const FormatInfo& format, D3DCOLOR key) : active(key != 0) {
        raw = format.kind == FormatKind::Packed || isFloatKind(format);
        if (!active) return;
        const float scale = 1.0f / 255.0f;
        Float4 value{float((key >> 16) & 255) * scale, float((key >> 8) & 255) * scale, float(key & 255) * scale,
                     float(key >> 24) * scale};
        if (!raw) {
            for (int c = 0; c < 4; ++c) {
                if (format.kind == FormatKind::Block) levels[c] = float((1u << format.bits[c]) - 1);
                decoded[c] = quantized((&value.r)[c], levels[c]);
            }
            return;
        }
        for (int c = 0; c < 4; ++c)  // a signed channel takes the key from the unsigned range
            if (format.signedMask & (1u << c)) (&value.r)[c] = (&value.r)[c] * 2.0f - 1.0f;
        encodeRow(format, &value, bytes, 1);
        for (int c = 0; c < 4; ++c) {
            if (!format.bits[c]) continue;
            for (unsigned bit = format.shift[c]; bit < unsigned(format.shift[c]) + format.bits[c]; ++bit)
                mask[bit / 8] = std::uint8_t(mask[bit / 8] | (1u << (bit % 8)));
        }
    }

    static unsigned quantized(float value, float levels) {
        return unsigned(std::min(1.0f, std::max(0.0f, value)) * levels + 0.5f);
    }

    bool matches(const std::uint8_t* texel, unsigned size) const {
        for (unsigned i = 0; i < size; ++i)
            if ((texel[i] & mask[i]) != (bytes[i] & mask[i])) return false;
        return true;
    }

    bool matches(const Float4& texel) const {
        for (int c = 0; c < 4; ++c)
            if (quantized((&texel.r)[c], levels[c]) != decoded[c]) return false;
        return true;
    }
};

// Between two integer formats, a channel signed in one and unsigned in the
// other moves between the ranges [-1, 1] and [0, 1]; float formats keep values.
struct RangeMap {
    std::uint8_t toUnsigned = 0, toSigned = 0;

    RangeMap(const FormatInfo& source, const FormatInfo& dest) {
        if (isFloatKind(source) || isFloatKind(dest)) return;
        toUnsigned = std::uint8_t(source.signedMask & ~dest.signedMask);
        toSigned = std::uint8_t(dest.signedMask & ~source.signedMask);
    }
    bool any() const { return toUnsigned || toSigned; }

    void apply(Float4* texels, unsigned count) const {
        for (unsigned i = 0; i < count; ++i) {
            float* value = &texels[i].r;
            for (int c = 0; c < 4; ++c) {
                if (toUnsigned & (1u << c)) value[c] = (value[c] + 1.0f) * 0.5f;
                if (toSigned & (1u << c)) value[c] = value[c] * 2.0f - 1.0f;
            }
        }
    }
};

// Rows of a source rectangle as floats in the destination's range; block
// formats decode a strip of four rows at a time.
class SourceRows {
public:
    SourceRows(const PixelView& view, const RECT& rect, D3DCOLOR colorKey, const FormatInfo& dest)
        : view(view), rect(rect), width(rectWidth(rect)), key(*view.format, colorKey), range(*view.format, dest) {
        bool block = view.format->kind == FormatKind::Block;
        buffer.resize(std::size_t(width) * (block ? 4 : 1));
    }

    const Float4* row(unsigned y) {
        unsigned absolute = unsigned(rect.top) + y;
        if (view.format->kind != FormatKind::Block) {
            if (long(absolute) != cached) {
                const std::uint8_t* raw = view.bits + long(absolute) * view.pitch + rect.left * view.format->bytes;
                decodeRow(*view.format, raw, buffer.data(), width, view.palette);
                if (key.active) applyColorKey(raw, buffer.data(), width);
                if (range.any()) range.apply(buffer.data(), width);
                cached = absolute;
            }
            return buffer.data();
        }
        unsigned blockRow = absolute / 4;
        if (long(blockRow) != cached) {
            decodeStrip(blockRow);
            cached = blockRow;
        }
        return buffer.data() + std::size_t(absolute % 4) * width;
    }

private:
    void decodeStrip(unsigned blockRow) {
        const std::uint8_t* blocks = view.bits + long(blockRow) * view.pitch;
        std::uint8_t rgba[64];
        const float scale = 1.0f / 255.0f;
        for (unsigned bx = unsigned(rect.left) / 4; bx * 4 < unsigned(rect.right); ++bx) {
            decodeDxtBlock(view.format->format, blocks + bx * view.format->bytes, rgba);
            for (unsigned i = 0; i < 16; ++i) {
                unsigned x = bx * 4 + i % 4;
                if (x < unsigned(rect.left) || x >= unsigned(rect.right)) continue;
                const std::uint8_t* t = rgba + 4 * i;
                buffer[(i / 4) * width + (x - rect.left)] =
                    Float4{t[0] * scale, t[1] * scale, t[2] * scale, t[3] * scale};
            }
        }
        if (key.active) applyColorKey(nullptr, buffer.data(), unsigned(buffer.size()));
    }

    // A keyed texel becomes zero in the source's own range (transparent black,
    // or the middle of a signed range once mapped).
    void applyColorKey(const std::uint8_t* raw, Float4* texels, unsigned count) {
        for (unsigned i = 0; i < count; ++i) {
            bool keyed = key.raw ? key.matches(raw + std::size_t(i) * view.format->bytes, view.format->bytes)
                                 : key.matches(texels[i]);
            if (keyed) texels[i] = Float4{0, 0, 0, 0};
        }
    }

    const PixelView& view;
    RECT rect;
    unsigned width;
    SourceKey key;
    RangeMap range;
    std::vector<Float4> buffer;
    long cached = -1;  // row, or block row, in the buffer
};

// Takes the rows of a destination rectangle in order. Block formats gather a
// strip of four rows, keep the texels of touched blocks outside the rectangle,
// and queue the strip when it is complete; queued strips are compressed
// together, so that the work can be spread over threads.
class DestRows {
public:
    bool isBlock() const { return view.format->kind == FormatKind::Block; }

    DestRows(const PixelView& view, const RECT& rect) : view(view), rect(rect), width(rectWidth(rect)) {
        if (view.format->kind == FormatKind::Block) {
            firstBlock = unsigned(rect.left) / 4;
            blockCount = (unsigned(rect.right) + 3) / 4 - firstBlock;
            unsigned blockRows = (unsigned(rect.bottom) + 3) / 4 - unsigned(rect.top) / 4;
            batchRows = std::max(1u, std::min(blockRows, kBatchBlocks / blockCount));
            queued.resize(std::size_t(batchRows) * blockCount * 64);
        }
    }

    void put(unsigned y, const Float4* texels) {
        unsigned absolute = unsigned(rect.top) + y;
        if (view.format->kind != FormatKind::Block) {
            encodeRow(*view.format, texels, view.bits + long(absolute) * view.pitch + rect.left * view.format->bytes,
                      width);
            return;
        }
        rgbaLine.resize(std::size_t(width) * 4);
        for (unsigned i = 0; i < width; ++i) {
            rgbaLine[4 * i] = toByte(texels[i].r);
            rgbaLine[4 * i + 1] = toByte(texels[i].g);
            rgbaLine[4 * i + 2] = toByte(texels[i].b);
            rgbaLine[4 * i + 3] = toByte(texels[i].a);
        }
        putRgba(y, rgbaLine.data());
    }

    // Block formats only: one row as RGBA bytes.
    void putRgba(unsigned y, const std::uint8_t* rgba) {
        unsigned absolute = unsigned(rect.top) + y;
        if (y == 0 || absolute % 4 == 0) loadStrip(absolute / 4);
        unsigned rowInBlock = absolute % 4;
        unsigned x = unsigned(rect.left) - firstBlock * 4;
        unsigned i = 0;
        // Up to the first block boundary, then whole runs of four texels.
        for (; i < width && (x + i) % 4; ++i) std::memcpy(texel(x + i, rowInBlock), rgba + 4 * i, 4);
        for (; i + 4 <= width; i += 4) std::memcpy(texel(x + i, rowInBlock), rgba + 4 * i, 16);
        for (; i < width; ++i) std::memcpy(texel(x + i, rowInBlock), rgba + 4 * i, 4);
        if (rowInBlock == 3 || absolute + 1 == unsigned(rect.bottom)) storeStrip(absolute / 4);
    }

private:
    // Enough queued blocks to keep a few threads busy, in 2 MiB of texels.
    static constexpr unsigned kBatchBlocks = 32768;

    // Strip texels are stored block by block, 16 RGBA texels each.
    std::uint8_t* strip() { return queued.data() + std::size_t(queuedRows) * blockCount * 64; }
    std::uint8_t* texel(unsigned x, unsigned rowInBlock) {
        return strip() + std::size_t(x / 4) * 64 + (rowInBlock * 4 + x % 4) * 4;
    }

    bool coversStrip(unsigned blockRow) const {
        bool left = rect.left % 4 == 0;
        bool right = rect.right % 4 == 0 || unsigned(rect.right) == view.width;
        bool top = unsigned(rect.top) <= blockRow * 4;
        bool bottom = unsigned(rect.bottom) >= std::min(blockRow * 4 + 4, view.height);
        return left && right && top && bottom;
    }

    void loadStrip(unsigned blockRow) {
        if (queuedRows == 0) firstQueuedRow = blockRow;
        if (coversStrip(blockRow)) return;  // every texel that matters is about to be written
        const std::uint8_t* blocks = view.bits + long(blockRow) * view.pitch;
        for (unsigned b = 0; b < blockCount; ++b)
            decodeDxtBlock(view.format->format, blocks + (firstBlock + b) * view.format->bytes, strip() + b * 64);
    }

    void storeStrip(unsigned blockRow) {
        padEdgeBlocks(blockRow);
        ++queuedRows;
        if (queuedRows == batchRows || blockRow * 4 + 4 >= unsigned(rect.bottom)) {
            encodeBlockRows(view.format->format, queued.data(), blockCount, queuedRows,
                            view.bits + long(firstQueuedRow) * view.pitch + firstBlock * view.format->bytes,
                            view.pitch);
            queuedRows = 0;
        }
    }

    // Texels past the surface's edge repeat the last real ones, so they do not pull the fit.
    void padEdgeBlocks(unsigned blockRow) {
        unsigned rows = std::min(4u, view.height - blockRow * 4);
        for (unsigned b = 0; b < blockCount; ++b) {
            unsigned columns = std::min(4u, view.width - (firstBlock + b) * 4);
            if (columns == 4 && rows == 4) continue;
            std::uint8_t* block = strip() + b * 64;
            for (unsigned i = 0; i < 16; ++i) {
                unsigned from = std::min(i / 4, rows - 1) * 4 + std::min(i % 4, columns - 1);
                if (from != i) std::memcpy(block + 4 * i, block + 4 * from, 4);
            }
        }
    }

    const PixelView& view;
    RECT rect;
    unsigned width;
    unsigned firstBlock = 0, blockCount = 0;
    unsigned batchRows = 0, queuedRows = 0, firstQueuedRow = 0;
    std::vector<std::uint8_t> queued;  // strips waiting to be compressed
    std::vector<std::uint8_t> rgbaLine;
};

// Source taps and weights of every destination position along one axis.
struct Taps {
    std::vector<unsigned> first, count;
    std::vector<std::size_t> offset;
    std::vector<float> weight;
};

Taps makeTaps(unsigned srcSize, unsigned dstSize, DWORD filterType) {
    Taps taps;
    const double scale = double(srcSize) / dstSize;
    std::vector<float> w;
    for (unsigned d = 0; d < dstSize; ++d) {
        w.clear();
        unsigned first = 0;
        if (filterType == D3DX_FILTER_POINT) {
            first = std::min(srcSize - 1, unsigned(d * scale));  // halving takes the top-left texel
            w.push_back(1.0f);
        } else if (filterType == D3DX_FILTER_LINEAR) {
            double centre = (d + 0.5) * scale - 0.5;
            double below = std::floor(centre);
            double fraction = centre - below;
            long i0 = long(below);
            if (i0 < 0) {
                first = 0;
                w.push_back(1.0f);
            } else if (unsigned(i0) + 1 >= srcSize) {
                first = srcSize - 1;
                w.push_back(1.0f);
            } else {
                first = unsigned(i0);
                w.push_back(float(1.0 - fraction));
                w.push_back(float(fraction));
            }
        } else if (filterType == D3DX_FILTER_BOX) {
            double start = d * scale, end = (d + 1) * scale;
            first = std::min(srcSize - 1, unsigned(std::floor(start)));
            unsigned last = std::min(srcSize, unsigned(std::ceil(end)));
            for (unsigned s = first; s < last; ++s)
                w.push_back(float((std::min(end, s + 1.0) - std::max(start, double(s))) / scale));
        } else {  // triangle: a tent as wide as the scale, at least one texel
            double radius = std::max(scale, 1.0), centre = (d + 0.5) * scale;
            long lo = long(std::floor(centre - radius)), hi = long(std::ceil(centre + radius));
            first = unsigned(std::max(0L, lo));
            unsigned last = unsigned(std::min(long(srcSize), hi));
            double sum = 0;
            std::vector<double> raw;
            for (unsigned s = first; s < last; ++s) {
                double value = std::max(0.0, 1.0 - std::fabs(s + 0.5 - centre) / radius);
                raw.push_back(value);
                sum += value;
            }
            if (sum <= 0) {
                first = std::min(srcSize - 1, unsigned(centre));
                w.push_back(1.0f);
            } else {
                for (double value : raw) w.push_back(float(value / sum));
            }
        }
        taps.first.push_back(first);
        taps.count.push_back(unsigned(w.size()));
        taps.offset.push_back(taps.weight.size());
        taps.weight.insert(taps.weight.end(), w.begin(), w.end());
    }
    return taps;
}

void copyScaled(SourceRows& source, DestRows& dest, unsigned srcWidth, unsigned srcHeight, unsigned dstWidth,
                unsigned dstHeight, DWORD filterType) {
    Taps across = makeTaps(srcWidth, dstWidth, filterType);
    Taps down = makeTaps(srcHeight, dstHeight, filterType);
    std::vector<Float4> line(dstWidth);
    for (unsigned y = 0; y < dstHeight; ++y) {
        std::fill(line.begin(), line.end(), Float4{0, 0, 0, 0});
        for (unsigned ty = 0; ty < down.count[y]; ++ty) {
            const Float4* row = source.row(down.first[y] + ty);
            float wy = down.weight[down.offset[y] + ty];
            for (unsigned x = 0; x < dstWidth; ++x) {
                const Float4* taps = row + across.first[x];
                const float* weights = &across.weight[across.offset[x]];
                Float4 sum{0, 0, 0, 0};
                for (unsigned tx = 0; tx < across.count[x]; ++tx) {
                    sum.r += taps[tx].r * weights[tx];
                    sum.g += taps[tx].g * weights[tx];
                    sum.b += taps[tx].b * weights[tx];
                    sum.a += taps[tx].a * weights[tx];
                }
                line[x].r += sum.r * wy;
                line[x].g += sum.g * wy;
                line[x].b += sum.b * wy;
                line[x].a += sum.a * wy;
            }
        }
        dest.put(y, line.data());
    }
}

bool copyRaw(const PixelView& dst, const RECT& dstRect, const PixelView& src, const RECT& srcRect, unsigned copyWidth,
             unsigned copyHeight) {
    const FormatInfo& in = *src.format;
    const FormatInfo& out = *dst.format;
    if (in.kind == FormatKind::Block || out.kind == FormatKind::Block || in.kind == FormatKind::Palette) return false;
    RawRowConverter convert = in.format == out.format ? nullptr : findRawConverter(in.format, out.format);
    if (in.format != out.format && !convert) return false;
    for (unsigned y = 0; y < copyHeight; ++y) {
        const std::uint8_t* from = src.bits + long(srcRect.top + y) * src.pitch + srcRect.left * in.bytes;
        std::uint8_t* to = dst.bits + long(dstRect.top + y) * dst.pitch + dstRect.left * out.bytes;
        if (convert)
            convert(from, to, copyWidth);
        else
            std::memmove(to, from, std::size_t(copyWidth) * in.bytes);
    }
    return true;
}

// Halving an 8-bit-per-channel level, the step of every mip chain, in integers:
// the exact average rounded half up.
bool halveBytes(const PixelView& dst, const RECT& dstRect, const PixelView& src, const RECT& srcRect) {
    D3DFORMAT format = src.format->format;
    if (dst.format->format != format) return false;
    if (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8 && format != D3DFMT_A8B8G8R8 &&
        format != D3DFMT_X8B8G8R8)
        return false;
    unsigned srcWidth = rectWidth(srcRect), srcHeight = rectHeight(srcRect);
    unsigned dstWidth = rectWidth(dstRect), dstHeight = rectHeight(dstRect);
    bool halfAcross = srcWidth == 2 * dstWidth || (srcWidth == 1 && dstWidth == 1);
    bool halfDown = srcHeight == 2 * dstHeight || (srcHeight == 1 && dstHeight == 1);
    if (!halfAcross || !halfDown) return false;
    if (srcWidth > 1 && srcHeight > 1) {
        // Four texels at a time in two lanes of 16 bits per word: each sum of
        // four bytes fits in ten bits, and (sum + 2) >> 2 is the rounding below.
        constexpr std::uint32_t kLanes = 0x00ff00ffu, kHalf = 0x00020002u;
        for (unsigned y = 0; y < dstHeight; ++y) {
            const std::uint8_t* top = src.bits + long(srcRect.top + 2 * y) * src.pitch + srcRect.left * 4;
            const std::uint8_t* bottom = top + src.pitch;
            std::uint8_t* out = dst.bits + long(dstRect.top + y) * dst.pitch + dstRect.left * 4;
            for (unsigned x = 0; x < dstWidth; ++x, top += 8, bottom += 8, out += 4) {
                std::uint32_t t[4];
                std::memcpy(&t[0], top, 8);
                std::memcpy(&t[2], bottom, 8);
                const std::uint32_t even = (t[0] & kLanes) + (t[1] & kLanes) + (t[2] & kLanes) + (t[3] & kLanes);
                const std::uint32_t odd =
                    (t[0] >> 8 & kLanes) + (t[1] >> 8 & kLanes) + (t[2] >> 8 & kLanes) + (t[3] >> 8 & kLanes);
                const std::uint32_t texel = ((even + kHalf) >> 2 & kLanes) | ((odd + kHalf) >> 2 & kLanes) << 8;
                std::memcpy(out, &texel, 4);
            }
        }
        return true;
    }
    unsigned stepX = srcWidth == 1 ? 0 : 4, stepY = srcHeight == 1 ? 0 : 1;
    unsigned shift = (stepX ? 1 : 0) + (stepY ? 1 : 0);
    unsigned bias = shift ? 1u << (shift - 1) : 0;
    for (unsigned y = 0; y < dstHeight; ++y) {
        const std::uint8_t* top = src.bits + long(srcRect.top + 2 * y) * src.pitch + srcRect.left * 4;
        const std::uint8_t* bottom = top + (stepY ? src.pitch : 0);
        std::uint8_t* out = dst.bits + long(dstRect.top + y) * dst.pitch + dstRect.left * 4;
        for (unsigned x = 0; x < dstWidth; ++x, top += 2 * stepX, bottom += 2 * stepX, out += 4) {
            for (unsigned c = 0; c < 4; ++c) {
                unsigned sum = top[c] + top[c + stepX] + bottom[c] + bottom[c + stepX];
                if (!stepX) sum /= 2;
                if (!stepY) sum /= 2;  // the doubled texels above count once
                out[c] = std::uint8_t((sum + bias) >> shift);
            }
        }
    }
    return true;
}

// 8-bit sources into block formats go as bytes, without the float round trip.
bool copyToBlocks(DestRows& dest, const PixelView& src, const RECT& srcRect, unsigned dstWidth, unsigned dstHeight,
                  unsigned copyWidth, unsigned copyHeight) {
    if (!dest.isBlock()) return false;
    D3DFORMAT from = src.format->format;
    RawRowConverter convert = from == D3DFMT_A8B8G8R8 ? nullptr : findRawConverter(from, D3DFMT_A8B8G8R8);
    if (from != D3DFMT_A8B8G8R8 && !convert) return false;
    std::vector<std::uint8_t> line(std::size_t(dstWidth) * 4, 0);
    for (unsigned y = 0; y < dstHeight; ++y) {
        if (y < copyHeight) {
            const std::uint8_t* row = src.bits + long(srcRect.top + y) * src.pitch + srcRect.left * src.format->bytes;
            if (convert)
                convert(row, line.data(), copyWidth);
            else
                std::memcpy(line.data(), row, std::size_t(copyWidth) * 4);
        } else {
            std::fill(line.begin(), line.end(), 0);
        }
        dest.putRgba(y, line.data());
    }
    return true;
}

}  // namespace

bool canRead(const FormatInfo& format) { return format.kind != FormatKind::Unsupported; }

bool canWrite(const FormatInfo& format) {
    return format.kind != FormatKind::Unsupported && format.kind != FormatKind::Palette;
}

bool resolveFilter(DWORD filter, DWORD defaultFilter, DWORD& resolved) {
    if (filter == D3DX_DEFAULT) filter = defaultFilter;
    const DWORD knownBits =
        0xffff | D3DX_FILTER_MIRROR | D3DX_FILTER_DITHER | D3DX_FILTER_DITHER_DIFFUSION | D3DX_FILTER_SRGB;
    DWORD type = filter & 0xffff;
    if (type < D3DX_FILTER_NONE || type > D3DX_FILTER_BOX || (filter & ~knownBits)) return false;
    resolved = filter;
    return true;
}

void copyRect(const PixelView& dst, const RECT& dstRect, const PixelView& src, const RECT& srcRect, DWORD filter,
              D3DCOLOR colorKey) {
    unsigned srcWidth = rectWidth(srcRect), srcHeight = rectHeight(srcRect);
    unsigned dstWidth = rectWidth(dstRect), dstHeight = rectHeight(dstRect);
    DWORD filterType = filter & 0xffff;
    bool sameSize = srcWidth == dstWidth && srcHeight == dstHeight;
    DestRows dest(dst, dstRect);
    if (!sameSize && filterType != D3DX_FILTER_NONE) {
        if (filterType == D3DX_FILTER_BOX && !colorKey && halveBytes(dst, dstRect, src, srcRect)) return;
        SourceRows source(src, srcRect, colorKey, *dst.format);
        copyScaled(source, dest, srcWidth, srcHeight, dstWidth, dstHeight, filterType);
        return;
    }
    unsigned copyWidth = std::min(srcWidth, dstWidth), copyHeight = std::min(srcHeight, dstHeight);
    // Only the part that lands in the destination is read, so buffers stay within its size.
    RECT usedRect{srcRect.left, srcRect.top, srcRect.left + LONG(copyWidth), srcRect.top + LONG(copyHeight)};
    SourceRows source(src, usedRect, colorKey, *dst.format);
    if (!colorKey && copyToBlocks(dest, src, srcRect, dstWidth, dstHeight, copyWidth, copyHeight)) return;
    std::vector<Float4> line(dstWidth, Float4{0, 0, 0, 0});
    bool raw = !colorKey && copyRaw(dst, dstRect, src, srcRect, copyWidth, copyHeight);
    for (unsigned y = 0; y < dstHeight; ++y) {
        if (raw) {
            // Only the uncovered part is left: transparent black (line is all zero here).
            RECT rest = dstRect;
            if (y < copyHeight) {
                if (copyWidth == dstWidth) continue;
                rest.left += LONG(copyWidth);
            }
            encodeRow(*dst.format, line.data(),
                      dst.bits + long(dstRect.top + y) * dst.pitch + rest.left * dst.format->bytes,
                      unsigned(rest.right - rest.left));
            continue;
        }
        if (y < copyHeight) {
            const Float4* row = source.row(y);
            if (copyWidth == dstWidth) {
                dest.put(y, row);
                continue;
            }
            std::copy(row, row + copyWidth, line.begin());
            std::fill(line.begin() + copyWidth, line.end(), Float4{0, 0, 0, 0});
        } else {
            std::fill(line.begin(), line.end(), Float4{0, 0, 0, 0});
        }
        dest.put(y, line.data());
    }
}

}  // namespace d3d9soft
