// Symbolic names of Direct3D, D3DX, DirectSound, DirectMusic, DirectPlay,
// COM and Win32 result codes, as the DirectX 9 SDK's DXGetErrorString9 gives
// them. Our own table, so it never clashes with the SDK's on Windows.
#pragma once

#include <d3d9.h>

#include <cstddef>

namespace textureatlas {

// The macro name of `result` ("D3DERR_INVALIDCALL"), or "Unknown".
const char* errorString(HRESULT result);

// The name in row `index` of the table, or null past the last row: for a
// host that must tell these names from the library's other messages.
const char* resultNameAt(std::size_t index);

}  // namespace textureatlas
