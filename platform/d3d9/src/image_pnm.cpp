// Text-headed files: binary PPM/PGM (decoded by stb_image), PFM and Radiance
// HDR (ours: stb_image pads a truncated HDR file silently).
#include "image_decode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace d3d9soft::imagefile {

namespace {

bool isSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads the next whitespace-separated token, skipping '#' comments.
bool nextToken(ByteView file, std::size_t& pos, std::string& token) {
    for (;;) {
        while (pos < file.size && isSpace(file.data[pos])) ++pos;
        if (pos < file.size && file.data[pos] == '#') {
            while (pos < file.size && file.data[pos] != '\n') ++pos;
            continue;
        }
        break;
    }
    token.clear();
    while (pos < file.size && !isSpace(file.data[pos]) && token.size() < 32) token.push_back(char(file.data[pos++]));
    return !token.empty() && token.size() < 32;
}

bool nextNumber(ByteView file, std::size_t& pos, std::uint32_t limit, std::uint32_t& value) {
    std::string token;
    if (!nextToken(file, pos, token) || token.size() > 9) return false;
    for (char c : token)
        if (c < '0' || c > '9') return false;
    value = static_cast<std::uint32_t>(std::strtoul(token.c_str(), nullptr, 10));
    return value >= 1 && value <= limit;
}

struct NetpbmHeader {
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t channels;
    std::uint32_t sampleBytes;
    std::uint32_t maxValue;  // P5/P6 only
    bool littleEndian;       // PFM only
    std::size_t dataOffset;
};

// Header of P5/P6 ("maxval" third) or PF/Pf ("scale" third); exactly one
// whitespace character ends it.
bool readNetpbmHeader(ByteView file, NetpbmHeader& h) {
    std::size_t pos = 2;
    bool pfm = file.data[1] == 'F' || file.data[1] == 'f';
    h.channels = (file.data[1] == '6' || file.data[1] == 'F') ? 3 : 1;
    if (!nextNumber(file, pos, kMaxHeaderDimension, h.width) || !nextNumber(file, pos, kMaxHeaderDimension, h.height))
        return false;
    if (pfm) {
        std::string token;
        if (!nextToken(file, pos, token)) return false;
        char* end = nullptr;
        double scale = std::strtod(token.c_str(), &end);
        if (*end != '\0' || scale == 0.0 || !std::isfinite(scale)) return false;
        h.littleEndian = scale < 0;
        h.sampleBytes = 4;
    } else {
        if (!nextNumber(file, pos, 65535, h.maxValue) || h.maxValue == 0) return false;
        h.sampleBytes = h.maxValue > 255 ? 2 : 1;
        h.littleEndian = false;
    }
    if (pos >= file.size || !isSpace(file.data[pos])) return false;
    h.dataOffset = pos + 1;
    std::uint64_t dataSize = std::uint64_t(h.width) * h.height * h.channels * h.sampleBytes;
    return file.size - h.dataOffset >= dataSize;
}

struct HdrHeader {
    std::uint32_t width;
    std::uint32_t height;
    std::size_t dataOffset;
};

bool readLine(ByteView file, std::size_t& pos, std::string& line) {
    line.clear();
    while (pos < file.size && file.data[pos] != '\n') {
        if (line.size() >= 256) return false;
        line.push_back(char(file.data[pos++]));
    }
    if (pos >= file.size) return false;
    ++pos;
    return true;
}

// The header as stb_image accepts it: a magic line, variables up to an empty
// line (one of them the RGBE format), then "-Y height +X width".
bool readHdrHeader(ByteView file, HdrHeader& h) {
    std::size_t pos = 0;
    std::string line;
    if (!readLine(file, pos, line) || (line != "#?RADIANCE" && line != "#?RGBE")) return false;
    bool rgbe = false;
    for (int lines = 0;; ++lines) {
        if (lines > 1000 || !readLine(file, pos, line)) return false;
        if (line.empty()) break;
        if (line == "FORMAT=32-bit_rle_rgbe") rgbe = true;
    }
    if (!rgbe || !readLine(file, pos, line)) return false;
    unsigned long height = 0, width = 0;
    char extra = 0;
    if (std::sscanf(line.c_str(), "-Y %lu +X %lu%c", &height, &width, &extra) != 2) return false;
    if (width == 0 || height == 0 || width > kMaxHeaderDimension || height > kMaxHeaderDimension) return false;
    h.width = static_cast<std::uint32_t>(width);
    h.height = static_cast<std::uint32_t>(height);
    h.dataOffset = pos;
    // Smallest scanline: run-length coded, 4 header bytes plus a 2-byte run
    // per 127 texels of each channel; narrow or very wide images are flat.
    std::uint64_t minimumLine = (width < 8 || width >= 32768) ? width * 4 : 4 + 8 * ((width + 126) / 127);
    return file.size - pos >= minimumLine * height;
}

// One scanline of RGBE texels, flat or in the run-length form whose lines
// start with 2, 2 and the width.
bool readHdrScanline(ByteView file, std::size_t& pos, std::uint32_t width, std::uint8_t* out) {
    std::size_t left = file.size - pos;
    const std::uint8_t* in = file.data + pos;
    bool runLength = width >= 8 && width < 32768 && left >= 4 && in[0] == 2 && in[1] == 2 && !(in[2] & 0x80) &&
                     ((std::uint32_t(in[2]) << 8) | in[3]) == width;
    if (!runLength) {
        if (left < std::size_t(width) * 4) return false;
        std::memcpy(out, in, std::size_t(width) * 4);
        pos += std::size_t(width) * 4;
        return true;
    }
    std::size_t read = 4;
    for (int channel = 0; channel < 4; ++channel) {
        std::uint32_t x = 0;
        while (x < width) {
            if (read >= left) return false;
            std::uint32_t count = in[read++];
            if (count > 128) {
                count -= 128;
                if (count > width - x || read >= left) return false;
                for (std::uint32_t i = 0; i < count; ++i) out[4 * (x + i) + channel] = in[read];
                ++read;
            } else {
                if (count == 0 || count > width - x || left - read < count) return false;
                for (std::uint32_t i = 0; i < count; ++i) out[4 * (x + i) + channel] = in[read + i];
                read += count;
            }
            x += count;
        }
    }
    pos += read;
    return true;
}

}  // namespace

