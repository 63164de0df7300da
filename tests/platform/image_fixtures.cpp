#include "platform/image_fixtures.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fixtures {

namespace {

void put16(Bytes& out, std::uint32_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void put32(Bytes& out, std::uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}
void putPixel(Bytes& out, std::uint32_t v, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

}  // namespace

std::vector<Rgba> pattern(unsigned width, unsigned height, bool opaque) {
    std::vector<Rgba> pixels(std::size_t(width) * height);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            Rgba& p = pixels[std::size_t(y) * width + x];
            p.r = std::uint8_t(x * 255 / (width > 1 ? width - 1 : 1));
            p.g = std::uint8_t(y * 255 / (height > 1 ? height - 1 : 1));
            p.b = std::uint8_t((x * 37 + y * 91) & 0xff);
            p.a = opaque ? 255 : std::uint8_t(((x + y) * 53 + 10) & 0xff);
        }
    }
    return pixels;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string writeScratch(const std::string& name, const Bytes& bytes) {
    std::string path = std::string(TA_TEST_SCRATCH) + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

std::string convertPixels(const std::vector<Rgba>& pixels, unsigned width, unsigned height, const std::string& options,
                          const std::string& outputName) {
    Bytes raw;
    for (const Rgba& p : pixels) raw.insert(raw.end(), {p.r, p.g, p.b, p.a});
    std::string rawPath = writeScratch(outputName + ".rgba", raw);
    std::string outPath = std::string(TA_TEST_SCRATCH) + "/" + outputName;
    std::string command = "convert -size " + std::to_string(width) + "x" + std::to_string(height) + " -depth 8 rgba:'" +
                          rawPath + "' " + options + " '" + outPath + "' 2>/dev/null";
    return std::system(command.c_str()) == 0 ? outPath : std::string();
}

Bytes bmpFile(const BmpSpec& spec) {
    unsigned rowBytes = (spec.width * spec.bits + 31) / 32 * 4;
    unsigned paletteBytes = unsigned(spec.palette.size()) * 4;
    unsigned maskBytes = spec.bitfields ? 12 : 0;
    unsigned offset = 14 + 40 + maskBytes + paletteBytes;
    Bytes out;
    out.push_back('B');
    out.push_back('M');
    put32(out, offset + rowBytes * spec.height);
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, spec.width);
    put32(out, spec.topDown ? std::uint32_t(-std::int32_t(spec.height)) : spec.height);
    put16(out, 1);
    put16(out, spec.bits);
    put32(out, spec.bitfields ? 3 : 0);
    put32(out, rowBytes * spec.height);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, std::uint32_t(spec.palette.size()));
    put32(out, 0);
    if (spec.bitfields)
        for (std::uint32_t mask : spec.masks) put32(out, mask);
    for (std::uint32_t entry : spec.palette) put32(out, entry);
    for (unsigned row = 0; row < spec.height; ++row) {
        unsigned y = spec.topDown ? row : spec.height - 1 - row;
        std::size_t start = out.size();
        if (spec.bits < 8) {
            unsigned perByte = 8 / spec.bits;
            for (unsigned x = 0; x < spec.width; x += perByte) {
                std::uint8_t packed = 0;
                for (unsigned i = 0; i < perByte && x + i < spec.width; ++i)
                    packed |= std::uint8_t(spec.values[y * spec.width + x + i] << (8 - spec.bits * (i + 1)));
                out.push_back(packed);
            }
        } else {
            for (unsigned x = 0; x < spec.width; ++x) putPixel(out, spec.values[y * spec.width + x], spec.bits / 8);
        }
        out.resize(start + rowBytes, 0);
    }
    return out;
}

Bytes tgaFile(const TgaSpec& spec) {
    unsigned pixelBytes = (spec.bits + 7) / 8;
    Bytes out;
    out.push_back(0);                                  // no image id
    out.push_back(spec.palette.empty() ? 0 : 1);       // colour map type
    out.push_back(std::uint8_t(spec.imageType));
    put16(out, 0);
    put16(out, std::uint32_t(spec.palette.size()));
    out.push_back(spec.palette.empty() ? 0 : 24);
    put16(out, 0);
    put16(out, 0);
    put16(out, spec.width);
    put16(out, spec.height);
    out.push_back(std::uint8_t(spec.bits));
    out.push_back(std::uint8_t((spec.topDown ? 0x20 : 0) | (spec.bits == 32 ? 8 : spec.bits == 16 ? 1 : 0)));
    for (std::uint32_t entry : spec.palette) putPixel(out, entry, 3);

    std::vector<std::uint32_t> stream;
    for (unsigned row = 0; row < spec.height; ++row) {
        unsigned y = spec.topDown ? row : spec.height - 1 - row;
        for (unsigned x = 0; x < spec.width; ++x) stream.push_back(spec.values[y * spec.width + x]);
    }
    if (spec.imageType < 8) {
        for (std::uint32_t v : stream) putPixel(out, v, pixelBytes);
        return out;
    }
    // Runs of equal pixels become run packets, the rest one-pixel raw packets;
    // packets may cross rows, as the format allows.
    for (std::size_t i = 0; i < stream.size();) {
        std::size_t run = 1;
        while (i + run < stream.size() && run < 128 && stream[i + run] == stream[i]) ++run;
        out.push_back(std::uint8_t(run > 1 ? 0x80 | (run - 1) : 0));
        putPixel(out, stream[i], pixelBytes);
        i += run;
    }
    return out;
}

}  // namespace fixtures
