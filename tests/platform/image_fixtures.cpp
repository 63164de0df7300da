#include "platform/image_fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

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

std::string scratchPath(const std::string& name) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string dir = std::string(TA_TEST_SCRATCH) + "/" + test->test_suite_name() + "." + test->name();
    std::filesystem::create_directories(dir);
    return dir + "/" + name;
}

std::string writeScratch(const std::string& name, const Bytes& bytes) {
    std::string path = scratchPath(name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

std::string commandOutput(const std::string& command) {
    std::string output;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        pclose(pipe);
    }
    return output;
}

std::string convertPixels(const std::vector<Rgba>& pixels, unsigned width, unsigned height, const std::string& options,
                          const std::string& outputName) {
    Bytes raw;
    for (const Rgba& p : pixels) raw.insert(raw.end(), {p.r, p.g, p.b, p.a});
    std::string rawPath = writeScratch(outputName + ".rgba", raw);
    std::string outPath = scratchPath(outputName);
    std::string command = "convert -size " + std::to_string(width) + "x" + std::to_string(height) + " -depth 8 rgba:'" +
                          rawPath + "' " + options + " '" + outPath + "' 2>/dev/null";
    return std::system(command.c_str()) == 0 ? outPath : std::string();
}

Bytes bmpFile(const BmpImage& image) {
    unsigned rowBytes = (image.width * image.bits + 31) / 32 * 4, offset = 14 + 40 + (image.bitfields ? 12 : 0);
    Bytes out = {'B', 'M'};
    std::uint32_t height = image.topDown ? std::uint32_t(-std::int32_t(image.height)) : image.height;
    for (std::uint32_t v : {offset + rowBytes * image.height, 0u, offset, 40u, image.width, height}) put32(out, v);
    put16(out, 1);
    put16(out, image.bits);
    for (std::uint32_t v : {image.bitfields ? 3u : 0u, rowBytes * image.height, 2835u, 2835u, 0u, 0u}) put32(out, v);
    if (image.bitfields)
        for (std::uint32_t mask : image.masks) put32(out, mask);
    for (unsigned row = 0; row < image.height; ++row) {
        unsigned y = image.topDown ? row : image.height - 1 - row;
        std::size_t start = out.size();
        for (unsigned x = 0; x < image.width; ++x) putPixel(out, image.values[y * image.width + x], image.bits / 8);
        out.resize(start + rowBytes, 0);
    }
    return out;
}

Bytes tgaFile(const TgaImage& image) {
    const unsigned pixelBytes = (image.bits + 7) / 8;
    Bytes out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // true colour, no id, no colour map
    put16(out, image.width);
    put16(out, image.height);
    out.push_back(std::uint8_t(image.bits));
    out.push_back(std::uint8_t((image.topDown ? 0x20 : 0) | (image.bits == 32 ? 8 : image.bits == 16 ? 1 : 0)));
    for (unsigned row = 0; row < image.height; ++row) {
        unsigned y = image.topDown ? row : image.height - 1 - row;
        for (unsigned x = 0; x < image.width; ++x) putPixel(out, image.values[y * image.width + x], pixelBytes);
    }
    return out;
}

}  // namespace fixtures