HRESULT probePpm(ByteView file, D3DXIMAGE_INFO& info) {
    NetpbmHeader h;
    if (!readNetpbmHeader(file, h)) return D3DXERR_INVALIDDATA;
    info = imageInfo(h.width, h.height, D3DFMT_X8R8G8B8, D3DXIFF_PPM);
    return D3D_OK;
}

// Our own P5/P6 reader: the header is already checked against the data
// size, and stb's PNM path mishandles 16-bit samples.
HRESULT decodePpm(ByteView file, DecodedImage& image) {
    NetpbmHeader h;
    if (!readNetpbmHeader(file, h) || h.width != image.info.Width || h.height != image.info.Height)
        return D3DXERR_INVALIDDATA;
    image.pixelFormat = D3DFMT_X8R8G8B8;
    DecodedLevel& level = singleLevel(image, h.width, h.height, 4);
    const std::uint8_t* in = file.data + h.dataOffset;
    auto sample = [&]() -> std::uint8_t {
        std::uint32_t value = h.sampleBytes == 2 ? (std::uint32_t(in[0]) << 8 | in[1]) : in[0];
        in += h.sampleBytes;
        value = std::min(value, h.maxValue);
        return std::uint8_t((value * 255 + h.maxValue / 2) / h.maxValue);
    };
    std::uint8_t* out = level.bytes.data();
    for (std::size_t i = 0, n = std::size_t(h.width) * h.height; i < n; ++i, out += 4) {
        const std::uint8_t r = sample();
        const std::uint8_t g = h.channels == 3 ? sample() : r;
        const std::uint8_t b = h.channels == 3 ? sample() : r;
        out[0] = b;  // X8R8G8B8 in memory: B, G, R, X
        out[1] = g;
        out[2] = r;
        out[3] = 0xff;
    }
    return D3D_OK;
}

HRESULT probePfm(ByteView file, D3DXIMAGE_INFO& info) {
    NetpbmHeader h;
    if (!readNetpbmHeader(file, h)) return D3DXERR_INVALIDDATA;
    info = imageInfo(h.width, h.height, D3DFMT_A32B32G32R32F, D3DXIFF_PFM);
    return D3D_OK;
}

HRESULT decodePfm(ByteView file, DecodedImage& image) {
    NetpbmHeader h;
    if (!readNetpbmHeader(file, h)) return D3DXERR_INVALIDDATA;
    image.pixelFormat = D3DFMT_A32B32G32R32F;
    DecodedLevel& level = singleLevel(image, h.width, h.height, 16);
    float* out = reinterpret_cast<float*>(level.bytes.data());
    const std::uint8_t* in = file.data + h.dataOffset;
    for (std::uint32_t y = 0; y < h.height; ++y) {
        // Rows are stored bottom to top.
        float* row = out + std::size_t(h.height - 1 - y) * h.width * 4;
        for (std::uint32_t x = 0; x < h.width; ++x) {
            float sample[3] = {0.0f, 0.0f, 0.0f};
            for (std::uint32_t c = 0; c < h.channels; ++c, in += 4) {
                std::uint32_t bits = h.littleEndian ? readLe32(in) : readBe32(in);
                std::memcpy(&sample[c], &bits, 4);
            }
            if (h.channels == 1) sample[1] = sample[2] = sample[0];
            row[4 * x] = sample[0];
            row[4 * x + 1] = sample[1];
            row[4 * x + 2] = sample[2];
            row[4 * x + 3] = 1.0f;
        }
    }
    return D3D_OK;
}

HRESULT probeHdr(ByteView file, D3DXIMAGE_INFO& info) {
    HdrHeader h;
    if (!readHdrHeader(file, h)) return D3DXERR_INVALIDDATA;
    info = imageInfo(h.width, h.height, D3DFMT_A32B32G32R32F, D3DXIFF_HDR);
    return D3D_OK;
}

HRESULT decodeHdr(ByteView file, DecodedImage& image) {
    HdrHeader h;
    if (!readHdrHeader(file, h)) return D3DXERR_INVALIDDATA;
    std::vector<std::uint8_t> rgbe(std::size_t(h.width) * 4);
    image.pixelFormat = D3DFMT_A32B32G32R32F;
    DecodedLevel& level = singleLevel(image, h.width, h.height, 16);
    std::size_t pos = h.dataOffset;
    for (std::uint32_t y = 0; y < h.height; ++y) {
        if (!readHdrScanline(file, pos, h.width, rgbe.data())) return D3DXERR_INVALIDDATA;
        float* row = reinterpret_cast<float*>(level.bytes.data()) + std::size_t(y) * h.width * 4;
        for (std::uint32_t x = 0; x < h.width; ++x) {
            const std::uint8_t* p = rgbe.data() + 4 * x;
            float scale = p[3] ? std::ldexp(1.0f, int(p[3]) - (128 + 8)) : 0.0f;
            row[4 * x] = p[0] * scale;
            row[4 * x + 1] = p[1] * scale;
            row[4 * x + 2] = p[2] * scale;
            row[4 * x + 3] = 1.0f;
        }
    }
    return D3D_OK;
}

}  // namespace d3d9soft::imagefile
