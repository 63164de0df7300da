// Saving the preview file types: the layout each source format is written in,
// as the image reader (ours and ImageMagick's) sees it, what comes back, and the refusals.
#include <cstdlib>

#include "platform/image_fixtures.h"
#include "platform/soft_device.h"

using namespace fixtures;

namespace {

class SaveImage : public SoftDeviceTest {
protected:
    // A 3x2 texture of `format` filled from A8R8G8B8 texels, saved as `fileFormat`.
    // `held`, if given, receives the texels the saved texture holds, as A8R8G8B8.
    HRESULT save(D3DFORMAT format, D3DXIMAGE_FILEFORMAT fileFormat, const std::string& path,
                 std::vector<std::uint32_t>* held = nullptr) {
        Level source(device, 3, 2, D3DFMT_A8R8G8B8), texture(device, 3, 2, format);
        writeLevel(source.texture, 0, kTexels, 12, 2);
        EXPECT_EQ(copy(texture, nullptr, source), D3D_OK);
        if (held) *held = argb(texture);
        return D3DXSaveTextureToFileA(path.c_str(), fileFormat, texture.texture, nullptr);
    }
    static constexpr std::uint32_t kTexels[6] = {0xff102030u, 0x80405060u, 0x00708090u,
                                                 0xffa0b0c0u, 0x40d0e0f0u, 0xff000000u};
};

std::string identify(const std::string& path) {
    return commandOutput("identify -format '%m %wx%h %z' '" + path + "' 2>&1");
}

}  // namespace

