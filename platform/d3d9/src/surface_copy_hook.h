// Runs the surface-copy hook that the host set on the destination's device.
#pragma once

#include <d3d9soft.h>

namespace d3d9soft {

// Call once after a D3DXLoadSurfaceFromSurface that the host made.
void reportSurfaceCopy(const D3D9SoftSurfaceCopy& copy);

}  // namespace d3d9soft
