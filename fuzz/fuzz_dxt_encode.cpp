// Block compression of arbitrary texels into every DXT format, with the
// promises that must hold for any block: DXT1 keeps one-bit alpha exactly,
// interpolated alpha keeps a constant alpha exactly, and a block of one
// colour that R5G6B5 holds comes back exact.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "fuzz_device.h"

namespace {

void invariant(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "invariant: %s\n", what);
    std::abort();
}

struct Surface {
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* surface = nullptr;
    explicit Surface(D3DFORMAT format) {
        D3DXCreateTexture(fuzzDevice(), 4, 4, 1, 0, format, D3DPOOL_SYSTEMMEM, &texture);
        texture->GetSurfaceLevel(0, &surface);
    }
    ~Surface() {
        surface->Release();
        texture->Release();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // 16 A8R8G8B8 texels; a short input repeats, so one colour is common.
    uint32_t texels[16];
    for (int i = 0; i < 16; ++i) {
        uint8_t bytes[4];
        for (int b = 0; b < 4; ++b) bytes[b] = size ? data[(4 * i + b) % size] : 0;
        std::memcpy(&texels[i], bytes, 4);
    }
    RECT rect = {0, 0, 4, 4};
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5}) {
        Surface packed(format), back(D3DFMT_A8R8G8B8);
        invariant(D3DXLoadSurfaceFromMemory(packed.surface, nullptr, nullptr, texels, D3DFMT_A8R8G8B8, 16, nullptr,
                                            &rect, D3DX_FILTER_NONE, 0) == D3D_OK,
                  "compression failed");
        invariant(D3DXLoadSurfaceFromSurface(back.surface, nullptr, nullptr, packed.surface, nullptr, nullptr,
                                             D3DX_FILTER_NONE, 0) == D3D_OK,
                  "decompression failed");
        D3DLOCKED_RECT locked;
        back.texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
        uint32_t decoded[16];
        for (int y = 0; y < 4; ++y)
            std::memcpy(decoded + 4 * y, static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch, 16);
        back.texture->UnlockRect(0);
        bool oneColour = true, constantAlpha = true;
        for (int i = 1; i < 16; ++i) {
            oneColour = oneColour && texels[i] == texels[0];
            constantAlpha = constantAlpha && (texels[i] >> 24) == (texels[0] >> 24);
        }
        for (int i = 0; i < 16; ++i) {
            const uint32_t alpha = texels[i] >> 24, got = decoded[i] >> 24;
            if (format == D3DFMT_DXT1) {
                invariant(got == (alpha < 128 ? 0u : 255u), "DXT1 alpha is not the source's one bit");
                if (alpha < 128) invariant(decoded[i] == 0, "DXT1 transparent texel is not black");
            }
            if ((format == D3DFMT_DXT5 || format == D3DFMT_DXT4) && constantAlpha)
                invariant(got == alpha, "constant interpolated alpha changed");
        }
        // One colour that R5G6B5 holds: each channel's low bits repeat its high ones.
        const uint32_t c = texels[0];
        const bool holds = ((c >> 16 & 255) >> 5) == ((c >> 16) & 7) && ((c >> 8 & 255) >> 6) == ((c >> 8) & 3) &&
                           ((c & 255) >> 5) == (c & 7);
        if (oneColour && holds && (format == D3DFMT_DXT5 || (format == D3DFMT_DXT1 && (c >> 24) >= 128)))
            invariant((decoded[0] & 0xffffffu) == (c & 0xffffffu), "a colour R5G6B5 holds did not come back exact");
    }
    return 0;
}
