// Decoding announced files ahead: a load gets exactly what it would get
// without the announcement, whatever the thread count, the order of the
// loads, the file's changes or failures, and nothing outlives a clear.
#include <d3d9soft.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/image_fixtures.h"
#include "platform/soft_device.h"

using namespace fixtures;

namespace {

class DecodeAhead : public SoftDeviceTest {
protected:
    // A 32-bit TGA of `width` x `height` whose texels depend on `seed`.
    static std::string writeImage(const std::string& name, unsigned width, unsigned height, std::uint32_t seed) {
        TgaImage image{width, height, 32, true, {}};
        for (unsigned i = 0; i < width * height; ++i) image.values.push_back((i * 2654435761u + seed) | 0x03000000u);
        return writeScratch(name, tgaFile(image));
    }

    // As the library loads its sources: the default size, every level.
    HRESULT load(const std::string& path, IDirect3DTexture9** texture, D3DXIMAGE_INFO* info = nullptr) {
        return D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN,
                                            D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, D3DX_DEFAULT, 0, info, nullptr,
                                            texture);
    }

    HRESULT announce(const std::vector<std::string>& paths, unsigned long long bound = 0) {
        std::vector<D3D9SoftTextureLoad> loads;
        for (const std::string& path : paths)
            loads.push_back(D3D9SoftTextureLoad{path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN,
                                                D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, D3DX_DEFAULT, 0});
        return D3D9SoftAnnounceTextureLoads(device, loads.data(), UINT(loads.size()), bound);
    }

    // Loads `path`: its source information, then every level's sizes and
    // bytes; empty on failure.
    std::vector<std::uint8_t> loaded(const std::string& path) {
        IDirect3DTexture9* texture = nullptr;
        D3DXIMAGE_INFO info{};
        EXPECT_EQ(load(path, &texture, &info), D3D_OK) << path;
        if (!texture) return {};
        std::vector<std::uint8_t> all(sizeof info);
        std::memcpy(all.data(), &info, sizeof info);
        for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
            D3DSURFACE_DESC desc = levelDesc(texture, level);
            std::vector<std::uint8_t> bytes = readLevel(texture, level, desc.Width * 4, desc.Height);
            all.insert(all.end(), {std::uint8_t(desc.Width), std::uint8_t(desc.Height)});
            all.insert(all.end(), bytes.begin(), bytes.end());
        }
        texture->Release();
        return all;
    }

    // A DXT5 surface compressed from a fixed pattern: a page-sized
    // compression that borrows the decode threads.
    std::vector<std::uint8_t> compressed() {
        const UINT side = 512;
        Level source(device, side, side, D3DFMT_A8R8G8B8);
        std::vector<std::uint32_t> texels(side * side);
        for (UINT i = 0; i < texels.size(); ++i) texels[i] = (i / 7 * 40503u) ^ (i % side * 977u);
        writeLevel(source.texture, 0, texels.data(), side * 4, side);
        Level target(device, side, side, D3DFMT_DXT5);
        EXPECT_EQ(copy(target, nullptr, source, D3DX_DEFAULT), D3D_OK);
        return readLevel(target.texture, 0, side * 4, side / 4);
    }
};

}  // namespace

TEST_F(DecodeAhead, LoadsGetTheTexturesOfPlainLoadsWhateverTheThreadCount) {
    std::vector<std::string> paths;
    for (unsigned i = 0; i < 12; ++i)
        paths.push_back(writeImage("source" + std::to_string(i) + ".tga", 3 + i * 5, 40 - i * 3, i));
    paths.push_back(paths[4]);  // a file loaded twice
    std::vector<std::vector<std::uint8_t>> expected;
    for (const std::string& path : paths) expected.push_back(loaded(path));
    D3D9SoftSetThreadCount(1);
    const std::vector<std::uint8_t> blocks = compressed();

    for (unsigned threads : {1u, 2u, 3u, 7u}) {
        SCOPED_TRACE(threads);
        D3D9SoftSetThreadCount(threads);
        ASSERT_EQ(announce(paths), D3D_OK);
        d3d9soft::waitForDecodeAhead(device);
        EXPECT_EQ(compressed(), blocks);  // the decode threads lent to the compression
        for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(loaded(paths[i]), expected[i]) << i;
        const d3d9soft::DecodeAheadCounts counts = d3d9soft::decodeAheadCounts(device);
        EXPECT_EQ(counts.served, threads > 1 ? long(paths.size()) : 0);
        EXPECT_EQ(counts.heldBytes, 0u);
    }
    EXPECT_EQ(D3D9SoftClearTextureLoads(device), D3D_OK);
}

