// The host's hooks. Surface copies: once after each copy the host makes into
// a surface of its device, with the call's arguments; never for the layer's
// own copies, for copies the hook makes, or for another device's surfaces.
// Saves: with their bytes and the system's reason. File reads: what the probe
// read, on the thread that set the hook.
#include <d3d9soft.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/image_fixtures.h"
#include "platform/soft_device.h"

namespace {

struct SeenCopy {
    D3D9SoftSurfaceCopy call;  // its rectangle pointers are only compared with null
    RECT destRect;
    std::uint32_t firstTexel;  // of the destination rectangle, read inside the hook
};

struct Recorder {
    std::vector<SeenCopy> copies;
    IDirect3DSurface9* copyAgainInto = nullptr;  // the hook's own copy, when set

    static void hook(void* context, const D3D9SoftSurfaceCopy* copy) {
        Recorder& self = *static_cast<Recorder*>(context);
        SeenCopy seen{*copy, copy->pDestRect ? *copy->pDestRect : RECT{}, 0};
        D3DLOCKED_RECT locked{};
        if (SUCCEEDED(copy->pDestSurface->LockRect(&locked, copy->pDestRect, D3DLOCK_READONLY))) {
            std::memcpy(&seen.firstTexel, locked.pBits, 4);
            copy->pDestSurface->UnlockRect();
        }
        self.copies.push_back(seen);
        if (self.copyAgainInto)
            D3DXLoadSurfaceFromSurface(self.copyAgainInto, nullptr, nullptr, copy->pSrcSurface, nullptr, nullptr,
                                       D3DX_FILTER_NONE, 0);
    }
};

struct Saves {
    std::vector<D3D9SoftTextureSave> seen;
    std::vector<std::string> files;
    static void hook(void* context, const D3D9SoftTextureSave* save) {
        static_cast<Saves*>(context)->seen.push_back(*save);
        static_cast<Saves*>(context)->files.push_back(save->pDestFile);
    }
};

struct Reads {
    struct Seen {
        std::string path;
        fixtures::Bytes bytes;
        long long modified;
    };
    std::vector<Seen> seen;
    static void hook(void* context, const D3D9SoftFileRead* read) {
        const auto* bytes = static_cast<const std::uint8_t*>(read->pBytes);
        static_cast<Reads*>(context)->seen.push_back(
            Seen{read->pSrcFile, fixtures::Bytes(bytes, bytes + read->Size), read->ModifiedNanoseconds});
        D3DXIMAGE_INFO info;
        D3DXGetImageInfoFromFileA(read->pSrcFile, &info);  // not shown again
    }
};

class SurfaceCopyHook : public SoftDeviceTest {
protected:
    void fill(const Level& level, std::uint32_t texel, UINT width, UINT height) {
        std::vector<std::uint32_t> texels(std::size_t(width) * height, texel);
        writeLevel(level.texture, 0, texels.data(), width * 4, height);
    }
    Recorder recorder;
};

TEST_F(SurfaceCopyHook, RunsOnceAfterEachHostCopyWithItsArguments) {
    ASSERT_EQ(D3D9SoftSetSurfaceCopyHook(device, Recorder::hook, &recorder), D3D_OK);
    Level page(device, 8, 8, D3DFMT_A8R8G8B8);
    Level source(device, 2, 2, D3DFMT_A8R8G8B8);
    fill(source, 0xff123456u, 2, 2);

    RECT cell{4, 2, 6, 4};
    ASSERT_EQ(copy(page, &cell, source), D3D_OK);
    ASSERT_EQ(recorder.copies.size(), 1u);
    const SeenCopy& seen = recorder.copies[0];
    ASSERT_TRUE(seen.call.pDestRect);
    EXPECT_EQ(std::make_tuple(seen.destRect.left, seen.destRect.top, seen.destRect.right, seen.destRect.bottom),
              std::make_tuple(4, 2, 6, 4));
    EXPECT_EQ(std::make_tuple(seen.call.pDestSurface, seen.call.pSrcSurface, seen.call.pSrcRect, seen.call.Filter,
                              seen.call.Result),
              std::make_tuple(page.surface, source.surface, nullptr, DWORD(D3DX_FILTER_NONE), D3D_OK));
    EXPECT_EQ(seen.firstTexel, 0xff123456u) << "the hook runs after the copy";

    // The default filter is passed unresolved; a failed call is reported with its result.
    ASSERT_EQ(copy(page, nullptr, source, D3DX_DEFAULT), D3D_OK);
    RECT outside{6, 6, 10, 10};
    EXPECT_EQ(copy(page, &outside, source), D3DERR_INVALIDCALL);
    d3d9soft::failCall("D3DXLoadSurfaceFromSurface", 1, E_OUTOFMEMORY);
    EXPECT_EQ(copy(page, &cell, source), E_OUTOFMEMORY);
    ASSERT_EQ(recorder.copies.size(), 4u);
    EXPECT_FALSE(recorder.copies[1].call.pDestRect);
    EXPECT_EQ(recorder.copies[1].call.Filter, D3DX_DEFAULT);
    EXPECT_EQ(recorder.copies[2].call.Result, D3DERR_INVALIDCALL);
    EXPECT_EQ(recorder.copies[3].call.Result, E_OUTOFMEMORY);

    ASSERT_EQ(D3D9SoftSetSurfaceCopyHook(device, nullptr, &recorder), D3D_OK);
    ASSERT_EQ(copy(page, &cell, source), D3D_OK);
    EXPECT_EQ(recorder.copies.size(), 4u) << "a removed hook is not run";
}

TEST_F(SurfaceCopyHook, NotRunForTheLayersOwnCopiesNorForCopiesTheHookMakes) {
    ASSERT_EQ(D3D9SoftSetSurfaceCopyHook(device, Recorder::hook, &recorder), D3D_OK);
    // A 3 x 3 image: loaded into a 4 x 4 texture, its chain filtered level by level.
    IDirect3DTexture9* image =
        loaded(fixtures::bmpFile({3, 3, 24, false, {}, false, std::vector<std::uint32_t>(9, 0x808080u)}));
    ASSERT_TRUE(image);
    ASSERT_EQ(image->GetLevelCount(), 3u);
    EXPECT_EQ(D3DXFilterTexture(image, nullptr, 0, D3DX_FILTER_BOX), D3D_OK);
    EXPECT_TRUE(recorder.copies.empty());

    Level page(device, 4, 4, D3DFMT_A8R8G8B8);
    Level other(device, 4, 4, D3DFMT_A8R8G8B8);
    recorder.copyAgainInto = other.surface;
    IDirect3DSurface9* top = nullptr;
    ASSERT_EQ(image->GetSurfaceLevel(0, &top), D3D_OK);
    EXPECT_EQ(copy(page.surface, nullptr, top), D3D_OK);
    top->Release();
    ASSERT_EQ(recorder.copies.size(), 1u);
    EXPECT_EQ(recorder.copies[0].call.pDestSurface, page.surface);
    recorder.copyAgainInto = nullptr;
    EXPECT_EQ(argb(other)[0], 0xff808080u) << "the hook's own copy was made";
}

// Neither hook sees another device's surfaces or textures.
TEST_F(SurfaceCopyHook, RunsOnlyForObjectsOfItsDevice) {
    IDirect3DDevice9* second = nullptr;
    D3DPRESENT_PARAMETERS params{};
    ASSERT_EQ(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &params, &second), D3D_OK);
    Recorder secondRecorder;
    Saves saves;
    ASSERT_EQ(D3D9SoftSetSurfaceCopyHook(device, Recorder::hook, &recorder), D3D_OK);
    ASSERT_EQ(D3D9SoftSetSurfaceCopyHook(second, Recorder::hook, &secondRecorder), D3D_OK);
    ASSERT_EQ(D3D9SoftSetTextureSaveHook(device, Saves::hook, &saves), D3D_OK);
    {
        Level mine(device, 4, 4, D3DFMT_A8R8G8B8);
        Level theirs(second, 4, 4, D3DFMT_A8R8G8B8);
        ASSERT_EQ(copy(theirs, nullptr, mine), D3D_OK);  // read from ours, written into theirs
        ASSERT_EQ(copy(mine, nullptr, theirs), D3D_OK);
        ASSERT_EQ(copy(mine, nullptr, mine), D3D_OK);
        ASSERT_EQ(recorder.copies.size(), 2u);
        EXPECT_EQ(recorder.copies[0].call.pDestSurface, mine.surface);
        EXPECT_EQ(recorder.copies[0].call.pSrcSurface, theirs.surface);
        EXPECT_EQ(recorder.copies[1].call.pSrcSurface, mine.surface);
        ASSERT_EQ(secondRecorder.copies.size(), 1u);
        EXPECT_EQ(secondRecorder.copies[0].call.pDestSurface, theirs.surface);
        const std::string path = fixtures::scratchPath("theirs.dds");
        EXPECT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, theirs.texture, nullptr), D3D_OK);
        EXPECT_TRUE(saves.seen.empty());
    }
    second->Release();
    EXPECT_EQ(D3D9SoftSetSurfaceCopyHook(nullptr, Recorder::hook, &recorder), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3D9SoftSetTextureSaveHook(nullptr, Saves::hook, &saves), D3DERR_INVALIDCALL);
    D3D9SoftSetTextureSaveHook(device, nullptr, nullptr);
}

