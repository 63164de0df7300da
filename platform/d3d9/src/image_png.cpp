// PNG: the probe walks chunk headers up to the first IDAT; libpng decodes.
#include "image_decode.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace d3d9soft::imagefile {

namespace {

constexpr int kGrey = 0, kRgb = 2, kIndexed = 3, kGreyAlpha = 4, kRgba = 6;

bool validDepth(int colourType, int depth) {
    switch (colourType) {
    case kGrey: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case kIndexed: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case kRgb:
    case kGreyAlpha:
    case kRgba: return depth == 8 || depth == 16;
    default: return false;
    }
}

// 16-bit channels keep their precision; indexed stays indexed; transparency
// (an alpha channel or tRNS) asks for alpha.
D3DFORMAT pngFormat(int colourType, int depth, bool hasTransparency) {
    if (depth == 16) return D3DFMT_A16B16G16R16;
    switch (colourType) {
    case kIndexed: return D3DFMT_P8;
    case kGrey: return hasTransparency ? D3DFMT_A8R8G8B8 : D3DFMT_L8;
    case kRgb: return hasTransparency ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    default: return D3DFMT_A8R8G8B8;
    }
}

struct PngReader {
    ByteView file;
    std::size_t offset;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<PngReader*>(png_get_io_ptr(png));
    if (length > reader->file.size - reader->offset) png_error(png, "truncated");
    std::memcpy(out, reader->file.data + reader->offset, length);
    reader->offset += length;
}

void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quietWarning(png_structp, png_const_charp) {}

// Kept free of objects with destructors: libpng leaves it by longjmp.
enum class Read { Decoded, Corrupt, OtherFormat };

// Into `into` when given (OtherFormat when its format or size cannot take the
// rows as they come), else into a level of `image`.
Read readPixels(png_structp png, png_infop info, PngReader& reader, const PixelRows* into, DecodedImage& image,
                std::vector<png_bytep>& rows) {
    if (setjmp(png_jmpbuf(png))) return Read::Corrupt;
    png_set_read_fn(png, &reader, readFromMemory);
    png_set_user_limits(png, kMaxDecodeDimension, kMaxDecodeDimension);
    png_set_chunk_malloc_max(png, 8u << 20);
    png_read_info(png, info);

    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int depth = png_get_bit_depth(png, info);
    int colourType = png_get_color_type(png, info);
    bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;

    std::size_t pixelBytes = 4;
    if (depth == 16) {
        image.pixelFormat = D3DFMT_A16B16G16R16;
        pixelBytes = 8;
        if (colourType == kGrey || colourType == kGreyAlpha) png_set_gray_to_rgb(png);
        if (hasTrns) png_set_tRNS_to_alpha(png);
        if (!(colourType & PNG_COLOR_MASK_ALPHA) && !hasTrns) png_set_add_alpha(png, 0xffff, PNG_FILLER_AFTER);
        png_set_swap(png);  // stored big-endian, held little-endian
    } else if (colourType == kGrey && !hasTrns) {
        image.pixelFormat = D3DFMT_L8;
        pixelBytes = 1;
        if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    } else {
        image.pixelFormat = ((colourType & PNG_COLOR_MASK_ALPHA) || hasTrns) ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
        if (colourType == kIndexed) png_set_palette_to_rgb(png);
        if (colourType == kGrey && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
        if (colourType == kGrey || colourType == kGreyAlpha) png_set_gray_to_rgb(png);
        if (hasTrns) png_set_tRNS_to_alpha(png);
        if (!(colourType & PNG_COLOR_MASK_ALPHA) && !hasTrns) png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
        png_set_bgr(png);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != width * pixelBytes) return Read::Corrupt;

    std::uint8_t* bits;
    std::size_t pitch = std::size_t(width) * pixelBytes;
    if (into) {
        // X8R8G8B8 rows carry an alpha of 255, what converting them would give.
        const bool sameTexels = into->format == image.pixelFormat ||
                                (into->format == D3DFMT_A8R8G8B8 && image.pixelFormat == D3DFMT_X8R8G8B8);
        if (!sameTexels || width > into->width || height > into->height) return Read::OtherFormat;
        bits = into->bits;
        pitch = into->pitch;
    } else {
        bits = singleLevel(image, width, height, pixelBytes).bytes.data();
    }
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = bits + std::size_t(y) * pitch;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return Read::Decoded;
}

HRESULT decode(ByteView file, const PixelRows* into, DecodedImage& image) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (!png) return E_OUTOFMEMORY;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return E_OUTOFMEMORY;
    }
    PngReader reader{file, 0};
    std::vector<png_bytep> rows;
    const Read read = readPixels(png, info, reader, into, image, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    if (read == Read::Decoded) return D3D_OK;
    image.levels.clear();
    return read == Read::OtherFormat ? S_FALSE : D3DXERR_INVALIDDATA;
}

}  // namespace

HRESULT probePng(ByteView file, D3DXIMAGE_INFO& info) {
    // Signature, then IHDR: length 13, type, 13 bytes, CRC.
    if (file.size < 33 || readBe32(file.data + 8) != 13 || std::memcmp(file.data + 12, "IHDR", 4) != 0)
        return D3DXERR_INVALIDDATA;
    const std::uint8_t* ihdr = file.data + 16;
    std::uint32_t width = readBe32(ihdr), height = readBe32(ihdr + 4);
    int depth = ihdr[8], colourType = ihdr[9];
    if (width == 0 || height == 0 || width > kMaxHeaderDimension || height > kMaxHeaderDimension) {
        return D3DXERR_INVALIDDATA;
    }
    if (!validDepth(colourType, depth) || ihdr[10] != 0 || ihdr[11] != 0 || ihdr[12] > 1) return D3DXERR_INVALIDDATA;

    // Transparency is told by a tRNS chunk before the image data.
    bool hasTrns = false, hasPalette = false;
    std::size_t offset = 33;
    for (;;) {
        if (file.size - offset < 12) return D3DXERR_INVALIDDATA;
        std::uint32_t length = readBe32(file.data + offset);
        const std::uint8_t* type = file.data + offset + 4;
        if (length > 0x7fffffffu) return D3DXERR_INVALIDDATA;
        if (std::memcmp(type, "IDAT", 4) == 0) break;
        if (std::memcmp(type, "IEND", 4) == 0) return D3DXERR_INVALIDDATA;
        if (std::memcmp(type, "tRNS", 4) == 0) hasTrns = true;
        if (std::memcmp(type, "PLTE", 4) == 0) hasPalette = true;
        if (file.size - offset - 12 < length) return D3DXERR_INVALIDDATA;
        offset += 12 + std::size_t(length);
    }
    if (colourType == kIndexed && !hasPalette) return D3DXERR_INVALIDDATA;
    info = imageInfo(width, height, pngFormat(colourType, depth, hasTrns), D3DXIFF_PNG);
    return D3D_OK;
}

HRESULT decodePng(ByteView file, DecodedImage& image) { return decode(file, nullptr, image); }

HRESULT decodePngInto(ByteView file, const PixelRows& into) {
    DecodedImage image;
    return decode(file, &into, image);
}

}  // namespace d3d9soft::imagefile
