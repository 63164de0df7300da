// Writers of the preview file types (everything but DDS): level 0 of a
// texture, in the layout D3DX chooses for each source format.
#pragma once

#include <d3dx9.h>

#include <cstdint>
#include <vector>

namespace d3d9soft {

// Level 0 of `texture` encoded as `fileFormat` into `out`. D3DERR_INVALIDCALL
// for a file type or source format D3DX does not write.
HRESULT encodeTextureImage(IDirect3DTexture9* texture, D3DXIMAGE_FILEFORMAT fileFormat, std::vector<std::uint8_t>& out);

}  // namespace d3d9soft
