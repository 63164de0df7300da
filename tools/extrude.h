// --extrude: pages whose texels match their index. The library copies a
// bordered texture's image into its cell and leaves the margin empty at level
// 0, and at lower levels puts the image at the cell's corner with black after
// it. Watching the library's copies through the layer's surface-copy hook,
// the tool moves each level's image to where the index rectangle says and
// fills the rest of the cell with the nearest image texel, before any block
// compression. The library itself is not changed.
#pragma once

#include <d3d9.h>
#include <textureatlas/types.h>

#include <vector>

#include "layout_probe.h"

struct Extrusion;

// Watches the copies into `device`'s surfaces until stopExtrusion, expecting
// the library to compose `pages` (its own layout of what it was given, in
// page order; they must outlive the watch). Anything unexpected stops the
// extrusion of that page, with a warning: what was extruded stays, the rest
// is as the library wrote it. Null, with a warning, when the device takes no
// hook.
Extrusion* startExtrusion(IDirect3DDevice9* device, const std::vector<texatlas_layout::LaidOutPage>& pages,
                          textureatlas::MessageCallback warning);

// Removes the hook. `composed`: the library composed every page, so a copy
// that never came is a warning too.
void stopExtrusion(Extrusion* extrusion, bool composed);
