// Settings of the software Direct3D 9 layer that have no Direct3D
// counterpart; not part of the SDK headers. Safe to call from any thread.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>

#ifdef __cplusplus
extern "C" {
#endif

// Threads that block compression of one surface may use: 1 = none, on the
// calling thread only; 0 = the number of cores (the default). Counts above
// 256 are taken as 256. The compressed bytes are the same whatever the count.
void D3D9SoftSetThreadCount(unsigned count);

// The count in use, with 0 resolved to the number of cores.
unsigned D3D9SoftGetThreadCount(void);

// Surface-copy hook: lets the host that owns a device act on what each
// D3DXLoadSurfaceFromSurface wrote into a surface of that device, before the
// surface is used any further (compressed, saved).

// One finished D3DXLoadSurfaceFromSurface, its arguments as passed (null
// rectangles mean whole surfaces, the filter is not resolved).
typedef struct D3D9SoftSurfaceCopy {
    IDirect3DSurface9* pDestSurface;
    const RECT* pDestRect;
    IDirect3DSurface9* pSrcSurface;
    const RECT* pSrcRect;
    DWORD Filter;
    HRESULT Result;  // what the call returns
} D3D9SoftSurfaceCopy;

typedef void (*D3D9SoftSurfaceCopyHook)(void* context, const D3D9SoftSurfaceCopy* copy);

// Installs `hook` for the copies into surfaces of `device`, one of the
// layer's devices (D3DERR_INVALIDCALL for any other); a null hook removes it.
// It runs on the copying thread right after each call made from outside the
// layer, failed ones included, never for the layer's own internal copies; the
// calls the hook makes are internal too, so they do not run it again. The
// hook lives as long as the device.
HRESULT D3D9SoftSetSurfaceCopyHook(IDirect3DDevice9* device, D3D9SoftSurfaceCopyHook hook, void* context);

// Texture-save hook: tells the host that owns a device about each texture of
// that device that D3DXSaveTextureToFileA saved or failed to save, so that
// it can follow a build's files without watching the file system.

// One finished D3DXSaveTextureToFileA, its arguments as passed.
typedef struct D3D9SoftTextureSave {
    LPCSTR pDestFile;
    D3DXIMAGE_FILEFORMAT DestFormat;
    IDirect3DBaseTexture9* pSrcTexture;
    HRESULT Result;                // what the call returns
    unsigned long long FileBytes;  // bytes written, 0 on failure
    int SystemError;               // errno of the file operation that failed, 0 when none did
} D3D9SoftTextureSave;

typedef void (*D3D9SoftTextureSaveHook)(void* context, const D3D9SoftTextureSave* save);

// Installs `hook` for the saves of textures of `device`, one of the layer's
// devices (D3DERR_INVALIDCALL for any other); a null hook removes it. It runs
// on the saving thread right after each call made from outside the layer,
// failed ones included. The hook lives as long as the device.
HRESULT D3D9SoftSetTextureSaveHook(IDirect3DDevice9* device, D3D9SoftTextureSaveHook hook, void* context);

// Decoding ahead: a host that knows which files its coming calls of
// D3DXCreateTextureFromFileExA on a device will load, in which order and with
// which arguments, announces them; the layer's threads then decode them and
// build their textures, every level, before they are asked for.

// One announced load: the arguments the call will pass.
typedef struct D3D9SoftTextureLoad {
    LPCSTR pSrcFile;
    UINT Width;
    UINT Height;
    UINT MipLevels;
    DWORD Usage;
    D3DFORMAT Format;
    D3DPOOL Pool;
    DWORD Filter;
    DWORD MipFilter;
    D3DCOLOR ColorKey;
} D3D9SoftTextureLoad;

// Replaces the announcement of `device`, one of the layer's devices
// (D3DERR_INVALIDCALL for any other): `count` loads, copied, in the order the
// calls will come. Up to D3D9SoftGetThreadCount() - 1 threads decode ahead
// (none with a count of 1); block compression borrows them, so that the count
// still holds for both together. Textures decoded and not yet taken, with the
// file bytes they were made from if the file changed in the 5 s before it was
// read, take at most `cacheBytes` (0: 12 MiB; a file or texture larger than
// that is left to its call); the threads wait for room. A call whose file,
// arguments and device match the next announced loads takes its texture if
// the file is unchanged (the same stat for a file changed earlier than that,
// else the same bytes); any other call, and any load that failed ahead, decodes as
// without an announcement, with the same result. Loads passed over by a
// later one are dropped. Announcing nothing (count 0) clears.
HRESULT D3D9SoftAnnounceTextureLoads(IDirect3DDevice9* device, const D3D9SoftTextureLoad* loads, UINT count,
                                     unsigned long long cacheBytes);

// Drops the announcement of `device`: stops its threads and frees every
// texture not taken. Releasing the device does the same.
HRESULT D3D9SoftClearTextureLoads(IDirect3DDevice9* device);

// File-read hook: shows the host each image file that
// D3DXGetImageInfoFromFileA read, so that a host which also needs the file's
// contents or its state (to find duplicates, to record what a build used)
// takes them from the probe instead of opening the file again.

// One file as the probe read it: the whole file, mapped or read.
typedef struct D3D9SoftFileRead {
    LPCSTR pSrcFile;                // as passed
    const void* pBytes;             // valid during the hook only
    unsigned long long Size;        // bytes in pBytes: what the read found
    long long ModifiedNanoseconds;  // the file's modification time, since 1970
} D3D9SoftFileRead;

typedef void (*D3D9SoftFileReadHook)(void* context, const D3D9SoftFileRead* read);

// Installs `hook` for the probes made on the calling thread only (a null hook
// removes it); other threads' probes are not shown. It runs once per call
// that opened its file, before the header is read, whether or not the file
// turns out to be an image. Calls the hook makes are not shown to it.
void D3D9SoftSetFileReadHook(D3D9SoftFileReadHook hook, void* context);

// Bytes of one texel of `format`; 0 when its texels are not whole bytes
// (block and packed YUV formats) or the layer does not know the format.
UINT D3D9SoftGetTexelBytes(D3DFORMAT format);

#ifdef __cplusplus
}
#endif
