// Entry points not implemented yet: each fails cleanly.
#include <d3d9.h>
#include <d3dx9.h>

extern "C" {

IDirect3D9* WINAPI Direct3DCreate9(UINT) { return nullptr; }
HRESULT WINAPI D3DXCreateTexture(LPDIRECT3DDEVICE9, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                 LPDIRECT3DTEXTURE9*) {
    return E_NOTIMPL;
}
HRESULT WINAPI D3DXLoadSurfaceFromSurface(LPDIRECT3DSURFACE9, const PALETTEENTRY*, const RECT*, LPDIRECT3DSURFACE9,
                                          const PALETTEENTRY*, const RECT*, DWORD, D3DCOLOR) {
    return E_NOTIMPL;
}
HRESULT WINAPI D3DXLoadSurfaceFromMemory(LPDIRECT3DSURFACE9, const PALETTEENTRY*, const RECT*, LPCVOID, D3DFORMAT,
                                         UINT, const PALETTEENTRY*, const RECT*, DWORD, D3DCOLOR) {
    return E_NOTIMPL;
}
HRESULT WINAPI D3DXFilterTexture(LPDIRECT3DBASETEXTURE9, const PALETTEENTRY*, UINT, DWORD) { return E_NOTIMPL; }
HRESULT WINAPI D3DXSaveTextureToFileA(LPCSTR, D3DXIMAGE_FILEFORMAT, LPDIRECT3DBASETEXTURE9, const PALETTEENTRY*) {
    return E_NOTIMPL;
}

}  // extern "C"
