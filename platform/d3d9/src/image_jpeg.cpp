// JPEG: the probe walks markers up to the frame header; libjpeg-turbo decodes.
#include "image_decode.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>

namespace d3d9soft::imagefile {

namespace {

bool isFrameMarker(std::uint8_t marker) {
    return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void failDecode(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }

// Truncated or corrupt data only raises warnings in libjpeg, which then pads
// the image with grey; such a file is refused instead.
void refuseCorruptData(j_common_ptr cinfo, int level) {
    if (level < 0 && cinfo->err->msg_code != JWRN_EXTRANEOUS_DATA) failDecode(cinfo);
}

// A progressive file may hold thousands of tiny scans; that many is hostile.
void limitScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (dinfo->input_scan_number > 1000) failDecode(cinfo);
    }
}

// Kept free of objects with destructors: libjpeg leaves it by longjmp.
bool readPixels(jpeg_decompress_struct& cinfo, JpegError& error, jpeg_progress_mgr& progress, ByteView file,
                DecodedImage& image) {
    if (setjmp(error.jump)) return false;
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &progress;  // creating clears it
    jpeg_mem_src(&cinfo, file.data, static_cast<unsigned long>(file.size));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width > kMaxDecodeDimension || cinfo.image_height > kMaxDecodeDimension) return false;

    bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    if (cinfo.num_components == 1) {
        cinfo.out_color_space = JCS_GRAYSCALE;
        image.pixelFormat = D3DFMT_L8;
    } else {
        cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
        image.pixelFormat = D3DFMT_X8R8G8B8;
    }
    jpeg_start_decompress(&cinfo);
    std::size_t pixelBytes = static_cast<std::size_t>(cinfo.output_components);
    std::size_t width = cinfo.output_width, height = cinfo.output_height;

    DecodedLevel& level = singleLevel(image, static_cast<UINT>(width), static_cast<UINT>(height), pixelBytes);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = level.bytes.data() + cinfo.output_scanline * width * pixelBytes;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);

    if (cmyk) {
        // Adobe writes CMYK inverted, so each channel times K is the colour.
        for (std::size_t i = 0; i < width * height; ++i) {
            std::uint8_t* p = level.bytes.data() + i * 4;
            unsigned c = p[0], m = p[1], y = p[2], k = p[3];
            p[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
            p[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
            p[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
            p[3] = 255;
        }
    }
    return true;
}

}  // namespace

HRESULT probeJpeg(ByteView file, D3DXIMAGE_INFO& info) {
    std::size_t offset = 2;
    for (;;) {
        while (offset < file.size && file.data[offset] != 0xff) ++offset;  // tolerate junk between segments
        while (offset < file.size && file.data[offset] == 0xff) ++offset;  // fill bytes
        if (offset >= file.size) return D3DXERR_INVALIDDATA;
        std::uint8_t marker = file.data[offset++];
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) continue;  // no length
        if (marker == 0xd9 || marker == 0xda) return D3DXERR_INVALIDDATA;    // no frame before the data
        if (file.size - offset < 2) return D3DXERR_INVALIDDATA;
        std::size_t length = readBe16(file.data + offset);
        if (length < 2 || file.size - offset < length) return D3DXERR_INVALIDDATA;
        if (isFrameMarker(marker)) {
            if (length < 8) return D3DXERR_INVALIDDATA;
            const std::uint8_t* frame = file.data + offset + 2;
            UINT height = readBe16(frame + 1), width = readBe16(frame + 3);
            int components = frame[5];
            if (width == 0 || height == 0) return D3DXERR_INVALIDDATA;
            if (components != 1 && components != 3 && components != 4) return D3DXERR_INVALIDDATA;
            info = imageInfo(width, height, components == 1 ? D3DFMT_L8 : D3DFMT_X8R8G8B8, D3DXIFF_JPG);
            return D3D_OK;
        }
        offset += length;
    }
}

HRESULT decodeJpeg(ByteView file, DecodedImage& image) {
    jpeg_decompress_struct cinfo{};
    JpegError error{};
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = failDecode;
    error.manager.emit_message = refuseCorruptData;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = limitScans;
    bool ok = readPixels(cinfo, error, progress, file, image);
    jpeg_destroy_decompress(&cinfo);
    if (!ok) {
        image.levels.clear();
        return D3DXERR_INVALIDDATA;
    }
    return D3D_OK;
}

}  // namespace d3d9soft::imagefile
