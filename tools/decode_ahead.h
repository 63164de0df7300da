// Tells the software layer which files the library is about to load for a
// group's pages, so that its threads decode them while the library composes.
#pragma once

#include <d3d9.h>

#include <vector>

#include "layout_probe.h"

// Announces the sources of `pages` (the layout the library is about to
// compose on `device`) in the order the library loads them. Off when the
// environment sets TEXATLAS_DECODE_AHEAD=0, for comparisons.
void announceSourceLoads(IDirect3DDevice9* device, const std::vector<texatlas_layout::LaidOutPage>& pages);

// Frees whatever was decoded and not taken.
void clearSourceLoads(IDirect3DDevice9* device);
