// DDS reading: the legacy 124-byte header. The pitch field and the DDSD_*
// flags are not trusted; level sizes are computed, a mip count of 0 means 1,
// and the file must hold all the data that the header implies.
#include "image_decode.h"

#include <cstring>

namespace d3d9soft::imagefile {

namespace {

constexpr std::uint32_t kAlphaPixels = 0x1, kAlpha = 0x2, kFourCc = 0x4, kIndexed = 0x20, kRgb = 0x40,
                        kLuminance = 0x20000, kBumpLuminance = 0x40000, kBumpDuDv = 0x80000;
constexpr std::uint32_t kCubeMap = 0x200, kCubeFaces = 0xfc00, kDepthFlag = 0x800000;
constexpr std::size_t kHeaderEnd = 4 + 124;
constexpr std::uint32_t kMaxLevels = 32;

struct MaskedFormat {
    std::uint32_t flags;  // which of RGB/LUMINANCE/ALPHA/INDEXED/BUMP* it is
    std::uint32_t bits;
    std::uint32_t r, g, b, a;  // a = 0: no alpha
    D3DFORMAT format;
};

// The masks that the DDS writer of the platform uses, one line per format.
const MaskedFormat kMaskedFormats[] = {
    {kRgb, 24, 0xff0000, 0xff00, 0xff, 0, D3DFMT_R8G8B8},
    {kRgb, 32, 0xff0000, 0xff00, 0xff, 0xff000000, D3DFMT_A8R8G8B8},
    {kRgb, 32, 0xff0000, 0xff00, 0xff, 0, D3DFMT_X8R8G8B8},
    {kRgb, 32, 0xff, 0xff00, 0xff0000, 0xff000000, D3DFMT_A8B8G8R8},
    {kRgb, 32, 0xff, 0xff00, 0xff0000, 0, D3DFMT_X8B8G8R8},
    {kRgb, 16, 0xf800, 0x7e0, 0x1f, 0, D3DFMT_R5G6B5},
    {kRgb, 16, 0x7c00, 0x3e0, 0x1f, 0x8000, D3DFMT_A1R5G5B5},
    {kRgb, 16, 0x7c00, 0x3e0, 0x1f, 0, D3DFMT_X1R5G5B5},
    {kRgb, 16, 0xf00, 0xf0, 0xf, 0xf000, D3DFMT_A4R4G4B4},
    {kRgb, 16, 0xf00, 0xf0, 0xf, 0, D3DFMT_X4R4G4B4},
    {kRgb, 8, 0xe0, 0x1c, 0x3, 0, D3DFMT_R3G3B2},
    {kRgb, 16, 0xe0, 0x1c, 0x3, 0xff00, D3DFMT_A8R3G3B2},
    // The 10:10:10:2 masks are swapped relative to the format names.
    {kRgb, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000, D3DFMT_A2B10G10R10},
    {kRgb, 32, 0x3ff, 0xffc00, 0x3ff00000, 0xc0000000, D3DFMT_A2R10G10B10},
    {kRgb, 32, 0xffff, 0xffff0000, 0, 0, D3DFMT_G16R16},
    {kAlpha, 8, 0, 0, 0, 0xff, D3DFMT_A8},
    {kLuminance, 8, 0xff, 0, 0, 0, D3DFMT_L8},
    {kLuminance, 16, 0xffff, 0, 0, 0, D3DFMT_L16},
    {kLuminance, 16, 0xff, 0, 0, 0xff00, D3DFMT_A8L8},
    {kLuminance, 8, 0xf, 0, 0, 0xf0, D3DFMT_A4L4},
    {kBumpDuDv, 16, 0xff, 0xff00, 0, 0, D3DFMT_V8U8},
    {kBumpDuDv, 32, 0xffff, 0xffff0000, 0, 0, D3DFMT_V16U16},
    {kBumpDuDv, 32, 0xff, 0xff00, 0xff0000, 0xff000000, D3DFMT_Q8W8V8U8},
    {kBumpDuDv, 32, 0x3ff00000, 0xffc00, 0x3ff, 0xc0000000, D3DFMT_A2W10V10U10},
    {kBumpLuminance, 32, 0xff, 0xff00, 0xff0000, 0, D3DFMT_X8L8V8U8},
    {kBumpLuminance, 16, 0x1f, 0x3e0, 0xfc00, 0, D3DFMT_L6V5U5},
};

const D3DFORMAT kFourCcFormats[] = {
    D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5, D3DFMT_UYVY, D3DFMT_YUY2, D3DFMT_R8G8_B8G8,
    D3DFMT_G8R8_G8B8, D3DFMT_A16B16G16R16, D3DFMT_Q16W16V16U16, D3DFMT_R16F, D3DFMT_G16R16F, D3DFMT_A16B16G16R16F,
    D3DFMT_R32F, D3DFMT_G32R32F, D3DFMT_A32B32G32R32F, D3DFMT_CxV8U8,
};

// Only the masks of the channels a kind of format has are compared: other
// tools leave junk in the rest (all ones, a FourCC code), and such files load.
bool sameMasks(const MaskedFormat& m, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    switch (m.flags) {
    case kAlpha: return m.a == a;
    case kLuminance: return m.r == r;
    case kBumpLuminance: return m.r == r && m.g == g && m.b == b;
    default: return m.r == r && m.g == g && m.b == b && m.a == a;
    }
}

D3DFORMAT pixelFormatOf(const std::uint8_t* pf) {
    std::uint32_t flags = readLe32(pf + 4), fourCc = readLe32(pf + 8), bits = readLe32(pf + 12);
    std::uint32_t r = readLe32(pf + 16), g = readLe32(pf + 20), b = readLe32(pf + 24), a = readLe32(pf + 28);
    if (flags & kFourCc) {
        for (D3DFORMAT format : kFourCcFormats)
            if (fourCc == static_cast<std::uint32_t>(format)) return format;
        return D3DFMT_UNKNOWN;
    }
    if (flags & kIndexed) {
        if (bits == 8) return D3DFMT_P8;
        if (bits == 16 && (flags & kAlphaPixels) && a == 0xff00) return D3DFMT_A8P8;
        return D3DFMT_UNKNOWN;
    }
    std::uint32_t kind = flags & (kRgb | kLuminance | kAlpha | kBumpDuDv | kBumpLuminance);
    if (kind & (kRgb | kLuminance | kBumpDuDv | kBumpLuminance)) kind &= ~kAlpha;
    // Without ALPHAPIXELS a colour or luminance alpha mask means nothing; the
    // bump formats' fourth channel is data and keeps its mask.
    if (!(flags & kAlphaPixels) && (kind == kRgb || kind == kLuminance)) a = 0;
    // Luminance with alpha is told apart by its masks alone: files that
    // declare 8 bits for A8L8 exist and load as A8L8.
    if (kind == kLuminance && a) {
        if (r == 0xff && a == 0xff00) return D3DFMT_A8L8;
        if (r == 0xf && a == 0xf0) return D3DFMT_A4L4;
        return D3DFMT_UNKNOWN;
    }
    for (const MaskedFormat& m : kMaskedFormats) {
        if (m.flags == kind && m.bits == bits && (kind != kLuminance || !m.a) && sameMasks(m, r, g, b, a))
            return m.format;
    }
    return D3DFMT_UNKNOWN;
}

struct DdsLayout {
    D3DXIMAGE_INFO info;
    std::uint32_t faces;  // 6 at most for a cube map
    std::size_t paletteOffset;  // 0: none
    std::size_t dataOffset;
};

bool readLayout(ByteView file, DdsLayout& dds) {
    if (file.size < kHeaderEnd) return false;
    const std::uint8_t* header = file.data + 4;
    if (readLe32(header) != 124) return false;
    std::uint32_t height = readLe32(header + 8), width = readLe32(header + 12);
    std::uint32_t depth = readLe32(header + 20), levels = readLe32(header + 24);
    std::uint32_t caps2 = readLe32(header + 108);
    if (width == 0 || height == 0 || width > kMaxHeaderDimension || height > kMaxHeaderDimension) return false;
    if (levels == 0) levels = 1;

    D3DFORMAT format = pixelFormatOf(header + 72);
    if (format == D3DFMT_UNKNOWN) return false;

    // DDSD_DEPTH alone makes a volume (it wins over cube caps); the volume
    // caps bit without it is a plain texture.
    D3DRESOURCETYPE type = D3DRTYPE_TEXTURE;
    dds.faces = 1;
    if (readLe32(header + 4) & kDepthFlag) {
        type = D3DRTYPE_VOLUMETEXTURE;
        if (depth == 0) depth = 1;
        if (depth > kMaxHeaderDimension) return false;
    } else {
        depth = 1;
        if (caps2 & kCubeMap) {
            type = D3DRTYPE_CUBETEXTURE;
            if ((caps2 & kCubeFaces) != kCubeFaces) return false;  // partial cube maps are refused
            dds.faces = 6;
        }
    }
    if (levels > kMaxLevels) return false;  // beyond 1x1 every level is one texel or block

    dds.paletteOffset = (format == D3DFMT_P8 || format == D3DFMT_A8P8) ? kHeaderEnd : 0;
    dds.dataOffset = kHeaderEnd + (dds.paletteOffset ? 1024 : 0);
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < levels; ++i) {
        std::uint64_t w = width >> i ? width >> i : 1, h = height >> i ? height >> i : 1;
        std::uint64_t d = depth >> i ? depth >> i : 1;
        std::uint64_t bytes = levelByteSize(format, w, h);
        if (bytes == 0) return false;
        total += bytes * d;
    }
    total *= dds.faces;
    if (file.size < dds.dataOffset || file.size - dds.dataOffset < total) return false;

