// BMP, DIB, TGA, PNG, JPG, PPM, PFM and HDR writers. Each source format maps to the
// file layout D3DX writes for it: 16-bit BMPs stay 16-bit, X8R8G8B8 BMPs
// stay 32-bit, PNGs of wide or float formats are 16 bits per channel, TGAs
// are uncompressed and top-down.
#include "image_write.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>
#include <string>

#include <jpeglib.h>

#include "surface_copy.h"


namespace d3d9soft {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Level 0 converted to `format`, rows tightly packed.
struct Pixels {
    unsigned width = 0, height = 0;
    Bytes bytes;
};

HRESULT readLevel(IDirect3DTexture9* texture, D3DFORMAT format, Pixels& pixels) {
    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(0, &desc))) return D3DERR_INVALIDCALL;
    const FormatInfo& from = formatInfo(desc.Format);
    const FormatInfo& to = formatInfo(format);
    pixels.width = desc.Width;
    pixels.height = desc.Height;
    pixels.bytes.assign(levelSize(to, desc.Width, desc.Height), 0);
    D3DLOCKED_RECT locked{};
    HRESULT hr = texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
    if (FAILED(hr)) return hr;
    PixelView source{static_cast<std::uint8_t*>(locked.pBits), locked.Pitch, desc.Width, desc.Height, &from, nullptr};
    PixelView dest{pixels.bytes.data(), long(rowPitch(to, desc.Width)), desc.Width, desc.Height, &to, nullptr};
    RECT whole{0, 0, LONG(desc.Width), LONG(desc.Height)};
    copyRect(dest, whole, source, whole, D3DX_FILTER_NONE, 0);
    texture->UnlockRect(0);
    return D3D_OK;
}

void put16(Bytes& out, unsigned value) {
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}
void put32(Bytes& out, std::uint32_t value) {
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

// BMP layouts D3DX keeps: 16-bit 565 (bit fields) and 555, 24-bit, 32-bit
// (the fourth byte zero for X8R8G8B8, alpha otherwise).
// L8 and R3G3B2 become 8-bit paletted files: the texel is the index into a
// palette of every value the format holds.
HRESULT writeBmp(IDirect3DTexture9* texture, D3DFORMAT source, bool withFileHeader, Bytes& out) {
    D3DFORMAT layout = D3DFMT_A8R8G8B8;
    if (source == D3DFMT_R5G6B5 || source == D3DFMT_X1R5G5B5 || source == D3DFMT_R8G8B8 || source == D3DFMT_X8R8G8B8 ||
        source == D3DFMT_L8 || source == D3DFMT_R3G3B2)
        layout = source;
    else if (source == D3DFMT_A16B16G16R16 || source == D3DFMT_A16B16G16R16F || source == D3DFMT_A32B32G32R32F)
        layout = D3DFMT_X8R8G8B8;  // 64- and 128-bit texels lose their alpha
    else if (!formatInfo(source).alpha)
        layout = D3DFMT_R8G8B8;
    const bool paletted = formatInfo(layout).bytes == 1;
    Pixels pixels;
    HRESULT hr = readLevel(texture, layout, pixels);
    if (FAILED(hr)) return hr;
    const unsigned texelBytes = formatInfo(layout).bytes;
    const std::size_t rowBytes = std::size_t(pixels.width) * texelBytes, padded = (rowBytes + 3) & ~std::size_t(3);
    const bool bitfields = layout == D3DFMT_R5G6B5;
    const std::uint32_t infoSize = 40, maskBytes = bitfields ? 12 : paletted ? 1024 : 0;
    const std::uint32_t dataOffset = (withFileHeader ? 14 : 0) + infoSize + maskBytes;
    const std::uint32_t dataSize = std::uint32_t(padded * pixels.height);
    if (withFileHeader) {
        out.push_back('B');
        out.push_back('M');
        put32(out, dataOffset + dataSize);
        put32(out, 0);
        put32(out, dataOffset);
    }
    put32(out, infoSize);
    put32(out, pixels.width);
    put32(out, pixels.height);  // bottom-up
    put16(out, 1);
    put16(out, texelBytes * 8);
    put32(out, bitfields ? 3 : 0);
    put32(out, dataSize);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, paletted ? 256 : 0);
    put32(out, 0);
    if (bitfields) {
        put32(out, 0xf800);
        put32(out, 0x7e0);
        put32(out, 0x1f);
    }
    if (paletted) {
        std::uint8_t indices[256];
        Float4 colours[256];
        for (unsigned i = 0; i < 256; ++i) indices[i] = std::uint8_t(i);
        decodeRow(formatInfo(layout), indices, colours, 256, nullptr);
        for (const Float4& colour : colours) {  // B, G, R, unused
            for (float channel : {colour.b, colour.g, colour.r}) out.push_back(std::uint8_t(channel * 255.0f + 0.5f));
            out.push_back(0);
        }
    }
    if (layout == D3DFMT_X8R8G8B8)  // the unused byte reads as no alpha
        for (std::size_t i = 3; i < pixels.bytes.size(); i += 4) pixels.bytes[i] = 0;
    for (unsigned y = pixels.height; y-- > 0;) {
        const std::uint8_t* row = pixels.bytes.data() + y * rowBytes;
        out.insert(out.end(), row, row + rowBytes);
        out.resize(out.size() + (padded - rowBytes), 0);
    }
    return D3D_OK;
}

