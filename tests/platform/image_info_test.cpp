// Image header probes: the file's own format and size for every file type,
// and refusal of empty, corrupt, truncated and hostile data.
#include <d3dx9.h>
#include <gtest/gtest.h>

#include "platform/image_fixtures.h"

#include <cstdlib>
#include <cstring>

using namespace fixtures;

namespace {

HRESULT probe(const Bytes& bytes, D3DXIMAGE_INFO& info) {
    info = D3DXIMAGE_INFO{};
    return D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), &info);
}

void put32(Bytes& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = std::uint8_t(v >> (8 * i));
}

// A legacy DDS header followed by `dataBytes` zero bytes.
Bytes ddsFile(std::uint32_t width, std::uint32_t height, std::uint32_t mips, std::uint32_t pfFlags,
              std::uint32_t fourCc, std::uint32_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b,
              std::uint32_t a, std::size_t dataBytes) {
    Bytes dds(128 + dataBytes, 0);
    std::memcpy(dds.data(), "DDS ", 4);
    put32(dds, 4, 124);
    put32(dds, 8, 0x1007 | (mips > 1 ? 0x20000 : 0));
    put32(dds, 12, height);
    put32(dds, 16, width);
    put32(dds, 28, mips);
    put32(dds, 76, 32);
    put32(dds, 80, pfFlags);
    put32(dds, 84, fourCc);
    put32(dds, 88, bits);
    put32(dds, 92, r);
    put32(dds, 96, g);
    put32(dds, 100, b);
    put32(dds, 104, a);
    put32(dds, 108, 0x1000);
    return dds;
}

struct Expected {
    UINT width, height, mips;
    D3DFORMAT format;
    D3DXIMAGE_FILEFORMAT fileFormat;
};

void expectInfo(const Bytes& file, const Expected& expected, const std::string& what) {
    SCOPED_TRACE(what);
    D3DXIMAGE_INFO info;
    ASSERT_EQ(probe(file, info), D3D_OK);
    EXPECT_EQ(info.Width, expected.width);
    EXPECT_EQ(info.Height, expected.height);
    EXPECT_EQ(info.MipLevels, expected.mips);
    EXPECT_EQ(info.Depth, 1u);
    EXPECT_EQ(info.Format, expected.format);
    EXPECT_EQ(info.ImageFileFormat, expected.fileFormat);
}

struct ConvertCase {
    const char* name;
    const char* options;
    bool opaque;
    D3DFORMAT format;
    D3DXIMAGE_FILEFORMAT fileFormat;
    UINT mips;
};

const ConvertCase kConverted[] = {
    {"rgb8.png", "-depth 8 -define png:color-type=2", true, D3DFMT_X8R8G8B8, D3DXIFF_PNG, 1},
    {"rgba8.png", "-depth 8 -define png:color-type=6", false, D3DFMT_A8R8G8B8, D3DXIFF_PNG, 1},
    {"rgb16.png", "-depth 16 -define png:bit-depth=16 -define png:color-type=2", true, D3DFMT_A16B16G16R16,
     D3DXIFF_PNG, 1},
    {"rgba16.png", "-depth 16 -define png:bit-depth=16 -define png:color-type=6", false, D3DFMT_A16B16G16R16,
     D3DXIFF_PNG, 1},
    {"indexed8.png", "-define png:color-type=3 -define png:bit-depth=8", true, D3DFMT_P8, D3DXIFF_PNG, 1},
    {"indexed4.png", "-colors 12 -define png:color-type=3 -define png:bit-depth=4", true, D3DFMT_P8, D3DXIFF_PNG, 1},
    {"grey1.png", "-colorspace gray -define png:color-type=0 -define png:bit-depth=1", true, D3DFMT_L8, D3DXIFF_PNG,
     1},
    {"grey2.png", "-colorspace gray -define png:color-type=0 -define png:bit-depth=2", true, D3DFMT_L8, D3DXIFF_PNG,
     1},
    {"grey4.png", "-colorspace gray -define png:color-type=0 -define png:bit-depth=4", true, D3DFMT_L8, D3DXIFF_PNG,
     1},
    {"grey8.png", "-colorspace gray -depth 8 -define png:color-type=0", true, D3DFMT_L8, D3DXIFF_PNG, 1},
    {"grey16.png", "-colorspace gray -depth 16 -define png:color-type=0", true, D3DFMT_A16B16G16R16, D3DXIFF_PNG, 1},
    {"greyalpha.png", "-colorspace gray -depth 8 -define png:color-type=4", false, D3DFMT_A8R8G8B8, D3DXIFF_PNG, 1},
    {"colour.jpg", "-quality 95", true, D3DFMT_X8R8G8B8, D3DXIFF_JPG, 1},
    {"grey.jpg", "-colorspace gray", true, D3DFMT_L8, D3DXIFF_JPG, 1},
    {"im24.bmp", "-define bmp:format=bmp3 -type TrueColor", true, D3DFMT_R8G8B8, D3DXIFF_BMP, 1},
    {"rle24.tga", "-type TrueColor -compress RLE", true, D3DFMT_R8G8B8, D3DXIFF_TGA, 1},
    {"rle32.tga", "-type TrueColorAlpha -compress RLE", false, D3DFMT_A8R8G8B8, D3DXIFF_TGA, 1},
    {"rlegrey.tga", "-type Grayscale -compress RLE", true, D3DFMT_L8, D3DXIFF_TGA, 1},
    {"mapped.tga", "-type Palette", true, D3DFMT_P8, D3DXIFF_TGA, 1},
    {"image.ppm", "", true, D3DFMT_X8R8G8B8, D3DXIFF_PPM, 1},
    {"image.pfm", "", true, D3DFMT_A32B32G32R32F, D3DXIFF_PFM, 1},
    {"image.hdr", "", true, D3DFMT_A32B32G32R32F, D3DXIFF_HDR, 1},
    {"dxt1.dds", "-define dds:compression=dxt1 -define dds:mipmaps=3", false, D3DFMT_DXT1, D3DXIFF_DDS, 4},
    {"dxt5.dds", "-define dds:compression=dxt5 -define dds:mipmaps=2", false, D3DFMT_DXT5, D3DXIFF_DDS, 3},
    {"plain.dds", "-define dds:compression=none -define dds:mipmaps=1", false, D3DFMT_A8R8G8B8, D3DXIFF_DDS, 2},
};

}  // namespace

