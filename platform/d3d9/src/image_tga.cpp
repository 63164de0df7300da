// TGA: our own reader, since the file's own 15/16-bit formats (with their
// alpha bit) must survive decoding. Colour-mapped, true-colour and grey
// images, raw or run-length encoded, in any of the four origins.
#include "image_decode.h"

#include <cstring>

namespace d3d9soft::imagefile {

namespace {

struct TgaHeader {
    std::size_t idLength;
    int colourMapType;
    int imageType;
    std::uint32_t mapFirst;
    std::uint32_t mapLength;
    std::uint32_t mapEntryBits;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t pixelBits;
    bool topDown;
    bool rightToLeft;
    std::size_t mapOffset;
    std::size_t dataOffset;
};

bool isRle(const TgaHeader& h) { return h.imageType >= 9; }
int baseType(const TgaHeader& h) { return h.imageType & 7; }  // 1 mapped, 2 true colour, 3 grey

bool readHeader(ByteView file, TgaHeader& h) {
    if (file.size < 18) return false;
    const std::uint8_t* p = file.data;
    h.idLength = p[0];
    h.colourMapType = p[1];
    h.imageType = p[2];
    h.mapFirst = readLe16(p + 3);
    h.mapLength = readLe16(p + 5);
    h.mapEntryBits = p[7];
    h.width = readLe16(p + 12);
    h.height = readLe16(p + 14);
    h.pixelBits = p[16];
    h.rightToLeft = (p[17] & 0x10) != 0;
    h.topDown = (p[17] & 0x20) != 0;
    if (h.colourMapType > 1 || h.width == 0 || h.height == 0) return false;
    if (h.imageType != 1 && h.imageType != 2 && h.imageType != 3 && h.imageType != 9 && h.imageType != 10 &&
        h.imageType != 11) {
        return false;
    }
    // The colour map counts towards the header even in images that use none;
    // its entry size is only checked when they do.
    std::uint32_t mapEntryBytes = (h.mapEntryBits + 7) / 8;
    if (h.colourMapType == 1) {
        std::uint32_t e = h.mapEntryBits;
        if (e != 15 && e != 16 && e != 24 && e != 32) return false;
        if (h.mapLength == 0) return false;
    }
    switch (baseType(h)) {
    case 1:
        if (h.colourMapType != 1 || h.pixelBits != 8) return false;
        break;
    case 2:
        if (h.pixelBits != 15 && h.pixelBits != 16 && h.pixelBits != 24 && h.pixelBits != 32) return false;
        break;
    default:
        if (h.pixelBits != 8) return false;  // 16-bit grey (grey + alpha) is refused as well
        break;
    }
    h.mapOffset = 18 + h.idLength;
    h.dataOffset = h.mapOffset + std::size_t(h.mapLength) * mapEntryBytes;
    // Only the header is read here: short pixel data shows when decoding.
    return h.dataOffset <= file.size;
}

D3DFORMAT tgaFormat(const TgaHeader& h) {
    switch (baseType(h)) {
    case 1: return D3DFMT_P8;
    case 3: return D3DFMT_L8;
    default: break;
    }
    switch (h.pixelBits) {
    case 15: return D3DFMT_X1R5G5B5;
    case 16: return D3DFMT_A1R5G5B5;
    case 24: return D3DFMT_R8G8B8;
    default: return D3DFMT_A8R8G8B8;
    }
}

// A colour-map entry or true-colour pixel of `bytes` bytes as A8R8G8B8.
std::uint32_t toArgb(const std::uint8_t* p, std::uint32_t bits) {
    switch (bits) {
    case 15:
    case 16: {
        unsigned v = readLe16(p);
        unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        unsigned a = (bits == 16 && !(v & 0x8000)) ? 0 : 255;
        return (a << 24) | (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
    }
    case 24: return 0xff000000u | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
    default: return readLe32(p);
    }
}

// Expands the pixel stream (raw or run-length) into `out`, in file order.
// True-colour packets may not run across the end of a row.
bool unpack(ByteView file, const TgaHeader& h, std::size_t pixelBytes, std::uint8_t* out) {
    std::size_t total = std::size_t(h.width) * h.height * pixelBytes;
    const std::uint8_t* in = file.data + h.dataOffset;
    std::size_t available = file.size - h.dataOffset;
    if (!isRle(h)) {
        if (available < total) return false;
        std::memcpy(out, in, total);
        return true;
    }
    const std::size_t rowBytes = std::size_t(h.width) * pixelBytes;
    const bool rowBound = baseType(h) == 2;
    std::size_t read = 0, written = 0;
    while (written < total) {
        if (read >= available) return false;
        std::uint8_t packet = in[read++];
        std::size_t count = (packet & 0x7f) + 1;
        std::size_t bytes = count * pixelBytes;
        std::size_t limit = rowBound ? rowBytes - written % rowBytes : total - written;
        if (bytes > limit) return false;
        if (packet & 0x80) {
            if (available - read < pixelBytes) return false;
            for (std::size_t i = 0; i < count; ++i) std::memcpy(out + written + i * pixelBytes, in + read, pixelBytes);
            read += pixelBytes;
        } else {
            if (available - read < bytes) return false;
            std::memcpy(out + written, in + read, bytes);
            read += bytes;
        }
        written += bytes;
    }
    return true;
}

}  // namespace

HRESULT probeTga(ByteView file, D3DXIMAGE_INFO& info) {
    TgaHeader h;
    if (!readHeader(file, h)) return D3DXERR_INVALIDDATA;
    info = imageInfo(h.width, h.height, tgaFormat(h), D3DXIFF_TGA);
    return D3D_OK;
}

HRESULT decodeTga(ByteView file, DecodedImage& image) {
    TgaHeader h;
    if (!readHeader(file, h)) return D3DXERR_INVALIDDATA;
    std::size_t pixelBytes = (h.pixelBits + 7) / 8;
    // Refuse data too short for the image before allocating for it; a
    // run-length packet covers at most 128 pixels with at least 2 bytes.
    std::uint64_t pixels = std::uint64_t(h.width) * h.height;
    std::uint64_t minimum = isRle(h) ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
    if (file.size - h.dataOffset < minimum) return D3DXERR_INVALIDDATA;
    std::vector<std::uint8_t> stream(std::size_t(h.width) * h.height * pixelBytes);
    if (!unpack(file, h, pixelBytes, stream.data())) return D3DXERR_INVALIDDATA;

    D3DFORMAT format = tgaFormat(h);
    bool sixteenBit = format == D3DFMT_X1R5G5B5 || format == D3DFMT_A1R5G5B5;
    bool grey = format == D3DFMT_L8;
    std::size_t outBytes = grey ? 1 : sixteenBit ? 2 : 4;
    if (grey || sixteenBit)
        image.pixelFormat = format;
    else
        image.pixelFormat = format == D3DFMT_R8G8B8 ? D3DFMT_X8R8G8B8 : D3DFMT_A8R8G8B8;

    std::vector<std::uint32_t> palette;
    if (format == D3DFMT_P8) {
        palette.assign(256, 0xffffffffu);  // indices past a short map are opaque white
        std::size_t entryBytes = (h.mapEntryBits + 7) / 8;
        for (std::uint32_t i = 0; i < h.mapLength; ++i) {
            std::uint32_t index = h.mapFirst + i;
            if (index < 256) palette[index] = toArgb(file.data + h.mapOffset + i * entryBytes, h.mapEntryBits);
        }
    }

    DecodedLevel& level = singleLevel(image, h.width, h.height, outBytes);
    for (std::uint32_t y = 0; y < h.height; ++y) {
        std::uint32_t outY = h.topDown ? y : h.height - 1 - y;
        const std::uint8_t* in = stream.data() + std::size_t(y) * h.width * pixelBytes;
        std::uint8_t* out = level.bytes.data() + std::size_t(outY) * h.width * outBytes;
        for (std::uint32_t x = 0; x < h.width; ++x) {
            std::uint32_t outX = h.rightToLeft ? h.width - 1 - x : x;
            const std::uint8_t* p = in + std::size_t(x) * pixelBytes;
            std::uint8_t* q = out + std::size_t(outX) * outBytes;
            if (grey) {
                q[0] = p[0];
            } else if (sixteenBit) {
                // 15-bit files may carry anything in the top bit; alpha is only meaningful at 16.
                unsigned v = readLe16(p);
                if (format == D3DFMT_X1R5G5B5) v |= 0x8000;
                q[0] = static_cast<std::uint8_t>(v);
                q[1] = static_cast<std::uint8_t>(v >> 8);
            } else {
                std::uint32_t argb = format == D3DFMT_P8 ? palette[p[0]] : toArgb(p, h.pixelBits);
                std::memcpy(q, &argb, 4);  // little-endian: B, G, R, A
            }
        }
    }
    return D3D_OK;
}

}  // namespace d3d9soft::imagefile