TEST(TexelBytes, WholeBytesOrNone) {
    const std::pair<D3DFORMAT, UINT> rows[] = {{D3DFMT_A8R8G8B8, 4},      {D3DFMT_R5G6B5, 2},         {D3DFMT_L8, 1},
                                               {D3DFMT_A16B16G16R16F, 8}, {D3DFMT_A32B32G32R32F, 16}, {D3DFMT_DXT1, 0},
                                               {D3DFMT_DXT5, 0},          {D3DFMT_UYVY, 0},           {D3DFMT_YUY2, 0},
                                               {D3DFMT_UNKNOWN, 0}};
    for (const auto& [format, bytes] : rows) EXPECT_EQ(D3D9SoftGetTexelBytes(format), bytes) << format;
}

}  // namespace

// The texture-save hook: once after each save of a texture of its device,
// with what the file system said; a failed save names the system's reason.
// Refused and injected failures are reported to the caller alone.
TEST_F(SurfaceCopyHook, SavesAreReportedWithTheirBytesAndTheSystemsReason) {
    Saves saves;
    ASSERT_EQ(D3D9SoftSetTextureSaveHook(device, Saves::hook, &saves), D3D_OK);
    Level page(device, 8, 8, D3DFMT_A8R8G8B8, 0);
    const std::string good = fixtures::scratchPath("hooked.dds"),
                      missing = fixtures::scratchPath("no/such/folder/page.dds"), folder = fixtures::scratchPath("");
    EXPECT_EQ(D3DXSaveTextureToFileA(good.c_str(), D3DXIFF_DDS, page.texture, nullptr), D3D_OK);
    EXPECT_EQ(D3DXSaveTextureToFileA(missing.c_str(), D3DXIFF_DDS, page.texture, nullptr), D3DERR_INVALIDCALL);
    EXPECT_NE(D3DXSaveTextureToFileA(folder.c_str(), D3DXIFF_PNG, page.texture, nullptr), D3D_OK);
    ASSERT_EQ(saves.seen.size(), 3u);
    EXPECT_EQ(saves.files, (std::vector<std::string>{good, missing, folder}));
    EXPECT_EQ(saves.seen[0].Result, D3D_OK);
    EXPECT_EQ(saves.seen[0].pSrcTexture, page.texture);
    EXPECT_EQ(saves.seen[0].FileBytes, 128u + 4 * (64 + 16 + 4 + 1));  // header, then four levels
    EXPECT_EQ(saves.seen[0].SystemError, 0);
    EXPECT_EQ(saves.seen[1].SystemError, ENOENT);
    EXPECT_EQ(saves.seen[1].FileBytes, 0u);
    EXPECT_EQ(saves.seen[2].SystemError, EISDIR);
    D3D9SoftSetTextureSaveHook(device, nullptr, nullptr);
    EXPECT_EQ(D3DXSaveTextureToFileA("", D3DXIFF_DDS, page.texture, nullptr), D3DERR_INVALIDCALL);
    d3d9soft::failCall("D3DXSaveTextureToFileA", 1, E_OUTOFMEMORY);
    EXPECT_EQ(D3DXSaveTextureToFileA(good.c_str(), D3DXIFF_DDS, page.texture, nullptr), E_OUTOFMEMORY);
}

