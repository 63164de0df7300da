// Image files for the image layer's tests: known pixels written by our own
// small BMP/TGA writers (for layouts ImageMagick cannot be told to make) or
// converted by ImageMagick at test time.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fixtures {

using Bytes = std::vector<std::uint8_t>;

struct Rgba {
    std::uint8_t r, g, b, a;
};

// Distinct colours; alpha varies unless `opaque`.
std::vector<Rgba> pattern(unsigned width, unsigned height, bool opaque);

// `name` in a scratch directory of the running test's own: ctest runs tests
// as parallel processes, and shared names would race.
std::string scratchPath(const std::string& name);
inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
std::string writeScratch(const std::string& name, const Bytes& bytes);
// What `command` writes to its standard output.
std::string commandOutput(const std::string& command);

// Runs ImageMagick's convert on the pixels (given as raw RGBA) with `options`
// between input and output. Returns the output's path, or "" when convert failed.
std::string convertPixels(const std::vector<Rgba>& pixels, unsigned width, unsigned height, const std::string& options,
                          const std::string& outputName);

// 16-, 24- and 32-bit files; values are in the file's own pixel encoding, rows top first.
struct BmpImage {
    unsigned width = 0, height = 0, bits = 24;
    bool bitfields = false;
    std::uint32_t masks[3] = {0, 0, 0};
    bool topDown = false;
    std::vector<std::uint32_t> values;
};
Bytes bmpFile(const BmpImage& image);

struct TgaImage {
    unsigned width = 0, height = 0, bits = 24;
    bool topDown = false;
    std::vector<std::uint32_t> values;
};
Bytes tgaFile(const TgaImage& image);

// Header-only, for the library's tests as well.
inline void put32(Bytes& bytes, std::size_t at, std::uint32_t value) { std::memcpy(&bytes[at], &value, 4); }

struct DdsPixelFormat {
    std::uint32_t flags, fourCc, bits, r, g, b, a;
};
constexpr DdsPixelFormat kDdsArgb = {0x41, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000};
inline DdsPixelFormat ddsFourCc(std::uint32_t fourCc) { return {0x4, fourCc, 0, 0, 0, 0, 0}; }

// A legacy DDS file written field by field, then `data`: readers must not
// trust the fields, so every one is a parameter.
inline Bytes ddsFile(std::uint32_t flags, std::uint32_t width, std::uint32_t height, std::uint32_t depth,
                     std::uint32_t mips, const DdsPixelFormat& pf, std::uint32_t caps2, const Bytes& data,
                     std::uint32_t pitch = 0, std::uint32_t caps = 0x1000) {
    Bytes file(128, 0);
    const std::uint32_t head[] = {0x20534444, 124, flags, height, width, pitch, depth, mips};
    for (int i = 0; i < 8; ++i) put32(file, 4 * i, head[i]);
    const std::uint32_t fields[] = {32, pf.flags, pf.fourCc, pf.bits, pf.r, pf.g, pf.b, pf.a, caps, caps2};
    for (int i = 0; i < 10; ++i) put32(file, 76 + 4 * i, fields[i]);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

// An A8R8G8B8 file, or of `fourCc` blocks, whose data is `dataBytes` of `fill`.
inline Bytes ddsOf(std::uint32_t width, std::uint32_t height, std::uint32_t mips, std::uint32_t fourCc,
                   std::size_t dataBytes, std::uint8_t fill = 0) {
    return ddsFile(mips > 1 ? 0x21007 : 0x1007, width, height, 0, mips, fourCc ? ddsFourCc(fourCc) : kDdsArgb, 0,
                   Bytes(dataBytes, fill));
}

}  // namespace fixtures
