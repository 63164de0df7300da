// The software Direct3D 9 device that composes the pages, as a host would
// create its own; released when it goes out of scope.
#pragma once

#include <d3d9.h>

#include <string>

class SoftwareDevice {
public:
    SoftwareDevice();  // check get(): null, with error() saying why, when none could be made
    ~SoftwareDevice();
    SoftwareDevice(const SoftwareDevice&) = delete;
    SoftwareDevice& operator=(const SoftwareDevice&) = delete;

    IDirect3DDevice9* get() const { return device_; }
    const std::string& error() const { return error_; }

private:
    IDirect3D9* direct3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    std::string error_;
};