    dds.info = imageInfo(width, height, format, D3DXIFF_DDS);
    dds.info.Depth = depth;
    dds.info.MipLevels = levels;
    dds.info.ResourceType = type;
    return true;
}

}  // namespace

bool isBlockFormat(D3DFORMAT format) {
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 || format == D3DFMT_DXT4 ||
           format == D3DFMT_DXT5;
}

namespace {

std::uint32_t bitsPerPixel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_R3G3B2:
    case D3DFMT_A8:
    case D3DFMT_L8:
    case D3DFMT_A4L4:
    case D3DFMT_P8: return 8;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_L16:
    case D3DFMT_A8L8:
    case D3DFMT_A8P8:
    case D3DFMT_V8U8:
    case D3DFMT_L6V5U5:
    case D3DFMT_R16F:
    case D3DFMT_CxV8U8:
    case D3DFMT_UYVY:
    case D3DFMT_YUY2:
    case D3DFMT_R8G8_B8G8:
    case D3DFMT_G8R8_G8B8: return 16;
    case D3DFMT_R8G8B8: return 24;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_G16R16:
    case D3DFMT_X8L8V8U8:
    case D3DFMT_Q8W8V8U8:
    case D3DFMT_V16U16:
    case D3DFMT_A2W10V10U10:
    case D3DFMT_G16R16F:
    case D3DFMT_R32F: return 32;
    case D3DFMT_A16B16G16R16:
    case D3DFMT_Q16W16V16U16:
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_G32R32F: return 64;
    case D3DFMT_A32B32G32R32F: return 128;
    default: return 0;
    }
}

