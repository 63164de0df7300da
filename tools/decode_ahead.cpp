#include "decode_ahead.h"

#include <d3d9soft.h>
#include <d3dx9.h>

#include <cstdlib>
#include <cstring>

void announceSourceLoads(IDirect3DDevice9* device, const std::vector<texatlas_layout::LaidOutPage>& pages) {
    const char* setting = std::getenv("TEXATLAS_DECODE_AHEAD");
    if (setting && std::strcmp(setting, "0") == 0) return;
    std::vector<D3D9SoftTextureLoad> loads;
    // Page by page, each in its own order: how the library's generation walks them.
    for (const texatlas_layout::LaidOutPage& page : pages)
        for (const texatlas_layout::LaidOutTexture& texture : page.textures)
            // The arguments of the library's source loads.
            loads.push_back(D3D9SoftTextureLoad{texture.path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN,
                                                D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, D3DX_DEFAULT, 0});
    // Without it every load decodes as it always did.
    D3D9SoftAnnounceTextureLoads(device, loads.data(), static_cast<UINT>(loads.size()), 0);
}

void clearSourceLoads(IDirect3DDevice9* device) { D3D9SoftClearTextureLoads(device); }
