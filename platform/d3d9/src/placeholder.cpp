// Entry points not implemented yet: each fails cleanly.
#include <d3d9.h>
#include <d3d9_testing.h>
#include <d3dx9.h>

extern "C" {

IDirect3D9* WINAPI Direct3DCreate9(UINT) { return nullptr; }

HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR, D3DXIMAGE_INFO*) { return E_NOTIMPL; }
HRESULT WINAPI D3DXGetImageInfoFromFileInMemory(LPCVOID, UINT, D3DXIMAGE_INFO*) { return E_NOTIMPL; }
HRESULT WINAPI D3DXCreateTexture(LPDIRECT3DDEVICE9, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                 LPDIRECT3DTEXTURE9*) {
    return E_NOTIMPL;
}
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

namespace d3d9soft {
LiveObjects liveObjects() { return LiveObjects{0, 0, 0}; }
void failCall(const char*, int, HRESULT) {}
int callCount(const char*) { return 0; }
void resetCalls() {}
}  // namespace d3d9soft
