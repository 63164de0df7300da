// DXT1/DXT5 compression speed and RGB PSNR on real photographs, through
// D3DXLoadSurfaceFromSurface as page generation uses it. Photos come from
// bench/fetch_photos.sh (TA_BENCH_PHOTOS names their folder). The argument is
// the software layer's compression thread count; times are wall clock.
#include "bench_photos.h"
#include <benchmark/benchmark.h>
#include <d3d9soft.h>
#include <d3dx9.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#include <stb_image.h>

namespace {

struct Photo {
    IDirect3DTexture9* texture;
    IDirect3DSurface9* surface;
    UINT width, height;
};

struct Setup {
    IDirect3DDevice9* device = nullptr;
    std::vector<Photo> photos;
    double pixels = 0;
};

Setup& setup() {
    static Setup s = [] {
        Setup made;
        made.device = benchDevice();
        for (const std::string& path : benchPhotoPaths()) {
            int w, h, n;
            unsigned char* rgba = stbi_load(path.c_str(), &w, &h, &n, 4);
            if (!rgba) continue;
            UINT width = UINT(w) & ~3u, height = UINT(h) & ~3u;  // whole blocks only
            Photo photo{nullptr, nullptr, width, height};
            D3DXCreateTexture(made.device, width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &photo.texture);
            photo.texture->GetSurfaceLevel(0, &photo.surface);
            RECT rect{0, 0, LONG(width), LONG(height)};
            D3DXLoadSurfaceFromMemory(photo.surface, nullptr, nullptr, rgba, D3DFMT_A8B8G8R8, UINT(w) * 4, nullptr,
                                      &rect, D3DX_FILTER_NONE, 0);
            stbi_image_free(rgba);
            made.photos.push_back(photo);
            made.pixels += double(width) * height;
        }
        return made;
    }();
    return s;
}

// RGB PSNR over all photos after a trip through `format`.
double psnr(D3DFORMAT format) {
    Setup& s = setup();
    double squared = 0, samples = 0;
    for (const Photo& photo : s.photos) {
        IDirect3DTexture9 *packed, *back;
        D3DXCreateTexture(s.device, photo.width, photo.height, 1, 0, format, D3DPOOL_SYSTEMMEM, &packed);
        D3DXCreateTexture(s.device, photo.width, photo.height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &back);
        IDirect3DSurface9 *packedSurface, *backSurface;
        packed->GetSurfaceLevel(0, &packedSurface);
        back->GetSurfaceLevel(0, &backSurface);
        D3DXLoadSurfaceFromSurface(packedSurface, nullptr, nullptr, photo.surface, nullptr, nullptr, D3DX_DEFAULT, 0);
        D3DXLoadSurfaceFromSurface(backSurface, nullptr, nullptr, packedSurface, nullptr, nullptr, D3DX_FILTER_NONE, 0);
        D3DLOCKED_RECT original, decoded;
        photo.texture->LockRect(0, &original, nullptr, D3DLOCK_READONLY);
        back->LockRect(0, &decoded, nullptr, D3DLOCK_READONLY);
        for (UINT y = 0; y < photo.height; ++y) {
            const unsigned char* a = static_cast<const unsigned char*>(original.pBits) + y * original.Pitch;
            const unsigned char* b = static_cast<const unsigned char*>(decoded.pBits) + y * decoded.Pitch;
            for (UINT x = 0; x < photo.width; ++x)
                for (int c = 0; c < 3; ++c) {
                    double d = double(a[4 * x + c]) - double(b[4 * x + c]);
                    squared += d * d;
                    samples += 1;
                }
        }
        photo.texture->UnlockRect(0);
        back->UnlockRect(0);
        packedSurface->Release();
        backSurface->Release();
        packed->Release();
        back->Release();
    }
    return samples ? 10.0 * std::log10(255.0 * 255.0 / (squared / samples)) : 0.0;
}

void compress(benchmark::State& state, D3DFORMAT format) {
    Setup& s = setup();
    if (s.photos.empty()) {
        state.SkipWithError("no photos: run bench/fetch_photos.sh and set TA_BENCH_PHOTOS");
        return;
    }
    D3D9SoftSetThreadCount(unsigned(state.range(0)));
    std::vector<IDirect3DTexture9*> targets;
    std::vector<IDirect3DSurface9*> surfaces;
    for (const Photo& photo : s.photos) {
        IDirect3DTexture9* texture;
        IDirect3DSurface9* surface;
        D3DXCreateTexture(s.device, photo.width, photo.height, 1, 0, format, D3DPOOL_SYSTEMMEM, &texture);
        texture->GetSurfaceLevel(0, &surface);
        targets.push_back(texture);
        surfaces.push_back(surface);
    }
    for (auto _ : state)
        for (std::size_t i = 0; i < s.photos.size(); ++i)
            benchmark::DoNotOptimize(D3DXLoadSurfaceFromSurface(surfaces[i], nullptr, nullptr, s.photos[i].surface,
                                                                nullptr, nullptr, D3DX_DEFAULT, 0));
    for (std::size_t i = 0; i < targets.size(); ++i) {
        surfaces[i]->Release();
        targets[i]->Release();
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(s.pixels * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
    state.counters["PSNR_dB"] = psnr(format);
    state.counters["photos"] = double(s.photos.size());
}

void BM_CompressDxt1(benchmark::State& state) { compress(state, D3DFMT_DXT1); }
void BM_CompressDxt5(benchmark::State& state) { compress(state, D3DFMT_DXT5); }
BENCHMARK(BM_CompressDxt1)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompressDxt5)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
