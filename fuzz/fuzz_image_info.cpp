// The image information probe on arbitrary bytes: every file type it knows.
#include <d3dx9.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    D3DXIMAGE_INFO info = {};
    HRESULT result = D3DXGetImageInfoFromFileInMemory(data, static_cast<UINT>(size), &info);
    if (SUCCEEDED(result) && (info.Width == 0 || info.Height == 0 || info.MipLevels == 0)) {
        // A probe that succeeds must describe an image that can exist.
        std::fprintf(stderr, "accepted a %ux%u image with %u levels\n", info.Width, info.Height, info.MipLevels);
        std::abort();
    }
    return 0;
}