bool isPairFormat(D3DFORMAT format) {
    return format == D3DFMT_UYVY || format == D3DFMT_YUY2 || format == D3DFMT_R8G8_B8G8 ||
           format == D3DFMT_G8R8_G8B8;
}

}  // namespace

std::uint64_t levelRowPitch(D3DFORMAT format, std::uint64_t width) {
    if (isBlockFormat(format)) return (width + 3) / 4 * (format == D3DFMT_DXT1 ? 8 : 16);
    if (isPairFormat(format)) return (width + 1) / 2 * 4;  // two texels share four bytes
    return width * bitsPerPixel(format) / 8;
}

std::uint64_t levelByteSize(D3DFORMAT format, std::uint64_t width, std::uint64_t height) {
    if (isBlockFormat(format)) return levelRowPitch(format, width) * ((height + 3) / 4);
    return levelRowPitch(format, width) * height;
}

HRESULT probeDds(ByteView file, D3DXIMAGE_INFO& info) {
    DdsLayout dds;
    if (!readLayout(file, dds)) return D3DXERR_INVALIDDATA;
    info = dds.info;
    return D3D_OK;
}

// The first face or slice of every level, whatever the resource type: a 2D
// texture made from a cube map or volume file takes those. Paletted levels are
// expanded to A8R8G8B8, since no paletted texture can be created.
HRESULT decodeDds(ByteView file, DecodedImage& image) {
    DdsLayout dds;
    if (!readLayout(file, dds)) return D3DXERR_INVALIDDATA;
    D3DFORMAT format = dds.info.Format;
    bool paletted = dds.paletteOffset != 0;
    image.pixelFormat = paletted ? D3DFMT_A8R8G8B8 : format;
    image.levels.resize(dds.info.MipLevels);
    std::size_t offset = dds.dataOffset;
    for (UINT i = 0; i < dds.info.MipLevels; ++i) {
        DecodedLevel& level = image.levels[i];
        level.width = dds.info.Width >> i ? dds.info.Width >> i : 1;
        level.height = dds.info.Height >> i ? dds.info.Height >> i : 1;
        std::size_t bytes = levelByteSize(format, level.width, level.height);
        std::size_t slices = dds.info.Depth >> i ? dds.info.Depth >> i : 1;
        const std::uint8_t* in = file.data + offset;
        offset += bytes * slices;  // cube faces follow all levels of the first face
        if (!paletted) {
            level.bytes.assign(in, in + bytes);
            continue;
        }
        // Palette entries are R, G, B, A bytes.
        const std::uint8_t* palette = file.data + dds.paletteOffset;
        std::size_t count = std::size_t(level.width) * level.height;
        std::size_t step = format == D3DFMT_A8P8 ? 2 : 1;
        level.bytes.resize(count * 4);
        for (std::size_t t = 0; t < count; ++t) {
            const std::uint8_t* entry = palette + 4 * in[t * step];
            std::uint8_t* out = level.bytes.data() + 4 * t;
            out[0] = entry[2];
            out[1] = entry[1];
            out[2] = entry[0];
            out[3] = format == D3DFMT_A8P8 ? in[t * step + 1] : entry[3];
        }
    }
    return D3D_OK;
}

}  // namespace d3d9soft::imagefile
