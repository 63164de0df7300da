// Runs the hooks that the host set on a device: after each surface copy into
// one of its surfaces, after each save of one of its textures.
#pragma once

#include <d3d9soft.h>

namespace d3d9soft {

// Call once after a D3DXLoadSurfaceFromSurface that the host made.
void reportSurfaceCopy(const D3D9SoftSurfaceCopy& copy);

// Call once after a D3DXSaveTextureToFileA that the host made.
void reportTextureSave(const D3D9SoftTextureSave& save);

}  // namespace d3d9soft
