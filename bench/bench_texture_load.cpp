// Source texture loading as page generation does it: a file in memory to a
// power-of-two texture with its full box-filtered chain. Photos come from
// bench/fetch_photos.sh (TA_BENCH_PHOTOS names their folder); the DDS inputs
// are those photos saved as DXT5 with a full chain by the layer itself.
#include "bench_photos.h"
#include <benchmark/benchmark.h>
#include <d3dx9.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Source {
    std::vector<char> bytes;
    double pixels;
};

struct Setup {
    IDirect3DDevice9* device = nullptr;
    std::vector<Source> png, jpeg, dds;
};

IDirect3DTexture9* load(IDirect3DDevice9* device, const Source& source, UINT mipLevels) {
    IDirect3DTexture9* texture = nullptr;
    D3DXCreateTextureFromFileInMemoryEx(device, source.bytes.data(), UINT(source.bytes.size()), D3DX_DEFAULT,
                                        D3DX_DEFAULT, mipLevels, 0, D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM,
                                        D3DX_FILTER_NONE, D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
    return texture;
}

// The photo as a DXT5 DDS with every level, written by the layer.
Source asDds(IDirect3DDevice9* device, const Source& photo) {
    IDirect3DTexture9* texture = load(device, photo, 0);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    IDirect3DTexture9* compressed = nullptr;
    D3DXCreateTexture(device, desc.Width, desc.Height, 0, 0, D3DFMT_DXT5, D3DPOOL_SYSTEMMEM, &compressed);
    for (UINT level = 0; level < compressed->GetLevelCount(); ++level) {
        IDirect3DSurface9 *from = nullptr, *to = nullptr;
        texture->GetSurfaceLevel(level, &from);
        compressed->GetSurfaceLevel(level, &to);
        D3DXLoadSurfaceFromSurface(to, nullptr, nullptr, from, nullptr, nullptr, D3DX_DEFAULT, 0);
        to->Release();
        from->Release();
    }
    std::string path = "bench_texture_load.dds";
    D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, compressed, nullptr);
    compressed->Release();
    texture->Release();
    std::ifstream in(path, std::ios::binary);
    Source dds{std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), photo.pixels};
    std::remove(path.c_str());
    return dds;
}

Setup& setup() {
    static Setup s = [] {
        Setup made;
        made.device = benchDevice();
        for (const std::string& path : benchPhotoPaths()) {
            std::ifstream in(path, std::ios::binary);
            Source source{std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), 0};
            D3DXIMAGE_INFO info{};
            if (source.bytes.empty() ||
                FAILED(D3DXGetImageInfoFromFileInMemory(source.bytes.data(), UINT(source.bytes.size()), &info)))
                continue;
            source.pixels = double(info.Width) * info.Height;
            (info.ImageFileFormat == D3DXIFF_PNG ? made.png : made.jpeg).push_back(source);
        }
        for (const Source& photo : made.png) made.dds.push_back(asDds(made.device, photo));
        return made;
    }();
    return s;
}

void loadAll(benchmark::State& state, const std::vector<Source>& sources, UINT mipLevels) {
    if (sources.empty()) {
        state.SkipWithError("no photos: run bench/fetch_photos.sh");
        return;
    }
    double pixels = 0;
    for (auto _ : state) {
        for (const Source& source : sources) {
            IDirect3DTexture9* texture = load(setup().device, source, mipLevels);
            if (!texture) {
                state.SkipWithError("load failed");
                return;
            }
            texture->Release();
            pixels += source.pixels;
        }
    }
    state.counters["Mpixel/s"] = benchmark::Counter(pixels / 1e6, benchmark::Counter::kIsRate);
}

void BM_LoadPngWithChain(benchmark::State& state) { loadAll(state, setup().png, 0); }
void BM_LoadPngLevel0Only(benchmark::State& state) { loadAll(state, setup().png, 1); }
void BM_LoadJpegWithChain(benchmark::State& state) { loadAll(state, setup().jpeg, 0); }
void BM_LoadDxt5DdsWithChain(benchmark::State& state) { loadAll(state, setup().dds, 0); }

BENCHMARK(BM_LoadPngWithChain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPngLevel0Only)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadJpegWithChain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDxt5DdsWithChain)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
