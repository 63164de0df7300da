// Block compression spread over threads writes the same bytes as on one
// thread: partial blocks at the edges, fewer block rows than threads, more
// rows than one batch, and a rectangle that keeps the rest of its blocks.
// The encoder's two builds (any processor, AVX2) write the same bytes too,
// and a block met again gets the bytes it would get alone.
#include <d3d9soft.h>

#include "soft_device.h"

namespace {

class ThreadedCompression : public SoftDeviceTest {
protected:
    // One colour per 4x4 cell, with a little texel noise so blocks are not flat.
    static std::vector<std::uint32_t> cells(UINT width, UINT height, std::uint32_t seed) {
        std::vector<std::uint32_t> texels(std::size_t(width) * height);
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x) {
                std::uint32_t cell = ((x / 4) * 7919u + (y / 4) * 104729u + seed) * 2654435761u;
                cell ^= cell >> 15;
                std::uint32_t noise = (x * 31 + y * 17) % 7;
                std::uint32_t texel = cell & 0xfff8f8f8u;  // room for the noise in each colour channel
                texels[std::size_t(y) * width + x] = texel + noise * 0x010101u;
            }
        return texels;
    }

    // Blocks of every kind the encoder tells apart: noise in colour and
    // alpha, two to four colours, a gradient, and texels cut out by DXT1's alpha.
    static std::vector<std::uint32_t> mixed(UINT width, UINT height, std::uint32_t seed) {
        auto hash = [](std::uint32_t v) {
            v = (v ^ (v >> 16)) * 0x45d9f3bu;
            return v ^ (v >> 16);
        };
        std::vector<std::uint32_t> texels(std::size_t(width) * height);
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x) {
                const std::uint32_t block = hash((x / 4) * 7919u + (y / 4) * 104729u + seed),
                                    noise = hash(block + x * 4 + y);
                std::uint32_t& texel = texels[std::size_t(y) * width + x];
                switch (block % 4) {
                    case 0:
                        texel = noise;
                        break;
                    case 1:
                        texel = 0xff000000u | hash(block + noise % (2 + block / 4 % 3));
                        break;
                    case 2:
                        texel = 0xff000000u | ((block & 0x808080u) + (x % 4 + y % 4) * 0x0b0907u + noise % 3);
                        break;
                    default:
                        texel = (noise % 3 ? 0xff000000u : 0x40000000u) | ((block & 0xefefefu) + noise % 16);
                        break;
                }
            }
        return texels;
    }

    std::vector<std::uint32_t> (*fill)(UINT, UINT, std::uint32_t) = cells;

    // A surface of `format` at `width` x `height` (any size: the device takes
    // partial blocks) filled with `cells`, then a rectangle of it overwritten.
    // `decoded`, when given, receives the result as A8R8G8B8.
    std::vector<std::uint8_t> compress(D3DFORMAT format, UINT width, UINT height, const RECT* rect,
                                       std::vector<std::uint32_t>* decoded = nullptr) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(width, height, 1, 0, format, D3DPOOL_SYSTEMMEM, &texture, nullptr), D3D_OK);
        if (!texture) return {};
        IDirect3DSurface9* surface = nullptr;
        texture->GetSurfaceLevel(0, &surface);
        Level whole(device, width, height, D3DFMT_A8R8G8B8);
        writeLevel(whole.texture, 0, fill(width, height, 1).data(), width * 4, height);
        EXPECT_EQ(copy(surface, nullptr, whole.surface), D3D_OK);
        if (rect) {
            UINT w = UINT(rect->right - rect->left), h = UINT(rect->bottom - rect->top);
            Level part(device, w, h, D3DFMT_A8R8G8B8);
            writeLevel(part.texture, 0, fill(w, h, 2).data(), w * 4, h);
            EXPECT_EQ(copy(surface, rect, part.surface), D3D_OK);
        }
        unsigned blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
        std::vector<std::uint8_t> bytes = readLevel(texture, 0, (width + 3) / 4 * blockBytes, (height + 3) / 4);
        surface->Release();
        if (decoded) *decoded = argb(texture, 0);
        texture->Release();
        return bytes;
    }
};

}  // namespace

TEST_F(ThreadedCompression, SameBytesWhateverTheThreadCount) {
    const RECT inner{5, 3, 2049, 267};
    const struct {
        UINT width, height;
        const RECT* rect;
    } surfaces[] = {
        {4094, 7, nullptr},   // two block rows, both edges partial
        {2050, 270, &inner},  // more block rows than one batch; then a rectangle unaligned on every side
    };
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5}) {
        for (const auto& s : surfaces) {
            SCOPED_TRACE(testing::Message() << format << " " << s.width << "x" << s.height << (s.rect ? " rect" : ""));
            D3D9SoftSetThreadCount(1);
            long started = d3d9soft::compressionThreadsStarted();
            const std::vector<std::uint8_t> reference = compress(format, s.width, s.height, s.rect);
            EXPECT_EQ(d3d9soft::compressionThreadsStarted(), started);  // one thread means none started
            ASSERT_FALSE(reference.empty());
            for (unsigned count : {2u, 3u, 7u}) {
                D3D9SoftSetThreadCount(count);
                started = d3d9soft::compressionThreadsStarted();
                EXPECT_EQ(compress(format, s.width, s.height, s.rect), reference) << count << " threads";
                EXPECT_GT(d3d9soft::compressionThreadsStarted(), started) << count << " threads";
            }
        }
    }
}

