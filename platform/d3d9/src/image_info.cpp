// D3DXGetImageInfoFromFile*: recognise the file type, then read its header.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "image_decode.h"

#include <d3d9soft.h>

namespace d3d9soft::imagefile {

namespace {

enum class FileType { Unknown, Dds, Png, Jpeg, Bmp, Dib, Tga, Ppm, Pfm, Hdr };

bool startsWith(ByteView file, const char* magic) {
    std::size_t length = std::strlen(magic);
    return file.size >= length && std::memcmp(file.data, magic, length) == 0;
}

bool isSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool looksLikeDib(ByteView file) {
    if (file.size < 16) return false;
    std::uint32_t headerSize = readLe32(file.data);
    bool knownSize = headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124;
    return knownSize && readLe16(file.data + 12) == 1;
}

// TGA has no signature, so it is whatever else is left.
FileType detect(ByteView file) {
    static const std::uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (startsWith(file, "DDS ")) return FileType::Dds;
    if (file.size >= 8 && std::memcmp(file.data, pngSignature, 8) == 0) return FileType::Png;
    if (file.size >= 3 && file.data[0] == 0xff && file.data[1] == 0xd8 && file.data[2] == 0xff) return FileType::Jpeg;
    if (startsWith(file, "BM")) return FileType::Bmp;
    if (file.size >= 3 && file.data[0] == 'P' && isSpace(file.data[2])) {
        if (file.data[1] == 'F' || file.data[1] == 'f') return FileType::Pfm;
        if (file.data[1] == '6' || file.data[1] == '5') return FileType::Ppm;
    }
    if (startsWith(file, "#?")) return FileType::Hdr;
    if (looksLikeDib(file)) return FileType::Dib;
    return FileType::Tga;
}

}  // namespace

D3DXIMAGE_INFO imageInfo(UINT width, UINT height, D3DFORMAT format, D3DXIMAGE_FILEFORMAT fileFormat) {
    D3DXIMAGE_INFO info{};
    info.Width = width;
    info.Height = height;
    info.Depth = 1;
    info.MipLevels = 1;
    info.Format = format;
    info.ResourceType = D3DRTYPE_TEXTURE;
    info.ImageFileFormat = fileFormat;
    return info;
}

HRESULT probeImage(ByteView file, D3DXIMAGE_INFO& info) {
    if (file.size == 0) return D3DXERR_INVALIDDATA;
    switch (detect(file)) {
    case FileType::Dds: return probeDds(file, info);
    case FileType::Png: return probePng(file, info);
    case FileType::Jpeg: return probeJpeg(file, info);
    case FileType::Bmp: return probeBmp(file, true, info);
    case FileType::Dib: return probeBmp(file, false, info);
    case FileType::Ppm: return probePpm(file, info);
    case FileType::Pfm: return probePfm(file, info);
    case FileType::Hdr: return probeHdr(file, info);
    case FileType::Tga: return probeTga(file, info);
    case FileType::Unknown: break;
    }
    return D3DXERR_INVALIDDATA;
}

HRESULT decodeImage(ByteView file, DecodedImage& image) {
    image = DecodedImage{};
    HRESULT hr = probeImage(file, image.info);
    return FAILED(hr) ? hr : decodeProbedImage(file, image);
}

HRESULT decodeProbedImage(ByteView file, DecodedImage& image) {
    image.levels.clear();
    if (image.info.Width > kMaxDecodeDimension || image.info.Height > kMaxDecodeDimension) return D3DXERR_INVALIDDATA;
    switch (image.info.ImageFileFormat) {
    case D3DXIFF_DDS: return decodeDds(file, image);
    case D3DXIFF_PNG: return decodePng(file, image);
    case D3DXIFF_JPG: return decodeJpeg(file, image);
    case D3DXIFF_BMP: return decodeBmp(file, true, image);
    case D3DXIFF_DIB: return decodeBmp(file, false, image);
    case D3DXIFF_PPM: return decodePpm(file, image);
    case D3DXIFF_PFM: return decodePfm(file, image);
    case D3DXIFF_HDR: return decodeHdr(file, image);
    case D3DXIFF_TGA: return decodeTga(file, image);
    default: break;
    }
    return D3DXERR_INVALIDDATA;
}

std::size_t readUpTo(int fd, std::uint8_t* into, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, into + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += std::size_t(got);
    }
    return done;
}

FileBytes::FileBytes(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        opened_ = true;
        size_ = static_cast<std::size_t>(status.st_size);
        modified_ = nanoseconds(status.st_mtim);
        if (size_ > 0 && size_ <= kReadWhole) {
            read_.reset(new std::uint8_t[size_]);      // not zeroed: every byte kept is read
            size_ = readUpTo(fd, read_.get(), size_);  // a file cut short meanwhile: what was read
            data_ = read_.get();
        } else if (size_ > 0) {
            void* mapped = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
            if (mapped == MAP_FAILED) {
                opened_ = false;
                size_ = 0;
            } else {
                data_ = static_cast<const std::uint8_t*>(mapped);
                mapped_ = true;
            }
        }
    }
    ::close(fd);
}

FileBytes::~FileBytes() {
    if (mapped_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
}

}  // namespace d3d9soft::imagefile

using namespace d3d9soft::imagefile;

namespace {

struct FileReadHook {
    D3D9SoftFileReadHook function = nullptr;
    void* context = nullptr;
    bool running = false;  // the hook's own probes are not shown to it
};
thread_local FileReadHook fileReadHook;

}  // namespace

extern "C" {

void D3D9SoftSetFileReadHook(D3D9SoftFileReadHook hook, void* context) {
    fileReadHook.function = hook;
    fileReadHook.context = context;
}

HRESULT WINAPI D3DXGetImageInfoFromFileInMemory(LPCVOID pSrcData, UINT SrcDataSize, D3DXIMAGE_INFO* pSrcInfo) {
    if (!pSrcData || SrcDataSize == 0) return D3DERR_INVALIDCALL;
    if (!pSrcInfo) return D3D_OK;  // nothing is read without somewhere to put it
    D3DXIMAGE_INFO info{};
    HRESULT hr = probeImage(ByteView{static_cast<const std::uint8_t*>(pSrcData), SrcDataSize}, info);
    if (FAILED(hr)) return hr;
    *pSrcInfo = info;
    return D3D_OK;
}

HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR pSrcFile, D3DXIMAGE_INFO* pSrcInfo) {
    if (!pSrcFile) return D3DERR_INVALIDCALL;
    if (!*pSrcFile) return D3DXERR_INVALIDDATA;
    FileBytes file(pSrcFile);
    if (!file.opened()) return D3DXERR_INVALIDDATA;
    if (fileReadHook.function && !fileReadHook.running) {
        const D3D9SoftFileRead read{pSrcFile, file.bytes().data, file.bytes().size, file.modifiedNanoseconds()};
        fileReadHook.running = true;
        fileReadHook.function(fileReadHook.context, &read);
        fileReadHook.running = false;
    }
    if (!pSrcInfo) return D3D_OK;
    D3DXIMAGE_INFO info{};
    HRESULT hr = probeImage(file.bytes(), info);
    if (FAILED(hr)) return hr;
    *pSrcInfo = info;
    return D3D_OK;
}

}  // extern "C"
