// Shared by the image fuzz targets: one software device for the whole run,
// and a check that every texture and surface an input produced was released.
#pragma once

#include <d3d9.h>
#include <d3d9_testing.h>
#include <d3dx9.h>

#include <cstdio>
#include <cstdlib>

inline IDirect3DDevice9* fuzzDevice() {
    static IDirect3DDevice9* device = [] {
        IDirect3DDevice9* created = nullptr;
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (d3d) {
            D3DPRESENT_PARAMETERS parameters = {};
            parameters.Windowed = TRUE;
            parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
            d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                              &parameters, &created);
            d3d->Release();
        }
        if (!created) {
            std::fprintf(stderr, "no software device\n");
            std::abort();
        }
        return created;
    }();
    return device;
}

// A texture or surface still alive after an input is a reference leak.
inline void requireNoLiveResources() {
    d3d9soft::LiveObjects live = d3d9soft::liveObjects();
    if (live.textures != 0 || live.surfaces != 0) {
        std::fprintf(stderr, "leaked %ld textures, %ld surfaces\n", live.textures, live.surfaces);
        std::abort();
    }
}

// Loads `data` as a page source is loaded, then as a block-compressed page
// would convert it, and checks that every level can be read back.
inline void loadEveryWay(const void* data, size_t size) {
    IDirect3DDevice9* device = fuzzDevice();
    D3DXIMAGE_INFO info = {};
    IDirect3DTexture9* texture = nullptr;
    if (SUCCEEDED(D3DXCreateTextureFromFileInMemoryEx(device, data, static_cast<UINT>(size), D3DX_DEFAULT,
                                                      D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM,
                                                      D3DX_FILTER_NONE, D3DX_DEFAULT, 0, &info, nullptr,
                                                      &texture))) {
        for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
            IDirect3DSurface9* surface = nullptr;
            if (FAILED(texture->GetSurfaceLevel(level, &surface))) continue;
            D3DLOCKED_RECT locked = {};
            D3DSURFACE_DESC desc = {};
            if (SUCCEEDED(surface->GetDesc(&desc)) && SUCCEEDED(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
                // Touch the last row so that a short allocation shows up.
                bool blocks = desc.Format == D3DFMT_DXT1 || desc.Format == D3DFMT_DXT2 ||
                              desc.Format == D3DFMT_DXT3 || desc.Format == D3DFMT_DXT4 || desc.Format == D3DFMT_DXT5;
                size_t rows = blocks ? (desc.Height + 3) / 4 : desc.Height;
                volatile const unsigned char* bits = static_cast<const unsigned char*>(locked.pBits);
                if (rows > 0 && locked.Pitch > 0) (void)bits[(rows - 1) * static_cast<size_t>(locked.Pitch)];
                surface->UnlockRect();
            }
            surface->Release();
        }
        texture->Release();
    }
    // Exact size, one level, converted to a block format: the DXT path.
    texture = nullptr;
    if (SUCCEEDED(D3DXCreateTextureFromFileInMemoryEx(device, data, static_cast<UINT>(size), D3DX_DEFAULT_NONPOW2,
                                                      D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_DXT5, D3DPOOL_SYSTEMMEM,
                                                      D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture))) {
        texture->Release();
    }
    requireNoLiveResources();
}
