// Test support of the software Direct3D 9 layer; not part of the platform
// API. Lets tests count live objects and make chosen calls fail.
#pragma once

#include <d3d9.h>

namespace d3d9soft {

struct LiveObjects {
    long devices;
    long textures;
    long surfaces;  // surface objects handed out and not yet released
};

LiveObjects liveObjects();

// Makes the nth call (1 = the next one) of `function`, counted from now,
// return `result` without doing anything. Names: "D3DXCreateTexture",
// "D3DXCreateTextureFromFileExA", "D3DXCreateTextureFromFileInMemoryEx",
// "GetSurfaceLevel", "D3DXLoadSurfaceFromSurface", "D3DXSaveTextureToFileA".
void failCall(const char* function, int nth, HRESULT result);

// Calls of `function` since the last resetCalls().
int callCount(const char* function);

// Forgets pending failures and call counts.
void resetCalls();

// Threads that block compression has started since the process began.
long compressionThreadsStarted();

// What the announcement of a device did so far (all zero without one).
struct DecodeAheadCounts {
    long served;     // loads that took a texture decoded ahead
    long stale;      // decoded ahead from bytes the file no longer holds
    long takenOver;  // loads that read their file again, a thread having read it and waiting for room
    unsigned long long heldBytes, peakBytes;
};
DecodeAheadCounts decodeAheadCounts(IDirect3DDevice9* device);

// How long ago a file must have last changed for decoding ahead to trust its
// stat alone to show a later change (5 s unless set).
void setSettledAfter(long long nanoseconds);

// Block compression by the encoder built for any processor (true) or by the
// one chosen for this processor (false, as at start). Returns whether the
// chosen one is another build (for AVX2).
bool useBaselineDxtEncoder(bool baseline);

// Waits until the device's decode threads can do nothing more before the
// next load is asked for.
void waitForDecodeAhead(IDirect3DDevice9* device);

}  // namespace d3d9soft
