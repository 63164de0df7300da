// The host's hooks of a device (surface copies, texture saves), and the
// texel sizes a host needs to work on the surfaces it is shown.
#include "host_hooks.h"

#include <d3d9soft.h>

#include "injection.h"
#include "objects.h"

namespace d3d9soft {

void SoftDevice::setSurfaceCopyHook(const SurfaceCopyHook& hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    copyHook = hook;
}

SoftDevice::SurfaceCopyHook SoftDevice::surfaceCopyHook() {
    std::lock_guard<std::mutex> lock(hookMutex);
    return copyHook;
}

void reportSurfaceCopy(const D3D9SoftSurfaceCopy& copy) {
    if (!copy.pDestSurface) return;
    InternalCalls internal;  // what the hook copies does not run it again
    IDirect3DDevice9* device = nullptr;
    if (FAILED(copy.pDestSurface->GetDevice(&device)) || !device) return;
    SoftDevice* soft = dynamic_cast<SoftDevice*>(device);
    SoftDevice::SurfaceCopyHook hook = soft ? soft->surfaceCopyHook() : SoftDevice::SurfaceCopyHook{};
    // The surface keeps its texture, and so the device, alive.
    device->Release();
    if (hook.function) hook.function(hook.context, &copy);
}

void SoftDevice::setTextureSaveHook(const TextureSaveHook& hook) {
    std::lock_guard<std::mutex> lock(hookMutex);
    saveHook = hook;
}

SoftDevice::TextureSaveHook SoftDevice::textureSaveHook() {
    std::lock_guard<std::mutex> lock(hookMutex);
    return saveHook;
}

void reportTextureSave(const D3D9SoftTextureSave& save) {
    if (!save.pSrcTexture) return;
    InternalCalls internal;
    IDirect3DDevice9* device = nullptr;
    if (FAILED(save.pSrcTexture->GetDevice(&device)) || !device) return;
    SoftDevice* soft = dynamic_cast<SoftDevice*>(device);
    SoftDevice::TextureSaveHook hook = soft ? soft->textureSaveHook() : SoftDevice::TextureSaveHook{};
    device->Release();  // the texture keeps the device alive
    if (hook.function) hook.function(hook.context, &save);
}

}  // namespace d3d9soft

using namespace d3d9soft;

extern "C" HRESULT D3D9SoftSetTextureSaveHook(IDirect3DDevice9* device, D3D9SoftTextureSaveHook hook, void* context) {
    SoftDevice* soft = dynamic_cast<SoftDevice*>(device);
    if (!soft) return D3DERR_INVALIDCALL;
    soft->setTextureSaveHook(SoftDevice::TextureSaveHook{hook, hook ? context : nullptr});
    return D3D_OK;
}

extern "C" HRESULT D3D9SoftSetSurfaceCopyHook(IDirect3DDevice9* device, D3D9SoftSurfaceCopyHook hook, void* context) {
    SoftDevice* soft = dynamic_cast<SoftDevice*>(device);
    if (!soft) return D3DERR_INVALIDCALL;
    soft->setSurfaceCopyHook(SoftDevice::SurfaceCopyHook{hook, hook ? context : nullptr});
    return D3D_OK;
}

extern "C" UINT D3D9SoftGetTexelBytes(D3DFORMAT format) {
    const FormatInfo& info = formatInfo(format);
    switch (info.kind) {
        case FormatKind::Packed:
        case FormatKind::Float16:
        case FormatKind::Float32:
        case FormatKind::Palette:
            return info.bytes;
        default:
            return 0;
    }
}
