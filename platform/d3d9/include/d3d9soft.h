// Settings of the software Direct3D 9 layer that have no Direct3D
// counterpart; not part of the SDK headers. Safe to call from any thread.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Threads that block compression of one surface may use: 1 = none, on the
// calling thread only; 0 = the number of cores (the default). Counts above
// 256 are taken as 256. The compressed bytes are the same whatever the count.
void D3D9SoftSetThreadCount(unsigned count);

// The count in use, with 0 resolved to the number of cores.
unsigned D3D9SoftGetThreadCount(void);

#ifdef __cplusplus
}
#endif
