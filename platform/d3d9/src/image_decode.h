// Image files: header probes and decoders behind the D3DX image entry points.
// Every reader checks each header field against the bytes it was given.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

namespace d3d9soft::imagefile {

// Largest side the decoders accept: the device's texture limit. A larger image
// is refused before any pixel memory is allocated.
constexpr UINT kMaxDecodeDimension = 4096;
// Largest side a header may claim; anything beyond is taken as corrupt.
constexpr UINT kMaxHeaderDimension = 65536;

struct ByteView {
    const std::uint8_t* data;
    std::size_t size;
};

// One level of pixels, rows tightly packed (rows of 4x4 blocks for DXT).
struct DecodedLevel {
    UINT width;
    UINT height;
    std::vector<std::uint8_t> bytes;
};

struct DecodedImage {
    D3DXIMAGE_INFO info;    // what the probe reports for the file
    D3DFORMAT pixelFormat;  // format of the bytes in `levels`
    std::vector<DecodedLevel> levels;
};

// Makes `image` hold one zeroed level of width x height texels.
inline DecodedLevel& singleLevel(DecodedImage& image, UINT width, UINT height, std::size_t texelBytes) {
    image.levels.assign(1, DecodedLevel{width, height, {}});
    image.levels[0].bytes.resize(std::size_t(width) * height * texelBytes);
    return image.levels[0];
}

// Header probe: fills `info` or returns D3DXERR_INVALIDDATA.
HRESULT probeImage(ByteView file, D3DXIMAGE_INFO& info);
// Probe, then decode every stored level.
HRESULT decodeImage(ByteView file, DecodedImage& image);
// The same for an image whose info the probe has filled already.
HRESULT decodeProbedImage(ByteView file, DecodedImage& image);

// Per-format probes; each assumes its file type was recognised.
HRESULT probePng(ByteView file, D3DXIMAGE_INFO& info);
HRESULT probeJpeg(ByteView file, D3DXIMAGE_INFO& info);
HRESULT probeBmp(ByteView file, bool withFileHeader, D3DXIMAGE_INFO& info);
HRESULT probeTga(ByteView file, D3DXIMAGE_INFO& info);
HRESULT probePpm(ByteView file, D3DXIMAGE_INFO& info);
HRESULT probePfm(ByteView file, D3DXIMAGE_INFO& info);
HRESULT probeHdr(ByteView file, D3DXIMAGE_INFO& info);
HRESULT probeDds(ByteView file, D3DXIMAGE_INFO& info);

// Per-format decoders; each runs after its probe succeeded and gets its info.
HRESULT decodePng(ByteView file, DecodedImage& image);
HRESULT decodeJpeg(ByteView file, DecodedImage& image);
HRESULT decodeBmp(ByteView file, bool withFileHeader, DecodedImage& image);
HRESULT decodeTga(ByteView file, DecodedImage& image);
HRESULT decodePpm(ByteView file, DecodedImage& image);
HRESULT decodePfm(ByteView file, DecodedImage& image);
HRESULT decodeHdr(ByteView file, DecodedImage& image);
HRESULT decodeDds(ByteView file, DecodedImage& image);

// Rows of `format` at `bits`, `pitch` bytes apart, room for width x height.
struct PixelRows {
    std::uint8_t* bits;
    std::size_t pitch;
    UINT width, height;
    D3DFORMAT format;
};
// A PNG decoded straight into `into`, its top-left corner, the rest left as
// it is: S_FALSE, with nothing written, when the file's texels are not of
// that format or do not fit.
HRESULT decodePngInto(ByteView file, const PixelRows& into);

// Pixels decoded by stb_image: RGBA, 8 bits per channel; empty bytes
// when the data could not be decoded.
struct StbPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes;
};
StbPixels stbDecodeRgba8(ByteView file);

// Little/big-endian readers; callers check bounds first.
inline std::uint16_t readLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t readLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint16_t readBe16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
inline std::uint32_t readBe32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

// Info of a plain 2D image with one level.
D3DXIMAGE_INFO imageInfo(UINT width, UINT height, D3DFORMAT format, D3DXIMAGE_FILEFORMAT fileFormat);

// Reads from `fd` until `size` bytes, the end or an error; returns how many.
std::size_t readUpTo(int fd, std::uint8_t* into, std::size_t size);

// A file time as nanoseconds since 1970.
inline long long nanoseconds(const timespec& time) {
    return static_cast<long long>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

// The bytes of a whole file, read only. A small file is read: mapping it
// would cost a page fault and an unmapping, which stops every other thread
// of the process. A large one is mapped, so that only the pages a reader
// touches are read from disk.
class FileBytes {
public:
    explicit FileBytes(const char* path);
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    bool opened() const { return opened_; }
    ByteView bytes() const { return ByteView{data_, size_}; }
    long long modifiedNanoseconds() const { return modified_; }

private:
    static constexpr std::size_t kReadWhole = std::size_t(1) << 20;
    std::unique_ptr<std::uint8_t[]> read_;
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    long long modified_ = 0;
    bool opened_ = false, mapped_ = false;
};

}  // namespace d3d9soft::imagefile
