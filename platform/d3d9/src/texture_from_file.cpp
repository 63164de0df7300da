// Placeholder until texture loading is written: the probe lands first.
#include <d3d9.h>
#include <d3dx9.h>

extern "C" {

HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9, LPCSTR, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                            DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*, PALETTEENTRY*,
                                            LPDIRECT3DTEXTURE9*) {
    return E_NOTIMPL;
}
HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9, LPCVOID, UINT, UINT, UINT, UINT, DWORD,
                                                   D3DFORMAT, D3DPOOL, DWORD, DWORD, D3DCOLOR, D3DXIMAGE_INFO*,
                                                   PALETTEENTRY*, LPDIRECT3DTEXTURE9*) {
    return E_NOTIMPL;
}

}  // extern "C"
