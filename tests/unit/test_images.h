// Small image files made and read by tests: A8R8G8B8 DDS files with chosen
// mip levels, 32-bit TGA files, and a plain reader of uncompressed DDS pages
// that does not go through the Direct3D layer.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testimages {

struct Level {
    unsigned width = 0, height = 0;
    std::vector<std::uint32_t> texels;  // ARGB, row by row
    std::uint32_t at(unsigned x, unsigned y) const { return texels[y * width + x]; }
};

struct DdsFile {
    bool valid = false;
    std::uint32_t fourCC = 0;    // 0 for uncompressed
    std::uint32_t bitCount = 0;  // 32 for the formats read here
    std::uint32_t alphaMask = 0;
    std::uint32_t mipMapCount = 0;  // as stored: 0 when there is one level
    std::vector<Level> levels;      // filled for 32-bit RGB files only
};

inline void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline std::uint32_t get32(const std::vector<std::uint8_t>& in, std::size_t at) {
    return std::uint32_t(in[at]) | std::uint32_t(in[at + 1]) << 8 | std::uint32_t(in[at + 2]) << 16 |
           std::uint32_t(in[at + 3]) << 24;
}

// An A8R8G8B8 DDS file holding exactly `levels` (each halving the last).
inline std::vector<std::uint8_t> makeDds(const std::vector<Level>& levels) {
    std::vector<std::uint8_t> out = {'D', 'D', 'S', ' '};
    const bool mipmapped = levels.size() > 1;
    put32(out, 124);
    put32(out, 0x1007 | (mipmapped ? 0x20000 : 0));
    put32(out, levels[0].height);
    put32(out, levels[0].width);
    put32(out, 0);  // pitch
    put32(out, 0);  // depth
    put32(out, mipmapped ? static_cast<std::uint32_t>(levels.size()) : 0);
    for (int i = 0; i < 11; ++i) put32(out, 0);
    put32(out, 32);    // pixel format size
    put32(out, 0x41);  // RGB | ALPHAPIXELS
    put32(out, 0);
    put32(out, 32);
    put32(out, 0xff0000);
    put32(out, 0xff00);
    put32(out, 0xff);
    put32(out, 0xff000000);
    put32(out, 0x1000 | (mipmapped ? 0x400008 : 0) | 0x2);
    for (int i = 0; i < 4; ++i) put32(out, 0);
    for (const Level& level : levels)
        for (std::uint32_t texel : level.texels) put32(out, texel);
    return out;
}

// A 32-bit uncompressed TGA, top-left origin.
inline std::vector<std::uint8_t> makeTga(const Level& image) {
    std::vector<std::uint8_t> out(18, 0);
    out[2] = 2;
    out[12] = static_cast<std::uint8_t>(image.width);
    out[13] = static_cast<std::uint8_t>(image.width >> 8);
    out[14] = static_cast<std::uint8_t>(image.height);
    out[15] = static_cast<std::uint8_t>(image.height >> 8);
    out[16] = 32;
    out[17] = 0x28;                                              // 8 alpha bits, top-left origin
    for (std::uint32_t texel : image.texels) put32(out, texel);  // B, G, R, A in memory
    return out;
}

inline std::vector<std::uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline DdsFile readDds(const std::string& path) {
    DdsFile file;
    const std::vector<std::uint8_t> in = readBytes(path);
    if (in.size() < 128 || std::memcmp(in.data(), "DDS ", 4) != 0 || get32(in, 4) != 124) return file;
    const unsigned height = get32(in, 12), width = get32(in, 16);
    file.mipMapCount = get32(in, 28);
    const std::uint32_t formatFlags = get32(in, 80);
    file.fourCC = formatFlags & 0x4 ? get32(in, 84) : 0;
    file.bitCount = get32(in, 88);
    file.alphaMask = get32(in, 104);
    file.valid = true;
    if (file.fourCC != 0 || file.bitCount != 32) return file;
    std::size_t at = 128;
    const unsigned count = file.mipMapCount == 0 ? 1 : file.mipMapCount;
    for (unsigned i = 0; i < count; ++i) {
        Level level;
        level.width = width >> i ? width >> i : 1;
        level.height = height >> i ? height >> i : 1;
        if (at + 4ull * level.width * level.height > in.size()) {
            file.valid = false;
            return file;
        }
        for (unsigned t = 0; t < level.width * level.height; ++t, at += 4) level.texels.push_back(get32(in, at));
        file.levels.push_back(level);
    }
    file.valid = at == in.size();
    return file;
}

// Texels that tell image, level and position apart; alpha is never 0, so a
// written texel differs from the zeros of a new texture.
inline Level pattern(unsigned width, unsigned height, unsigned image, unsigned level) {
    Level out;
    out.width = width;
    out.height = height;
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            out.texels.push_back(0x80000000u | (image & 0x7f) << 24 | (level & 0xff) << 16 | (y & 0xff) << 8 |
                                 (x & 0xff));
    return out;
}

// The full chain of a patterned image, each level with its own texels.
inline std::vector<Level> patternChain(unsigned width, unsigned height, unsigned image) {
    std::vector<Level> levels;
    for (unsigned level = 0;; ++level) {
        levels.push_back(pattern(width, height, image, level));
        if (width == 1 && height == 1) break;
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    return levels;
}

}  // namespace testimages
