// The host's hooks of a device (surface copies, texture saves), and the
// texel sizes a host needs to work on the surfaces it is shown.
#include "host_hooks.h"

#include <d3d9soft.h>

#include "injection.h"
#include "objects.h"

namespace d3d9soft {

namespace {

// Runs the hook in `slot` of the device that owns `resource`, if one is set.
template <typename Resource, typename Function, typename Event>
void runHook(Resource* resource, HostHook<Function> SoftDevice::*slot, const Event& event) {
    if (!resource) return;
    InternalCalls internal;  // what the hook does does not run it again
    IDirect3DDevice9* device = nullptr;
    if (FAILED(resource->GetDevice(&device)) || !device) return;
    SoftDevice* soft = dynamic_cast<SoftDevice*>(device);
    const std::pair<Function, void*> hook = soft ? (soft->*slot).get() : std::pair<Function, void*>{nullptr, nullptr};
    device->Release();  // the resource keeps its device alive
    if (hook.first) hook.first(hook.second, &event);
}

template <typename Function>
HRESULT setHook(IDirect3DDevice9* device, HostHook<Function> SoftDevice::*slot, Function function, void* context) {
    SoftDevice* soft = dynamic_cast<SoftDevice*>(device);
    if (!soft) return D3DERR_INVALIDCALL;
    (soft->*slot).set(function, context);
    return D3D_OK;
}

}  // namespace

void reportSurfaceCopy(const D3D9SoftSurfaceCopy& copy) { runHook(copy.pDestSurface, &SoftDevice::copyHook, copy); }

void reportTextureSave(const D3D9SoftTextureSave& save) { runHook(save.pSrcTexture, &SoftDevice::saveHook, save); }

}  // namespace d3d9soft

using namespace d3d9soft;

extern "C" HRESULT D3D9SoftSetSurfaceCopyHook(IDirect3DDevice9* device, D3D9SoftSurfaceCopyHook hook, void* context) {
    return setHook(device, &SoftDevice::copyHook, hook, context);
}

extern "C" HRESULT D3D9SoftSetTextureSaveHook(IDirect3DDevice9* device, D3D9SoftTextureSaveHook hook, void* context) {
    return setHook(device, &SoftDevice::saveHook, hook, context);
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