// Uncompressed true colour, top-left origin: 32-bit with 8 alpha bits when the
// source has alpha, else 24-bit.
HRESULT writeTga(IDirect3DTexture9* texture, D3DFORMAT source, Bytes& out) {
    const bool alpha = formatInfo(source).alpha;
    Pixels pixels;
    HRESULT hr = readLevel(texture, alpha ? D3DFMT_A8R8G8B8 : D3DFMT_R8G8B8, pixels);
    if (FAILED(hr)) return hr;
    const std::uint8_t header[18] = {0,
                                     0,
                                     2,
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     0,
                                     std::uint8_t(pixels.width),
                                     std::uint8_t(pixels.width >> 8),
                                     std::uint8_t(pixels.height),
                                     std::uint8_t(pixels.height >> 8),
                                     std::uint8_t(alpha ? 32 : 24),
                                     std::uint8_t(alpha ? 0x28 : 0x20)};
    out.assign(header, header + sizeof header);
    out.insert(out.end(), pixels.bytes.begin(), pixels.bytes.end());  // B, G, R (, A) as TGA stores them
    return D3D_OK;
}

// Binary P6 with 8-bit samples.
HRESULT writePpm(IDirect3DTexture9* texture, Bytes& out) {
    Pixels pixels;
    HRESULT hr = readLevel(texture, D3DFMT_R8G8B8, pixels);
    if (FAILED(hr)) return hr;
    const std::string header = "P6\n" + std::to_string(pixels.width) + " " + std::to_string(pixels.height) + "\n255\n";
    out.assign(header.begin(), header.end());
    for (std::size_t i = 0; i + 2 < pixels.bytes.size(); i += 3) {  // B, G, R to R, G, B
        out.push_back(pixels.bytes[i + 2]);
        out.push_back(pixels.bytes[i + 1]);
        out.push_back(pixels.bytes[i]);
    }
    return D3D_OK;
}

// Float RGB: PFM little-endian, bottom row first; HDR as flat RGBE scanlines.
HRESULT writeFloatImage(IDirect3DTexture9* texture, bool pfm, Bytes& out) {
    Pixels pixels;
    HRESULT hr = readLevel(texture, D3DFMT_A32B32G32R32F, pixels);
    if (FAILED(hr)) return hr;
    const std::string size = std::to_string(pixels.width) + " " + std::to_string(pixels.height);
    const std::string header = pfm ? "PF\n" + size + "\n-1.0\n"
                                   : "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(pixels.height) +
                                         " +X " + std::to_string(pixels.width) + "\n";
    out.assign(header.begin(), header.end());
    for (unsigned row = 0; row < pixels.height; ++row) {
        const unsigned y = pfm ? pixels.height - 1 - row : row;
        const float* texel = reinterpret_cast<const float*>(pixels.bytes.data()) + std::size_t(y) * pixels.width * 4;
        for (unsigned x = 0; x < pixels.width; ++x, texel += 4) {
            if (pfm) {
                const std::uint8_t* bytes = reinterpret_cast<const std::uint8_t*>(texel);
                out.insert(out.end(), bytes, bytes + 12);  // little-endian host
                continue;
            }
            const float r = std::max(texel[0], 0.0f), g = std::max(texel[1], 0.0f), b = std::max(texel[2], 0.0f);
            const float largest = std::max(r, std::max(g, b));
            std::uint8_t rgbe[4] = {0, 0, 0, 0};
            if (largest >= 1e-32f) {
                int exponent = 0;
                const float scale = std::frexp(largest, &exponent) * 256.0f / largest;
                rgbe[0] = std::uint8_t(r * scale);
                rgbe[1] = std::uint8_t(g * scale);
                rgbe[2] = std::uint8_t(b * scale);
                rgbe[3] = std::uint8_t(exponent + 128);
            }
            out.insert(out.end(), rgbe, rgbe + 4);
        }
    }
    return D3D_OK;
}

// Formats wider than 8 bits a channel, and float formats, give 16-bit PNGs.
bool isWide(D3DFORMAT format) {
    const FormatInfo& info = formatInfo(format);
    if (info.kind == FormatKind::Float16 || info.kind == FormatKind::Float32) return true;
    if (info.kind != FormatKind::Packed) return false;
    for (unsigned bits : info.bits)
        if (bits > 8) return true;
    return false;
}