// The probe shows the file it read to the thread's hook: the whole file, an
// image or not, with the time stat gives; other threads' probes are not shown.
TEST_F(SurfaceCopyHook, FileReadsShowWhatTheProbeReadOnItsThreadOnly) {
    const fixtures::Bytes image = fixtures::ddsOf(4, 2, 1, 0, 32, 7);
    const std::string path = fixtures::writeScratch("probed.dds", image),
                      text = fixtures::writeScratch("probed.txt", fixtures::Bytes{'n', 'o'});
    Reads reads;
    D3D9SoftSetFileReadHook(Reads::hook, &reads);
    D3DXIMAGE_INFO info;
    EXPECT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3D_OK);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(text.c_str(), &info), D3DXERR_INVALIDDATA);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(fixtures::scratchPath("absent.dds").c_str(), &info), D3DXERR_INVALIDDATA);
    std::thread([&] { D3DXGetImageInfoFromFileA(path.c_str(), &info); }).join();
    D3D9SoftSetFileReadHook(nullptr, nullptr);
    D3DXGetImageInfoFromFileA(path.c_str(), &info);

    const auto& seen = reads.seen;
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].path, path);
    EXPECT_EQ(seen[0].bytes, image);
    EXPECT_EQ(seen[1].bytes, (fixtures::Bytes{'n', 'o'}));
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(seen[0].modified, status.st_mtim.tv_sec * 1000000000ll + status.st_mtim.tv_nsec);
}
