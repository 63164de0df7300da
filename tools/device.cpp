#include "device.h"

#include <cstring>

bool createDevice(SoftwareDevice& out, std::string& error) {
    out.direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!out.direct3d) {
        error = "Direct3D is not available";
        return false;
    }
    D3DPRESENT_PARAMETERS params;
    std::memset(&params, 0, sizeof(params));
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.BackBufferFormat = D3DFMT_UNKNOWN;
    HRESULT result = out.direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &out.device);
    if (FAILED(result) || !out.device) {
        error = "could not create the Direct3D device";
        out.device = nullptr;
        releaseDevice(out);
        return false;
    }
    return true;
}

void releaseDevice(SoftwareDevice& device) {
    if (device.device) device.device->Release();
    if (device.direct3d) device.direct3d->Release();
    device = SoftwareDevice();
}