// Loads asked for at once catch the threads up: each waits for a file being
// read ahead rather than reading it a second time.
TEST_F(DecodeAhead, LoadsThatCatchUpWithTheThreadsTakeWhatTheyRead) {
    std::vector<std::string> paths;
    for (unsigned i = 0; i < 200; ++i) paths.push_back(writeImage("small" + std::to_string(i) + ".tga", 2, 2, i));
    std::vector<std::vector<std::uint8_t>> expected;
    for (const std::string& path : paths) expected.push_back(loaded(path));
    for (unsigned threads : {2u, 3u}) {
        SCOPED_TRACE(threads);
        D3D9SoftSetThreadCount(threads);
        ASSERT_EQ(announce(paths), D3D_OK);
        for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(loaded(paths[i]), expected[i]) << i;
        EXPECT_EQ(d3d9soft::decodeAheadCounts(device).takenOver, 0);
    }
    EXPECT_EQ(D3D9SoftClearTextureLoads(device), D3D_OK);
}

// Settled (changed long enough ago) files are checked by their stat, others
// by their bytes; a rewrite that keeps the size and modification time
// must be caught either way.
TEST_F(DecodeAhead, AFileRewrittenAfterItWasReadIsDecodedAfresh) {
    D3D9SoftSetThreadCount(2);
    for (long long settledAfter : {5'000'000'000LL, 0LL}) {
        SCOPED_TRACE(settledAfter);
        d3d9soft::setSettledAfter(settledAfter);
        const std::string first = writeImage("first.tga", 16, 16, 1), second = writeImage("second.tga", 8, 8, 2);
        struct stat before {};
        ASSERT_EQ(::stat(first.c_str(), &before), 0);
        ASSERT_EQ(announce({first, second}), D3D_OK);
        d3d9soft::waitForDecodeAhead(device);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past a coarse clock's tick
        writeImage("first.tga", 16, 16, 3);                          // same size, other texels
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, first.c_str(), times, 0), 0);
        const std::vector<std::uint8_t> rewritten = loaded(first);
        const std::vector<std::uint8_t> secondContents = loaded(second);
        EXPECT_EQ(d3d9soft::decodeAheadCounts(device).stale, 1);
        EXPECT_EQ(d3d9soft::decodeAheadCounts(device).served, 1);
        ASSERT_EQ(D3D9SoftClearTextureLoads(device), D3D_OK);
        EXPECT_EQ(rewritten, loaded(first));
        EXPECT_EQ(secondContents, loaded(second));
    }
    d3d9soft::setSettledAfter(5'000'000'000LL);
}

TEST_F(DecodeAhead, AFailedLoadAheadReportsWhatAPlainLoadReports) {
    D3D9SoftSetThreadCount(2);
    const std::string png = convertPixels(pattern(32, 32, false), 32, 32, "", "whole.png");
    ASSERT_FALSE(png.empty());
    Bytes bytes = readFile(png);
    bytes.resize(bytes.size() / 2);
    const std::vector<std::string> bad = {writeScratch("truncated.png", bytes), writeScratch("empty.png", {}),
                                          scratchPath("missing.png"), scratchPath("")};
    std::vector<HRESULT> plain;
    for (const std::string& path : bad) {
        IDirect3DTexture9* texture = nullptr;
        plain.push_back(load(path, &texture));
        EXPECT_EQ(texture, nullptr);
        EXPECT_TRUE(FAILED(plain.back())) << path;
    }
    std::vector<std::string> announced = bad;
    announced.push_back(png);
    ASSERT_EQ(announce(announced), D3D_OK);
    d3d9soft::waitForDecodeAhead(device);
    for (std::size_t i = 0; i < bad.size(); ++i) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(load(bad[i], &texture), plain[i]) << bad[i];
        EXPECT_EQ(texture, nullptr);
    }
    EXPECT_FALSE(loaded(png).empty());
    EXPECT_EQ(d3d9soft::decodeAheadCounts(device).served, 1);
}