TEST(ImageInfo, ReportsTheFilesOwnFormatForFilesMadeByImageMagick) {
    for (const ConvertCase& c : kConverted) {
        std::string path = convertPixels(pattern(16, 8, c.opaque), 16, 8, c.options, c.name);
        ASSERT_FALSE(path.empty()) << c.name;
        expectInfo(readFile(path), {16, 8, c.mips, c.format, c.fileFormat}, c.name);

        D3DXIMAGE_INFO fromFile{};
        ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &fromFile), D3D_OK) << c.name;
        EXPECT_EQ(fromFile.Format, c.format) << c.name;
    }
}

TEST(ImageInfo, ReadsDxt3WithAFullChainFromAnIndependentWriter) {
    std::string png = convertPixels(pattern(16, 8, false), 16, 8, "-define png:color-type=6", "nv_source.png");
    std::string dds = std::string(TA_TEST_SCRATCH) + "/nv_dxt3.dds";
    ASSERT_EQ(std::system(("nvcompress -bc2 '" + png + "' '" + dds + "' >/dev/null 2>&1").c_str()), 0);
    expectInfo(readFile(dds), {16, 8, 5, D3DFMT_DXT3, D3DXIFF_DDS}, "nvcompress dxt3");
}

// 16-bit layouts are checked where they load (their texels too).
TEST(ImageInfo, TellsBmpAlphaAndIndexedLayoutsApart) {
    BmpSpec spec;
    spec.width = 5;
    spec.height = 3;
    spec.bits = 32;
    spec.values.assign(15, 0x00a0b0c0);
    expectInfo(bmpFile(spec), {5, 3, 1, D3DFMT_X8R8G8B8, D3DXIFF_BMP}, "32-bit, alpha all zero");
    spec.values[14] = 0x01a0b0c0;
    expectInfo(bmpFile(spec), {5, 3, 1, D3DFMT_A8R8G8B8, D3DXIFF_BMP}, "32-bit, one alpha byte set");

    spec.bits = 4;
    spec.palette = {0x000000, 0xff0000, 0x00ff00};
    spec.values.assign(15, 2);
    Bytes bmp = bmpFile(spec);
    expectInfo(bmp, {5, 3, 1, D3DFMT_P8, D3DXIFF_BMP}, "4-bit");
    // The same bitmap without its file header is a DIB.
    expectInfo(Bytes(bmp.begin() + 14, bmp.end()), {5, 3, 1, D3DFMT_P8, D3DXIFF_DIB}, "DIB");
}

TEST(ImageInfo, TrustsOnlyTheDdsMipCountAndTheFileLength) {
    const std::size_t chain = (8 * 8 + 4 * 4 + 2 * 2 + 1) * 4;
    Bytes dds = ddsFile(8, 8, 4, 0x41, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000, chain);
    put32(dds, 8, 0x1007);     // no MIPMAPCOUNT flag
    put32(dds, 20, 12345);     // a lying pitch
    expectInfo(dds, {8, 8, 4, D3DFMT_A8R8G8B8, D3DXIFF_DDS}, "lying flags and pitch");

    put32(dds, 28, 0);
    expectInfo(dds, {8, 8, 1, D3DFMT_A8R8G8B8, D3DXIFF_DDS}, "mip count 0");

    D3DXIMAGE_INFO info;
    put32(dds, 28, 4);
    dds.pop_back();
    EXPECT_EQ(probe(dds, info), D3DXERR_INVALIDDATA) << "one byte short of four levels";
    Bytes dx10 = ddsFile(4, 4, 1, 0x4, 0x30315844, 0, 0, 0, 0, 0, 4096);
    EXPECT_EQ(probe(dx10, info), D3DXERR_INVALIDDATA) << "extended header";
}

