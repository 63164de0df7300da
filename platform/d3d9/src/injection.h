// Internal side of the test support: every entry point that tests may make
// fail asks here first, and the object classes keep the live counts.
#pragma once

#include <d3d9.h>

#include <atomic>

namespace d3d9soft {

// Counts the call of `function` and tells whether it must fail; if so,
// `result` receives the HRESULT to return.
bool injectedFailure(const char* function, HRESULT& result);

extern std::atomic<long> liveDevices;
extern std::atomic<long> liveTextures;
extern std::atomic<long> liveSurfaces;

}  // namespace d3d9soft
