// The layer's COM objects: the Direct3D object, the device, and textures
// whose levels live in system memory.
#pragma once

#include <d3d9.h>
#include <d3d9soft.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "pixel_format.h"

namespace d3d9soft {

constexpr unsigned maxTextureSize = 4096;

class SoftDirect3D final : public IDirect3D9 {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                                           D3DPRESENT_PARAMETERS* pPresentationParameters,
                                           IDirect3DDevice9** ppReturnedDeviceInterface) override;

private:
    std::atomic<ULONG> references{1};
};

// A function the host set on a device and its context; the host may set it
// while another thread runs it.
template <typename Function>
class HostHook {
public:
    void set(Function function, void* context) {
        std::lock_guard<std::mutex> lock(mutex);
        current = {function, function ? context : nullptr};
    }
    std::pair<Function, void*> get() {
        std::lock_guard<std::mutex> lock(mutex);
        return current;
    }

private:
    std::mutex mutex;
    std::pair<Function, void*> current{nullptr, nullptr};
};

class DecodeAhead;

class SoftDevice final : public IDirect3DDevice9 {
public:
    explicit SoftDevice(SoftDirect3D* direct3D);
    ~SoftDevice();
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(D3DCAPS9* pCaps) override;
    HRESULT STDMETHODCALLTYPE CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, IDirect3DTexture9** ppTexture,
                                            HANDLE* pSharedHandle) override;

    // The host's hooks (host_hooks.cpp).
    HostHook<D3D9SoftSurfaceCopyHook> copyHook;
    HostHook<D3D9SoftTextureSaveHook> saveHook;

    // The files announced for decoding ahead (decode_ahead.cpp); null when none.
    std::shared_ptr<DecodeAhead> decodeAhead();
    std::shared_ptr<DecodeAhead> swapDecodeAhead(std::shared_ptr<DecodeAhead> next);

private:
    std::atomic<ULONG> references{1};
    SoftDirect3D* direct3D;
    std::mutex decodeAheadMutex;
    std::shared_ptr<DecodeAhead> announced;
};

class SoftTexture;

// One level of a texture. It has no count of its own on the object: every
// reference to it is a reference to its texture, which owns it.
class SoftSurface final : public IDirect3DSurface9 {
public:
    SoftSurface(SoftTexture* texture, unsigned level);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override;

    SoftTexture* owner() const { return texture; }

private:
    SoftTexture* texture;
    unsigned level;
    std::atomic<ULONG> handedOut{0};  // references held through this surface, for the live count
};

struct TextureLevel {
    unsigned width, height;
    unsigned pitch;
    std::size_t offset;
    bool locked;
};

class SoftTexture final : public IDirect3DTexture9 {
public:
    // Fails (returns null) only when the memory cannot be had.
    static SoftTexture* create(SoftDevice* device, unsigned width, unsigned height, unsigned levels, DWORD usage,
                               const FormatInfo& format, D3DPOOL pool);
    ~SoftTexture();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObj) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** ppDevice) override;
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override;
    DWORD STDMETHODCALLTYPE GetLevelCount() override;
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
    HRESULT STDMETHODCALLTYPE LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                                       DWORD Flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT Level) override;

    SoftDevice* owner() const { return device; }
    std::size_t byteSize() const { return bytes; }
    // A texture made while a DetachedTextures was alive takes its device
    // reference here, when it is handed to the host.
    void attachDevice();

private:
    SoftTexture(SoftDevice* device, const FormatInfo& format, DWORD usage, D3DPOOL pool);

    std::atomic<ULONG> references{1};
    SoftDevice* device;
    const FormatInfo& format;
    DWORD usage;
    D3DPOOL pool;
    std::vector<TextureLevel> levels;
    std::uint8_t* memory = nullptr;  // from allocateTextureMemory, of `bytes`
    std::vector<std::unique_ptr<SoftSurface>> surfaces;
    std::size_t bytes = 0;
    bool counted = false;      // in the live count
    bool holdsDevice = false;  // holds a reference to its device
};

// While one is alive on a thread, textures made there hold no device
// reference: the threads that decode ahead must never be the ones that
// release a device, or they would wait for themselves.
class DetachedTextures {
public:
    DetachedTextures();
    ~DetachedTextures();
    DetachedTextures(const DetachedTextures&) = delete;
    DetachedTextures& operator=(const DetachedTextures&) = delete;
};

// Formats the software device creates textures of.
bool deviceHoldsFormat(D3DFORMAT format);

}  // namespace d3d9soft