TEST(ImageInfo, RefusesMissingEmptyAndUnrecognisedData) {
    D3DXIMAGE_INFO info{};
    Bytes garbage(100, 'x');
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(nullptr, 10, &info), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(garbage.data(), 0, &info), D3DERR_INVALIDCALL);
    EXPECT_EQ(probe(garbage, info), D3DXERR_INVALIDDATA);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(nullptr, &info), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGetImageInfoFromFileA("", &info), D3DXERR_INVALIDDATA);
    EXPECT_EQ(D3DXGetImageInfoFromFileA("no/such/file.png", &info), D3DXERR_INVALIDDATA);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(writeScratch("empty.png", {}).c_str(), &info), D3DXERR_INVALIDDATA);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(TA_TEST_SCRATCH, &info), D3DXERR_INVALIDDATA) << "a directory";

    TgaSpec tga;
    tga.width = tga.height = 2;
    tga.values.assign(4, 0);
    Bytes file = tgaFile(tga);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), UINT(file.size()), nullptr), D3D_OK);
}

TEST(ImageInfo, RefusesHeadersThatClaimMoreThanTheFileHolds) {
    D3DXIMAGE_INFO info;
    BmpSpec bmp;
    bmp.width = bmp.height = 2;
    bmp.values.assign(4, 0);
    Bytes bmpBytes = bmpFile(bmp);
    put32(bmpBytes, 18, 65535);
    put32(bmpBytes, 22, 65535);
    EXPECT_EQ(probe(bmpBytes, info), D3DXERR_INVALIDDATA);

    TgaSpec tga;
    tga.width = tga.height = 2;
    tga.values.assign(4, 0);
    Bytes tgaBytes = tgaFile(tga);
    tgaBytes[12] = tgaBytes[13] = tgaBytes[14] = tgaBytes[15] = 0xff;
    EXPECT_EQ(probe(tgaBytes, info), D3DXERR_INVALIDDATA);

    Bytes dds = ddsFile(65535, 65535, 1, 0x41, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000, 64);
    EXPECT_EQ(probe(dds, info), D3DXERR_INVALIDDATA);
    dds = ddsFile(0x80000000u, 0x80000000u, 32, 0x4, 0x31545844, 0, 0, 0, 0, 0, 64);
    EXPECT_EQ(probe(dds, info), D3DXERR_INVALIDDATA);

    std::string ppm = "P6\n65535 65535\n255\n" + std::string(64, '\0');
    EXPECT_EQ(probe(Bytes(ppm.begin(), ppm.end()), info), D3DXERR_INVALIDDATA);
}

// A prefix of a file either fails or reports exactly what the whole file does;
// where the format fixes the data size, every prefix fails.
TEST(ImageInfo, TruncatedFilesNeverReportSomethingElse) {
    struct Sample {
        std::string path;
        bool sizeIsFixed;
    };
    const Sample samples[] = {
        {convertPixels(pattern(7, 5, false), 7, 5, "-depth 8 -define png:color-type=6", "cut.png"), false},
        {convertPixels(pattern(7, 5, true), 7, 5, "-quality 90", "cut.jpg"), false},
        {convertPixels(pattern(7, 5, true), 7, 5, "-define bmp:format=bmp3", "cut.bmp"), true},
        {convertPixels(pattern(7, 5, false), 7, 5, "-type TrueColorAlpha", "cut.tga"), true},
        {convertPixels(pattern(7, 5, true), 7, 5, "", "cut.ppm"), true},
        {convertPixels(pattern(7, 5, true), 7, 5, "", "cut.pfm"), true},
        {convertPixels(pattern(7, 5, true), 7, 5, "", "cut.hdr"), false},
        {convertPixels(pattern(8, 8, false), 8, 8, "-define dds:compression=dxt5 -define dds:mipmaps=3", "cut.dds"),
         true},
    };
    for (const Sample& sample : samples) {
        ASSERT_FALSE(sample.path.empty());
        Bytes whole = readFile(sample.path);
        D3DXIMAGE_INFO full, part;
        ASSERT_EQ(probe(whole, full), D3D_OK) << sample.path;
        for (std::size_t length = 1; length < whole.size(); ++length) {
            Bytes prefix(whole.begin(), whole.begin() + std::ptrdiff_t(length));
            HRESULT hr = probe(prefix, part);
            if (sample.sizeIsFixed) {
                EXPECT_EQ(hr, D3DXERR_INVALIDDATA) << sample.path << " cut at " << length;
            }
            if (hr != D3D_OK) continue;
            EXPECT_EQ(std::memcmp(&part, &full, sizeof full), 0) << sample.path << " cut at " << length;
        }
    }
}
