// Surface copies as page composition makes them, and a source's mip chain.
#include <benchmark/benchmark.h>
#include <d3dx9.h>

#include <cstdint>
#include <vector>

namespace {

struct Device {
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
    Device() {
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS params{};
        direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &params, &device);
    }
    ~Device() {
        device->Release();
        direct3D->Release();
    }
};

Device& device() {
    static Device d;
    return d;
}

struct Surface {
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* surface = nullptr;
    Surface(UINT width, UINT height, D3DFORMAT format, UINT levels = 1) {
        D3DXCreateTexture(device().device, width, height, levels, 0, format, D3DPOOL_SYSTEMMEM, &texture);
        texture->GetSurfaceLevel(0, &surface);
        D3DLOCKED_RECT locked;
        texture->LockRect(0, &locked, nullptr, 0);
        auto* bytes = static_cast<std::uint8_t*>(locked.pBits);
        for (std::size_t i = 0; i < std::size_t(locked.Pitch) * height; ++i) bytes[i] = std::uint8_t(i * 13 + i / 977);
        texture->UnlockRect(0);
    }
    ~Surface() {
        surface->Release();
        texture->Release();
    }
};

// A whole 2048x2048 level into a page of the same size.
void copyWhole(benchmark::State& state, D3DFORMAT from) {
    const UINT size = 2048;
    Surface source(size, size, from), page(size, size, D3DFMT_A8R8G8B8);
    for (auto _ : state)
        benchmark::DoNotOptimize(D3DXLoadSurfaceFromSurface(page.surface, nullptr, nullptr, source.surface, nullptr,
                                                            nullptr, D3DX_FILTER_NONE, 0));
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(size) * size * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

void BM_CopyArgbToArgb(benchmark::State& state) { copyWhole(state, D3DFMT_A8R8G8B8); }
void BM_CopyXrgbToArgb(benchmark::State& state) { copyWhole(state, D3DFMT_X8R8G8B8); }
void BM_CopyR5G6B5ToArgb(benchmark::State& state) { copyWhole(state, D3DFMT_R5G6B5); }
void BM_CopyA4R4G4B4ToArgbFloatPath(benchmark::State& state) { copyWhole(state, D3DFMT_A4R4G4B4); }
BENCHMARK(BM_CopyArgbToArgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyXrgbToArgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyR5G6B5ToArgb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyA4R4G4B4ToArgbFloatPath)->Unit(benchmark::kMillisecond);

// Sprites of 100x60 into cells of a 2048x2048 page, as composition places them.
void BM_SpriteBlit(benchmark::State& state) {
    const UINT page = 2048, width = 100, height = 60;
    Surface sprite(width, height, D3DFMT_A8R8G8B8), target(page, page, D3DFMT_A8R8G8B8);
    std::int64_t pixels = 0;
    for (auto _ : state) {
        for (UINT y = 0; y + height <= page; y += height)
            for (UINT x = 0; x + width <= page; x += width) {
                RECT cell{LONG(x), LONG(y), LONG(x + width), LONG(y + height)};
                D3DXLoadSurfaceFromSurface(target.surface, nullptr, &cell, sprite.surface, nullptr, nullptr,
                                           D3DX_FILTER_NONE, 0);
                pixels += width * height;
            }
    }
    state.counters["Mpixel/s"] = benchmark::Counter(double(pixels) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SpriteBlit)->Unit(benchmark::kMillisecond);

// Loading a decoded 1024x1024 source: level 0 from memory, then the box-filtered chain.
void BM_SourceWithMipChain(benchmark::State& state) {
    const UINT size = 1024;
    std::vector<std::uint32_t> pixels(size * size);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = std::uint32_t(i * 2654435761u);
    RECT rect{0, 0, LONG(size), LONG(size)};
    for (auto _ : state) {
        IDirect3DTexture9* texture = nullptr;
        D3DXCreateTexture(device().device, size, size, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &texture);
        IDirect3DSurface9* top = nullptr;
        texture->GetSurfaceLevel(0, &top);
        D3DXLoadSurfaceFromMemory(top, nullptr, nullptr, pixels.data(), D3DFMT_A8B8G8R8, size * 4, nullptr, &rect,
                                  D3DX_FILTER_NONE, 0);
        D3DXFilterTexture(texture, nullptr, 0, D3DX_DEFAULT);
        top->Release();
        texture->Release();
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(size) * size * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SourceWithMipChain)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
