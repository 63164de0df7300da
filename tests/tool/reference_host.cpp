// The library driven directly, without the tool: the reference that the
// tool's output is compared with.
// Usage: reference_host CONFIG TEXTURE_DIR OUTPUT_DIR INDEX_FILE SORT_MODE
#include <d3d9.h>
#include <textureatlas/textureatlas.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!direct3d) return 3;
    D3DPRESENT_PARAMETERS params;
    std::memset(&params, 0, sizeof(params));
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice9* device = nullptr;
    if (FAILED(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device)))
        return 3;
    auto* configuration = textureatlas::ITextureAtlasConfiguration::create();
    configuration->setTexturePath(argv[2]);
    configuration->setOutputPath(argv[3]);
    bool ok = configuration->load(argv[1]);
    auto* atlas = textureatlas::ITextureAtlas::create(device);
    atlas->setSortMode(std::atoi(argv[5]));
    atlas->layout(configuration);
    ok = atlas->write(argv[4]) && ok;
    delete atlas;
    delete configuration;
    device->Release();
    direct3d->Release();
    return ok ? 0 : 1;
}