void appendPng(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// Samples as readLevel gives them (R, G, B, A; 16-bit ones little-endian)
// become big-endian PNG samples; alpha is dropped when the source has none.
bool encodePng(const Pixels& pixels, unsigned depth, bool alpha, Bytes& out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    const unsigned channels = alpha ? 4 : 3, bytes = depth / 8;
    Bytes rows(std::size_t(pixels.width) * pixels.height * channels * bytes);
    for (std::size_t t = 0, n = std::size_t(pixels.width) * pixels.height; t < n; ++t)
        for (unsigned c = 0; c < channels; ++c)
            for (unsigned b = 0; b < bytes; ++b)
                rows[(t * channels + c) * bytes + b] = pixels.bytes[(t * 4 + c) * bytes + bytes - 1 - b];
    bool ok = false;
    if (info && !setjmp(png_jmpbuf(png))) {
        png_set_write_fn(png, &out, appendPng, nullptr);
        png_set_IHDR(png, info, pixels.width, pixels.height, int(depth),
                     alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (unsigned y = 0; y < pixels.height; ++y)
            png_write_row(png, rows.data() + std::size_t(y) * pixels.width * channels * bytes);
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return ok;
}

struct JpegWriteError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void failEncode(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegWriteError*>(cinfo->err)->jump, 1); }

// Kept free of objects with destructors: libjpeg leaves it by longjmp.
bool compressJpeg(jpeg_compress_struct& cinfo, JpegWriteError& error, const std::uint8_t* rgb, unsigned width,
                  unsigned height, unsigned char** buffer, unsigned long* size) {
    if (setjmp(error.jump)) return false;
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, buffer, size);
    cinfo.image_width = width;
    cinfo.image_height = height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + std::size_t(cinfo.next_scanline) * width * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

// Baseline JPEG at quality 90; alpha has no place in it.
bool encodeJpeg(const Pixels& pixels, Bytes& out) {
    Bytes rgb(std::size_t(pixels.width) * pixels.height * 3);
    for (std::size_t t = 0, n = std::size_t(pixels.width) * pixels.height; t < n; ++t)
        std::memcpy(&rgb[t * 3], &pixels.bytes[t * 4], 3);
    jpeg_compress_struct cinfo{};
    JpegWriteError error;
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = failEncode;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool ok = compressJpeg(cinfo, error, rgb.data(), pixels.width, pixels.height, &buffer, &size);
    jpeg_destroy_compress(&cinfo);
    if (ok) out.assign(buffer, buffer + size);
    std::free(buffer);
    return ok;
}

// PNG (8 or 16 bits a channel) and JPG of level 0.
HRESULT writePngOrJpeg(IDirect3DTexture9* texture, D3DXIMAGE_FILEFORMAT fileFormat, D3DFORMAT source, Bytes& out) {
    const bool wide = fileFormat == D3DXIFF_PNG && isWide(source);
    Pixels pixels;
    HRESULT hr = readLevel(texture, wide ? D3DFMT_A16B16G16R16 : D3DFMT_A8B8G8R8, pixels);  // R, G, B, A in memory
    if (FAILED(hr)) return hr;
    bool ok = fileFormat == D3DXIFF_PNG ? encodePng(pixels, wide ? 16 : 8, formatInfo(source).alpha, out)
                                         : encodeJpeg(pixels, out);
    return ok ? D3D_OK : E_FAIL;
}

bool isBumpFormat(const FormatInfo& info) { return info.signedMask != 0; }

}  // namespace

HRESULT encodeTextureImage(IDirect3DTexture9* texture, D3DXIMAGE_FILEFORMAT fileFormat, Bytes& out) {
    D3DSURFACE_DESC desc{};
    if (texture->GetLevelCount() == 0 || FAILED(texture->GetLevelDesc(0, &desc))) return D3DERR_INVALIDCALL;
    const FormatInfo& info = formatInfo(desc.Format);
    // Bump maps have no colour to write; JPG has nowhere to put alpha alone.
    if (isBumpFormat(info) || desc.Format == D3DFMT_CxV8U8) return D3DERR_INVALIDCALL;
    if (fileFormat == D3DXIFF_JPG && desc.Format == D3DFMT_A8) return D3DERR_INVALIDCALL;
    if (!canRead(info) || info.kind == FormatKind::Palette) return E_NOTIMPL;
    out.clear();
    switch (fileFormat) {
        case D3DXIFF_BMP:
            return writeBmp(texture, desc.Format, true, out);
        case D3DXIFF_DIB:
            return writeBmp(texture, desc.Format, false, out);
        case D3DXIFF_TGA:
            return writeTga(texture, desc.Format, out);
        case D3DXIFF_PPM:
            return writePpm(texture, out);
        case D3DXIFF_PNG:
        case D3DXIFF_JPG:
            return writePngOrJpeg(texture, fileFormat, desc.Format, out);
        case D3DXIFF_HDR:
            return writeFloatImage(texture, false, out);
        case D3DXIFF_PFM:
            return writeFloatImage(texture, true, out);
        default:
            return D3DERR_INVALIDCALL;
    }
}

}  // namespace d3d9soft
