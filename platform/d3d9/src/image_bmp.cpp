// BMP and DIB (a BMP without its 14-byte file header). The probe reads the
// headers (and, for 32-bit images, the alpha bytes); stb_image decodes.
#include "image_decode.h"

#include <cstring>

namespace d3d9soft::imagefile {

namespace {

constexpr std::uint32_t kRgb = 0, kBitfields = 3;

struct BmpHeader {
    std::size_t infoOffset;  // where the info header starts
    std::uint64_t pixelOffset;
    std::uint32_t headerSize;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t bitCount;
    std::uint32_t compression;
    std::uint32_t coloursUsed;
    std::uint32_t masks[4];  // red, green, blue, alpha
};

std::uint64_t rowBytes(const BmpHeader& h) { return (std::uint64_t(h.width) * h.bitCount + 31) / 32 * 4; }

bool readHeader(ByteView file, bool withFileHeader, BmpHeader& h) {
    h = BmpHeader{};
    h.infoOffset = withFileHeader ? 14 : 0;
    if (file.size < h.infoOffset + 16) return false;
    const std::uint8_t* info = file.data + h.infoOffset;
    h.headerSize = readLe32(info);
    // The header sizes stb_image reads; size 56 only without bit fields.
    if (h.headerSize != 12 && h.headerSize != 40 && h.headerSize != 56 && h.headerSize != 108 &&
        h.headerSize != 124) {
        return false;
    }
    if (file.size - h.infoOffset < h.headerSize) return false;
    if (h.headerSize == 12) {
        h.width = readLe16(info + 4);
        h.height = readLe16(info + 6);
        if (readLe16(info + 8) != 1) return false;
        h.bitCount = readLe16(info + 10);
    } else {
        std::int32_t width = static_cast<std::int32_t>(readLe32(info + 4));
        std::int32_t height = static_cast<std::int32_t>(readLe32(info + 8));
        if (width <= 0 || height == 0 || height == INT32_MIN) return false;
        h.width = static_cast<std::uint32_t>(width);
        h.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
        if (readLe16(info + 12) != 1) return false;
        h.bitCount = readLe16(info + 14);
        h.compression = readLe32(info + 16);
        h.coloursUsed = readLe32(info + 32);
    }
    if (h.width == 0 || h.height == 0 || h.width > kMaxHeaderDimension || h.height > kMaxHeaderDimension) return false;

    std::uint32_t bits = h.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (h.compression == kBitfields) {
        if ((bits != 16 && bits != 32) || h.headerSize == 56) return false;
        std::size_t maskOffset = h.infoOffset + 40;
        if (file.size < maskOffset + 12) return false;
        for (int i = 0; i < 3; ++i) h.masks[i] = readLe32(file.data + maskOffset + 4 * i);
        if (h.headerSize >= 108) h.masks[3] = readLe32(file.data + maskOffset + 12);
        if (h.masks[0] == 0 || h.masks[1] == 0 || h.masks[2] == 0) return false;
        if (h.masks[0] == h.masks[1] && h.masks[1] == h.masks[2]) return false;
    } else if (h.compression == kRgb) {
        if (bits == 16) {
            h.masks[0] = 0x7c00, h.masks[1] = 0x3e0, h.masks[2] = 0x1f;
        } else if (bits == 32) {
            h.masks[0] = 0xff0000, h.masks[1] = 0xff00, h.masks[2] = 0xff, h.masks[3] = 0xff000000;
        }
    } else {
        return false;  // run-length and embedded JPEG/PNG bitmaps are not read
    }

    if (withFileHeader) {
        h.pixelOffset = readLe32(file.data + 10);
    } else {
        std::uint64_t paletteEntries = bits <= 8 ? (h.coloursUsed ? h.coloursUsed : (1u << bits)) : 0;
        std::uint64_t maskBytes = (h.compression == kBitfields && h.headerSize == 40) ? 12 : 0;
        std::uint64_t entryBytes = h.headerSize == 12 ? 3 : 4;
        h.pixelOffset = h.headerSize + maskBytes + paletteEntries * entryBytes;
    }
    if (h.pixelOffset < h.infoOffset + h.headerSize) return false;
    return h.pixelOffset + rowBytes(h) * h.height <= file.size;
}

bool anyAlpha(ByteView file, const BmpHeader& h) {
    if (h.masks[3] == 0) return false;
    std::uint64_t pitch = rowBytes(h);
    for (std::uint32_t y = 0; y < h.height; ++y) {
        const std::uint8_t* row = file.data + h.pixelOffset + y * pitch;
        for (std::uint32_t x = 0; x < h.width; ++x) {
            if (readLe32(row + 4 * x) & h.masks[3]) return true;
        }
    }
    return false;
}

D3DFORMAT bmpFormat(ByteView file, const BmpHeader& h) {
    switch (h.bitCount) {
    case 16:
        if (h.masks[0] == 0xf800 && h.masks[1] == 0x7e0 && h.masks[2] == 0x1f) return D3DFMT_R5G6B5;
        if (h.masks[0] == 0x7c00 && h.masks[1] == 0x3e0 && h.masks[2] == 0x1f)
            return h.masks[3] == 0x8000 ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
        return h.masks[3] ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    case 24: return D3DFMT_R8G8B8;
    case 32: return anyAlpha(file, h) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    default: return D3DFMT_P8;
    }
}

// stb_image's 5- and 6-bit expansion repeats the top bits, so dropping the low
// bits gives back the stored value exactly.
void packTo16Bit(const std::uint8_t* rgba, std::size_t count, D3DFORMAT format, std::uint8_t* out) {
    for (std::size_t i = 0; i < count; ++i, rgba += 4) {
        unsigned r = rgba[0], g = rgba[1], b = rgba[2], a = rgba[3];
        unsigned value;
        if (format == D3DFMT_R5G6B5)
            value = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
        else
            value = ((a >= 128 && format == D3DFMT_A1R5G5B5) ? 0x8000u : 0u) | ((r >> 3) << 10) | ((g >> 3) << 5) |
                    (b >> 3);
        out[2 * i] = static_cast<std::uint8_t>(value);
        out[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
    }
}

}  // namespace

HRESULT probeBmp(ByteView file, bool withFileHeader, D3DXIMAGE_INFO& info) {
    BmpHeader h;
    if (!readHeader(file, withFileHeader, h)) return D3DXERR_INVALIDDATA;
    info = imageInfo(h.width, h.height, bmpFormat(file, h), withFileHeader ? D3DXIFF_BMP : D3DXIFF_DIB);
    return D3D_OK;
}

HRESULT decodeBmp(ByteView file, bool withFileHeader, DecodedImage& image) {
    BmpHeader h;
    if (!readHeader(file, withFileHeader, h)) return D3DXERR_INVALIDDATA;
    StbPixels pixels;
    if (withFileHeader) {
        pixels = stbDecodeRgba8(file);
    } else {
        // stb_image reads only whole BMP files: give it the file header.
        std::vector<std::uint8_t> whole(14 + file.size);
        whole[0] = 'B', whole[1] = 'M';
        std::uint32_t fields[3] = {static_cast<std::uint32_t>(whole.size()), 0,
                                   static_cast<std::uint32_t>(14 + h.pixelOffset)};
        for (int i = 0; i < 3; ++i)
            for (int b = 0; b < 4; ++b) whole[2 + 4 * i + b] = static_cast<std::uint8_t>(fields[i] >> (8 * b));
        std::memcpy(whole.data() + 14, file.data, file.size);
        pixels = stbDecodeRgba8(ByteView{whole.data(), whole.size()});
    }
    if (pixels.bytes.empty() || UINT(pixels.width) != h.width || UINT(pixels.height) != h.height)
        return D3DXERR_INVALIDDATA;

    D3DFORMAT format = image.info.Format;
    std::size_t count = std::size_t(h.width) * h.height;
    image.levels.resize(1);
    DecodedLevel& level = image.levels[0];
    level.width = h.width;
    level.height = h.height;
    if (format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5 || format == D3DFMT_A1R5G5B5) {
        image.pixelFormat = format;
        level.bytes.resize(count * 2);
        packTo16Bit(pixels.bytes.data(), count, format, level.bytes.data());
        return D3D_OK;
    }
    // RGBA to the byte order of A8R8G8B8; formats without alpha get it opaque.
    bool keepAlpha = format == D3DFMT_A8R8G8B8;
    image.pixelFormat = keepAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    level.bytes = std::move(pixels.bytes);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* p = level.bytes.data() + 4 * i;
        std::swap(p[0], p[2]);
        if (!keepAlpha) p[3] = 255;
    }
    return D3D_OK;
}

}  // namespace d3d9soft::imagefile