// The layout each source format is written in, and the texels the texture
// held coming back from the file where the file type keeps them (5- and 6-bit
// channels may expand one step apart in the reader).
TEST_F(SaveImage, EachSourceFormatKeepsItsLayoutAndTexels) {
    const int lossy = -1;  // no texel check
    const struct {
        D3DFORMAT format;
        D3DXIMAGE_FILEFORMAT fileFormat;
        D3DFORMAT reported;  // what the reader reports for the file
        std::size_t offset;  // a header byte that shows the layout
        std::uint8_t value;
        const char* magick;  // ImageMagick's name for the file type, depth
        int tolerance;
        bool keepsAlpha;
    } cases[] = {
        {D3DFMT_R5G6B5, D3DXIFF_BMP, D3DFMT_R5G6B5, 28, 16, "BMP3 3x2 8", 1, false},
        {D3DFMT_X1R5G5B5, D3DXIFF_BMP, D3DFMT_X1R5G5B5, 28, 16, "BMP3 3x2 8", lossy, false},
        {D3DFMT_X8R8G8B8, D3DXIFF_BMP, D3DFMT_X8R8G8B8, 28, 32, "BMP3 3x2 8", 0, false},
        {D3DFMT_A8R8G8B8, D3DXIFF_BMP, D3DFMT_A8R8G8B8, 28, 32, "BMP3 3x2 8", 0, true},
        {D3DFMT_L8, D3DXIFF_BMP, D3DFMT_P8, 28, 8, "BMP3 3x2 8", lossy, false},
        {D3DFMT_R3G3B2, D3DXIFF_BMP, D3DFMT_P8, 28, 8, "BMP3 3x2 8", 0, false},
        {D3DFMT_A4R4G4B4, D3DXIFF_BMP, D3DFMT_A8R8G8B8, 28, 32, "BMP3 3x2 8", lossy, false},
        {D3DFMT_A16B16G16R16F, D3DXIFF_BMP, D3DFMT_X8R8G8B8, 28, 32, "BMP3 3x2 8", lossy, false},
        {D3DFMT_X1R5G5B5, D3DXIFF_DIB, D3DFMT_X1R5G5B5, 14, 16, nullptr, 1, false},
        {D3DFMT_A16B16G16R16, D3DXIFF_PNG, D3DFMT_A16B16G16R16, 24, 16, "PNG 3x2 16", 0, true},
        {D3DFMT_A32B32G32R32F, D3DXIFF_PNG, D3DFMT_A16B16G16R16, 24, 16, "PNG 3x2 16", lossy, false},
        {D3DFMT_R16F, D3DXIFF_PNG, D3DFMT_A16B16G16R16, 25, 2, "PNG 3x2 16", lossy, false},
        {D3DFMT_A8R8G8B8, D3DXIFF_PNG, D3DFMT_A8R8G8B8, 24, 8, "PNG 3x2 8", 0, true},
        {D3DFMT_A8R8G8B8, D3DXIFF_TGA, D3DFMT_A8R8G8B8, 17, 0x28, "TGA 3x2 8", 0, true},
        {D3DFMT_X8R8G8B8, D3DXIFF_TGA, D3DFMT_R8G8B8, 2, 2, "TGA 3x2 8", 0, false},
        {D3DFMT_X8R8G8B8, D3DXIFF_PPM, D3DFMT_X8R8G8B8, 0, 'P', "PPM 3x2 8", 0, false},
        {D3DFMT_A8R8G8B8, D3DXIFF_JPG, D3DFMT_X8R8G8B8, 0, 0xff, "JPEG 3x2 8", lossy, false},
        {D3DFMT_A8R8G8B8, D3DXIFF_PFM, D3DFMT_A32B32G32R32F, 1, 'F', "PFM 3x2 32", 0, false},
        {D3DFMT_X8R8G8B8, D3DXIFF_HDR, D3DFMT_A32B32G32R32F, 0, '#', "HDR 3x2 16", 2, false},
    };
    const bool haveMagick = std::system("command -v identify >/dev/null 2>&1") == 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.format << " as " << c.fileFormat);
        static const char* const extensions[] = {"bmp", "jpg", "tga", "png", "dds", "ppm", "dib", "hdr", "pfm"};
        const std::string path = scratchPath(std::string("saved.") + extensions[c.fileFormat]);
        std::vector<std::uint32_t> held;
        ASSERT_EQ(save(c.format, c.fileFormat, path, &held), D3D_OK);
        const Bytes file = readFile(path);
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), UINT(file.size()), &info), D3D_OK);
        EXPECT_EQ(std::make_tuple(info.Width, info.Height, info.Format), std::make_tuple(3u, 2u, c.reported));
        ASSERT_GT(file.size(), c.offset);
        EXPECT_EQ(file[c.offset], c.value);
        if (c.magick && haveMagick) {
            EXPECT_EQ(identify(path), c.magick);
        }
        if (c.tolerance == lossy) continue;
        IDirect3DTexture9* texture = loaded(file, D3DX_DEFAULT_NONPOW2, 1, nullptr, D3DX_FILTER_NONE, D3DFMT_A8R8G8B8);
        ASSERT_TRUE(texture);
        std::vector<std::uint8_t> bytes = readLevel(texture, 0, 12, 2);
        for (int i = 0; i < 6; ++i) {
            const std::uint32_t expected = c.keepsAlpha ? held[i] : held[i] | 0xff000000u;
            for (int channel = 0; channel < 4; ++channel) {
                const int want = int(expected >> (8 * channel) & 255), got = bytes[4 * i + channel];
                EXPECT_NEAR(got, want, channel == 3 ? 0 : c.tolerance) << "texel " << i << " channel " << channel;
            }
        }
    }
}

TEST_F(SaveImage, RefusedFormatsAndFileTypes) {
    const std::string path = scratchPath("refused");
    for (D3DFORMAT bump : {D3DFMT_V8U8, D3DFMT_Q8W8V8U8, D3DFMT_V16U16, D3DFMT_X8L8V8U8, D3DFMT_A2W10V10U10})
        for (D3DXIMAGE_FILEFORMAT fileFormat : {D3DXIFF_BMP, D3DXIFF_PNG, D3DXIFF_TGA, D3DXIFF_JPG})
            EXPECT_EQ(save(bump, fileFormat, path), D3DERR_INVALIDCALL) << bump << " as " << fileFormat;
    EXPECT_EQ(save(D3DFMT_A8, D3DXIFF_JPG, path), D3DERR_INVALIDCALL);
    EXPECT_EQ(save(D3DFMT_A8, D3DXIFF_PNG, path), D3D_OK);
    EXPECT_EQ(save(D3DFMT_A8R8G8B8, D3DXIMAGE_FILEFORMAT(42), path), D3DERR_INVALIDCALL);
}
