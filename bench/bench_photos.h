#pragma once
// Shared by the benchmarks that run on real photographs: a software device
// and the photo files (unpacked by bench/fetch_photos.sh; TA_BENCH_PHOTOS
// names their folder).
#include <d3d9.h>

#include <cstdlib>
#include <string>
#include <vector>

inline IDirect3DDevice9* benchDevice() {
    static IDirect3DDevice9* device = [] {
        IDirect3DDevice9* made = nullptr;
        D3DPRESENT_PARAMETERS params{};
        Direct3DCreate9(D3D_SDK_VERSION)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &params, &made);
        return made;
    }();
    return device;
}

inline std::vector<std::string> benchPhotoPaths() {
    const char* folder = std::getenv("TA_BENCH_PHOTOS");
    const std::string dir = folder ? folder : "build/bench-photos/photos";
    std::vector<std::string> paths;
    for (const char* name : {"astronaut.png", "chelsea.png", "coffee.png", "rocket.jpg", "motorcycle_left.png",
                             "hubble_deep_field.jpg", "ihc.png", "retina.jpg"})
        paths.push_back(dir + "/" + name);
    return paths;
}
