// DDS reading: the legacy 124-byte header. The pitch field and the DDSD_*
// flags are not trusted; level sizes are computed, a mip count of 0 means 1,
// and the file must hold all the data that the header implies.
#include <cstring>

#include "image_decode.h"
#include "pixel_format.h"

namespace d3d9soft::imagefile {

namespace {

constexpr std::uint32_t kCubeMap = 0x200, kCubeFaces = 0xfc00, kDepthFlag = 0x800000;
constexpr std::size_t kHeaderEnd = 4 + 124;
constexpr std::uint32_t kMaxLevels = 32;
constexpr std::uint32_t kChannelKinds = kDdsRgb | kDdsLuminance | kDdsAlpha | kDdsBumpDuDv | kDdsBumpLuminance;

// Only the masks of the channels a kind of format has are compared: other
// tools leave junk in the rest (all ones, a FourCC code), and such files load.
bool sameMasks(std::uint32_t kind, const std::uint32_t (&row)[4], const std::uint32_t (&file)[4]) {
    switch (kind) {
        case kDdsAlpha:
            return row[3] == file[3];
        case kDdsLuminance:
            return row[0] == file[0] && row[3] == file[3];
        case kDdsBumpLuminance:
            return row[0] == file[0] && row[1] == file[1] && row[2] == file[2];
        default:
            return row[0] == file[0] && row[1] == file[1] && row[2] == file[2] && row[3] == file[3];
    }
}

// The format table's row that a DDS pixel format describes, as the platform writes them.
D3DFORMAT pixelFormatOf(const std::uint8_t* pf) {
    std::uint32_t flags = readLe32(pf + 4), fourCc = readLe32(pf + 8), bits = readLe32(pf + 12);
    std::uint32_t masks[4] = {readLe32(pf + 16), readLe32(pf + 20), readLe32(pf + 24), readLe32(pf + 28)};
    if (flags & kDdsFourCc) {
        for (const FormatInfo& row : allFormats())
            if ((row.ddsFlags & kDdsFourCc) && fourCc == static_cast<std::uint32_t>(row.format)) return row.format;
        return D3DFMT_UNKNOWN;
    }
    if (flags & kDdsIndexed) {
        // P8 whatever else is said; A8P8 needs its alpha declared.
        for (const FormatInfo& row : allFormats()) {
            if (!(row.ddsFlags & kDdsIndexed) || row.bytes * 8u != bits) continue;
            if (!(row.ddsFlags & kDdsAlphaPixels) || ((flags & kDdsAlphaPixels) && masks[3] == row.ddsMasks[3]))
                return row.format;
        }
        return D3DFMT_UNKNOWN;
    }
    std::uint32_t kind = flags & kChannelKinds;
    if (kind != kDdsAlpha) kind &= ~kDdsAlpha;
    // Without ALPHAPIXELS a colour or luminance alpha mask means nothing; the
    // bump formats' fourth channel is data and keeps its mask.
    if (!(flags & kDdsAlphaPixels) && (kind == kDdsRgb || kind == kDdsLuminance)) masks[3] = 0;
    for (const FormatInfo& row : allFormats()) {
        if (!row.ddsFlags || (row.ddsFlags & ~kDdsAlphaPixels) != kind) continue;
        // Luminance with alpha is told apart by its masks alone: files that
        // declare 8 bits for A8L8 exist and load as A8L8.
        bool masksAlone = kind == kDdsLuminance && masks[3];
        if (!masksAlone && row.bytes * 8u != bits) continue;
        if (sameMasks(kind, row.ddsMasks, masks)) return row.format;
    }
    return D3DFMT_UNKNOWN;
}

struct DdsLayout {
    D3DXIMAGE_INFO info;
    std::uint32_t faces;        // 6 at most for a cube map
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

    const FormatInfo& layout = formatInfo(format);
    dds.paletteOffset = layout.kind == FormatKind::Palette ? kHeaderEnd : 0;
    dds.dataOffset = kHeaderEnd + (dds.paletteOffset ? 1024 : 0);
    std::uint64_t total = 0;
    for (std::uint32_t i = 0; i < levels; ++i) {
        unsigned w = width >> i ? width >> i : 1, h = height >> i ? height >> i : 1;
        std::uint64_t d = depth >> i ? depth >> i : 1;
        std::uint64_t bytes = levelSize(layout, w, h);
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
        std::size_t bytes = levelSize(formatInfo(format), level.width, level.height);
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
