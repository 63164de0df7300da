// Entry points not implemented yet: each fails cleanly.
#include <d3d9.h>
#include <d3dx9.h>

extern "C" {

HRESULT WINAPI D3DXSaveTextureToFileA(LPCSTR, D3DXIMAGE_FILEFORMAT, LPDIRECT3DBASETEXTURE9, const PALETTEENTRY*) {
    return E_NOTIMPL;
}

}  // extern "C"
