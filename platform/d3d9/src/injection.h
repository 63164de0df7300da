// Internal side of the test support: every entry point that tests may make
// fail asks here first, and the object classes keep the live counts.
#pragma once

#include <d3d9.h>

#include <atomic>

namespace d3d9soft {

// Counts the call of `function` and tells whether it must fail; if so,
// `result` receives the HRESULT to return.
bool injectedFailure(const char* function, HRESULT& result);

// While one is alive on a thread, the layer's own nested calls (a texture
// load getting surface levels, say) are neither counted nor failed, so that
// tests count only the calls their code makes.
class InternalCalls {
public:
    InternalCalls();
    ~InternalCalls();
    InternalCalls(const InternalCalls&) = delete;
    InternalCalls& operator=(const InternalCalls&) = delete;
};

// True while an InternalCalls is alive on this thread: a call made now comes
// from the layer itself (or from a host hook it runs), not from the host.
bool insideLayerCall();

extern std::atomic<long> liveDevices;
extern std::atomic<long> liveTextures;
extern std::atomic<long> liveSurfaces;

}  // namespace d3d9soft