// Threaded output is not only self-consistent but right: each cell comes
// back close to its colour, in the last rows of the last batch too.
TEST_F(ThreadedCompression, EveryRowReachesTheSurface) {
    D3D9SoftSetThreadCount(7);
    const UINT width = 2050, height = 270;
    const std::vector<std::uint32_t> texels = cells(width, height, 1);
    std::vector<std::uint32_t> back;
    ASSERT_FALSE(compress(D3DFMT_DXT5, width, height, nullptr, &back).empty());
    ASSERT_EQ(back.size(), texels.size());
    int worst = 0;
    for (std::size_t i = 0; i < texels.size(); ++i)
        for (int c = 0; c < 32; c += 8)
            worst = std::max(worst, std::abs(int((back[i] >> c) & 255) - int((texels[i] >> c) & 255)));
    EXPECT_LE(worst, 12);
}

TEST_F(ThreadedCompression, BothEncoderBuildsWriteTheSameBytes) {
    if (!d3d9soft::useBaselineDxtEncoder(false)) GTEST_SKIP() << "this processor takes the baseline build";
    fill = mixed;
    D3D9SoftSetThreadCount(2);
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5}) {
        SCOPED_TRACE(testing::Message() << format);
        const std::vector<std::uint8_t> chosen = compress(format, 512, 256, nullptr);
        d3d9soft::useBaselineDxtEncoder(true);
        EXPECT_EQ(compress(format, 512, 256, nullptr), chosen);
        d3d9soft::useBaselineDxtEncoder(false);
    }
}

TEST_F(ThreadedCompression, RepeatedBlocksGetTheBytesTheyWouldGetAlone) {
    // 512 blocks, and each again with its last texel another colour: more
    // than the encoder remembers, so that some meet in one place. Repeated at
    // random over enough blocks for two threads.
    const std::vector<std::uint32_t> source = mixed(256, 32, 3);
    std::vector<std::vector<std::uint32_t>> variants(1024);
    for (std::size_t k = 0; k < variants.size(); ++k) {
        const std::size_t bx = k % 64, by = k % 512 / 64;
        for (std::size_t i = 0; i < 16; ++i) variants[k].push_back(source[(by * 4 + i / 4) * 256 + bx * 4 + i % 4]);
        if (k >= 512) variants[k][15] ^= 0x00ffffffu;
    }
    const UINT width = 256, height = 128;
    std::vector<std::uint32_t> texels(std::size_t(width) * height);
    std::vector<std::size_t> chosen;
    std::uint32_t state = 1;
    for (UINT by = 0; by < height / 4; ++by)
        for (UINT bx = 0; bx < width / 4; ++bx) {
            state = state * 1103515245u + 12345u;
            chosen.push_back((state >> 8) % variants.size());
            for (int i = 0; i < 16; ++i) texels[(by * 4 + i / 4) * width + bx * 4 + i % 4] = variants[chosen.back()][i];
        }
    const auto compress = [&](D3DFORMAT format, const std::vector<std::uint32_t>& from, UINT w, UINT h) {
        Level original(device, w, h, D3DFMT_A8R8G8B8), packed(device, w, h, format);
        writeLevel(original.texture, 0, from.data(), w * 4, h);
        EXPECT_EQ(copy(packed, nullptr, original), D3D_OK);
        return readLevel(packed.texture, 0, w / 4 * (format == D3DFMT_DXT1 ? 8 : 16), h / 4);
    };
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT5}) {
        SCOPED_TRACE(testing::Message() << format);
        const std::size_t bytes = format == D3DFMT_DXT1 ? 8 : 16;
        std::vector<std::vector<std::uint8_t>> alone;
        for (const std::vector<std::uint32_t>& variant : variants) alone.push_back(compress(format, variant, 4, 4));
        for (unsigned threads : {1u, 2u}) {
            D3D9SoftSetThreadCount(threads);
            const std::vector<std::uint8_t> whole = compress(format, texels, width, height);
            ASSERT_EQ(whole.size(), chosen.size() * bytes);
            for (std::size_t b = 0; b < chosen.size(); ++b)
                ASSERT_TRUE(std::equal(alone[chosen[b]].begin(), alone[chosen[b]].end(), whole.begin() + b * bytes))
                    << "block " << b << " (variant " << chosen[b] << "), " << threads << " threads";
        }
    }
}
