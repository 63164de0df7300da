// Symbolic names of Direct3D, D3DX, DirectSound, DirectMusic, DirectPlay,
// COM and Win32 result codes, as the DirectX 9 SDK's DXGetErrorString9 gives
// them. Our own table, so it never clashes with the SDK's on Windows.
#pragma once

#include <d3d9.h>

namespace textureatlas {

// The macro name of `result` ("D3DERR_INVALIDCALL"), or "Unknown".
const char* errorString(HRESULT result);

}  // namespace textureatlas
