// Image files for the image layer's tests: known pixels written by our own
// small BMP/TGA writers (for layouts ImageMagick cannot be told to make) or
// converted by ImageMagick at test time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

using Bytes = std::vector<std::uint8_t>;

struct Rgba {
    std::uint8_t r, g, b, a;
};

// Distinct colours; alpha varies unless `opaque`.
std::vector<Rgba> pattern(unsigned width, unsigned height, bool opaque);

// Runs ImageMagick's convert on the pixels (given as raw RGBA) with
// `options` between input and output; the file goes to the scratch directory.
// Returns its path, or "" when convert failed.
std::string convertPixels(const std::vector<Rgba>& pixels, unsigned width, unsigned height, const std::string& options,
                          const std::string& outputName);

Bytes readFile(const std::string& path);
std::string writeScratch(const std::string& name, const Bytes& bytes);

// Values are in the file's own pixel encoding, rows top first.
struct BmpSpec {
    unsigned width = 0, height = 0, bits = 24;
    bool bitfields = false;
    std::uint32_t masks[3] = {0, 0, 0};
    bool topDown = false;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    std::vector<std::uint32_t> values;
};
Bytes bmpFile(const BmpSpec& spec);

struct TgaSpec {
    unsigned width = 0, height = 0, bits = 24;
    int imageType = 2;  // 1 colour-mapped, 2 true colour, 3 grey; +8 run-length
    bool topDown = false;
    std::vector<std::uint32_t> palette;  // 24-bit entries, 0x00RRGGBB
    std::vector<std::uint32_t> values;
};
Bytes tgaFile(const TgaSpec& spec);

}  // namespace fixtures
