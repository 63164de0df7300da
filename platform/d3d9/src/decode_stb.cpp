// stb_image, compiled here with only the formats it decodes for us: no GIF,
// no PNG/JPEG (libpng and libjpeg-turbo do those), no TGA/HDR/PNM (ours keep the
// file's own formats and refuse truncated data), and a side limit that is
// the device's texture limit.
#include "image_decode.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_NO_FAILURE_STRINGS
#define STBI_ONLY_BMP
#define STBI_MAX_DIMENSIONS 4096

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace d3d9soft::imagefile {

StbPixels stbDecodeRgba8(ByteView file) {
    StbPixels pixels;
    if (file.size > 0x7fffffffu) return pixels;
    int channels = 0;
    stbi_uc* decoded = stbi_load_from_memory(file.data, static_cast<int>(file.size), &pixels.width, &pixels.height,
                                             &channels, 4);
    if (!decoded) return pixels;
    const std::uint8_t* begin = decoded;
    pixels.bytes.assign(begin, begin + std::size_t(pixels.width) * pixels.height * 4);
    stbi_image_free(decoded);
    return pixels;
}

}  // namespace d3d9soft::imagefile
