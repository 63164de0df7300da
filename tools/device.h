// The software Direct3D 9 device that composes the pages, as a host would
// create its own.
#pragma once

#include <d3d9.h>

#include <string>

struct SoftwareDevice {
    IDirect3D9* direct3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

// False with `error` set when no device can be made.
bool createDevice(SoftwareDevice& out, std::string& error);
void releaseDevice(SoftwareDevice& device);
