#include "device.h"

#include <cstring>

SoftwareDevice::SoftwareDevice() {
    direct3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    if (!direct3d_) {
        error_ = "Direct3D is not available";
        return;
    }
    D3DPRESENT_PARAMETERS params;
    std::memset(&params, 0, sizeof(params));
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.BackBufferFormat = D3DFMT_UNKNOWN;
    HRESULT result = direct3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                             D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device_);
    if (FAILED(result) || !device_) {
        error_ = "could not create the Direct3D device";
        device_ = nullptr;
    }
}

SoftwareDevice::~SoftwareDevice() {
    if (device_) device_->Release();
    if (direct3d_) direct3d_->Release();
}