TEST_F(DecodeAhead, LoadsOutOfOrderOrNotAnnouncedWork) {
    D3D9SoftSetThreadCount(2);
    std::vector<std::string> paths;
    std::vector<std::vector<std::uint8_t>> expected;
    for (unsigned i = 0; i < 4; ++i) {
        paths.push_back(writeImage("source" + std::to_string(i) + ".tga", 9 + i, 5 + i, i));
        expected.push_back(loaded(paths.back()));
    }
    ASSERT_EQ(announce({paths[0], paths[1], paths[2]}), D3D_OK);
    d3d9soft::waitForDecodeAhead(device);
    // The first passes over two announced loads; the last is of one taken already.
    for (int i : {2, 0, 1, 3, 2}) EXPECT_EQ(loaded(paths[i]), expected[i]) << i;
    const d3d9soft::DecodeAheadCounts counts = d3d9soft::decodeAheadCounts(device);
    EXPECT_EQ(counts.served, 1);
    EXPECT_EQ(counts.heldBytes, 0u);  // what was passed over is freed

    // Other arguments than announced: no texture of the announcement fits.
    ASSERT_EQ(announce({paths[0]}), D3D_OK);
    d3d9soft::waitForDecodeAhead(device);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        D3DXCreateTextureFromFileExA(device, paths[0].c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN,
                                     D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
        D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 1u);
    texture->Release();
    EXPECT_EQ(d3d9soft::decodeAheadCounts(device).served, 0);
}

TEST_F(DecodeAhead, TheBoundHoldsAndClearingOrReleasingFreesEverything) {
    D3D9SoftSetThreadCount(3);
    std::vector<std::string> paths;
    for (unsigned i = 0; i < 20; ++i) paths.push_back(writeImage("tile" + std::to_string(i) + ".tga", 64, 64, i));
    // A file of 16 KiB and a texture of 21.8 KiB: two fit.
    const unsigned long long bound = 80 << 10;
    ASSERT_EQ(announce(paths, bound), D3D_OK);
    d3d9soft::waitForDecodeAhead(device);
    d3d9soft::DecodeAheadCounts counts = d3d9soft::decodeAheadCounts(device);
    EXPECT_GT(counts.heldBytes, bound / 2);
    EXPECT_LE(counts.peakBytes, bound);
    const long textures = d3d9soft::liveObjects().textures;
    EXPECT_EQ(textures, before.textures + 2);
    for (const std::string& path : paths) EXPECT_FALSE(loaded(path).empty());
    counts = d3d9soft::decodeAheadCounts(device);
    EXPECT_LE(counts.peakBytes, bound);
    EXPECT_GE(counts.served, 2);

    // Loads racing the threads for a cache with room for two: the caller
    // decodes ahead itself when it catches up, and never waits for good.
    const std::vector<std::uint8_t> first = loaded(paths[0]);
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(announce(paths, bound), D3D_OK);
        for (const std::string& path : paths) ASSERT_FALSE(loaded(path).empty());
    }
    EXPECT_EQ(loaded(paths[0]), first);

    ASSERT_EQ(announce(paths), D3D_OK);
    d3d9soft::waitForDecodeAhead(device);
    EXPECT_EQ(d3d9soft::liveObjects().textures, before.textures + long(paths.size()));
    ASSERT_EQ(D3D9SoftClearTextureLoads(device), D3D_OK);
    EXPECT_EQ(d3d9soft::liveObjects().textures, before.textures);
    EXPECT_EQ(d3d9soft::decodeAheadCounts(device).heldBytes, 0u);

    // Released with its textures decoded and not taken: the fixture's
    // teardown finds no device and no texture left.
    ASSERT_EQ(announce(paths), D3D_OK);
    d3d9soft::waitForDecodeAhead(device);
    EXPECT_EQ(D3D9SoftAnnounceTextureLoads(nullptr, nullptr, 0, 0), D3DERR_INVALIDCALL);
    D3D9SoftTextureLoad unnamed{};
    EXPECT_EQ(D3D9SoftAnnounceTextureLoads(device, &unnamed, 1, 0), D3DERR_INVALIDCALL);
}
