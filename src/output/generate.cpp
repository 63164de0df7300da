#include <d3dx9.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "formats/formats.h"
#include "interface/D3DTextureAtlas.h"
#include "interface/library_messages.h"
#include "output/dxerr.h"

namespace textureatlas {

namespace {

// Holds one reference and releases it exactly once. Locals of this type are
// declared in the order of acquisition, so they release in reverse.
template <class Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (pointer) pointer->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface** out() { return &pointer; }
    Interface* get() const { return pointer; }
    Interface* operator->() const { return pointer; }

private:
    Interface* pointer = nullptr;
};

// Where the source images come from: files, or the host's in-memory images.
struct Sources {
    IDirect3DDevice9* device;
    const std::vector<MemoryImage>* images;  // null: load each texture's file
};

struct Output {
    const std::string& directory;
    MessageCallback report;
};

LONG clampToLong(std::int64_t value) {
    const std::int64_t low = std::numeric_limits<LONG>::min();
    const std::int64_t high = std::numeric_limits<LONG>::max();
    return static_cast<LONG>(std::min(std::max(value, low), high));
}

HRESULT loadSource(const Sources& sources, const TextureEntry& texture, std::size_t position,
                   IDirect3DTexture9** source) {
    if (sources.images) {
        const MemoryImage& image = (*sources.images)[position];
        return D3DXCreateTextureFromFileInMemoryEx(sources.device, image.data, image.size, D3DX_DEFAULT, D3DX_DEFAULT,
                                                   0, 0, D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE,
                                                   D3DX_DEFAULT, 0, nullptr, nullptr, source);
    }
    return D3DXCreateTextureFromFileExA(sources.device, texture.path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0,
                                        D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, D3DX_DEFAULT, 0, nullptr,
                                        nullptr, source);
}

// Copies the source into the texture's cell on every page level while the
// halved cell is not empty. The border gap exists at level 0 only.
bool copyIntoCells(IDirect3DTexture9* page, UINT pageLevels, IDirect3DTexture9* source, const TextureEntry& texture,
                   int border, MessageCallback report) {
    const DWORD sourceLevels = source->GetLevelCount();
    const UINT sourceLast = sourceLevels > 0 ? sourceLevels - 1 : 0;
    std::int64_t x = texture.rect.x, y = texture.rect.y, w = texture.rect.width, h = texture.rect.height;
    for (UINT level = 0; level < pageLevels; ++level) {
        if (w == 0 || h == 0) break;
        const std::int64_t inset = level == 0 && texture.border ? border : 0;
        const RECT destination = {clampToLong(x + inset), clampToLong(y + inset), clampToLong(x + w - inset),
                                  clampToLong(y + h - inset)};

        ComRef<IDirect3DSurface9> sourceSurface;
        HRESULT result = source->GetSurfaceLevel(std::min(level, sourceLast), sourceSurface.out());
        if (FAILED(result)) {
            report(errorString(result));
            return false;
        }
        ComRef<IDirect3DSurface9> pageSurface;
        result = page->GetSurfaceLevel(level, pageSurface.out());
        if (FAILED(result)) {
            report(errorString(result));
            return false;
        }
        result = D3DXLoadSurfaceFromSurface(pageSurface.get(), nullptr, &destination, sourceSurface.get(), nullptr,
                                            nullptr, D3DX_FILTER_NONE, 0);
        if (FAILED(result)) {
            report(errorString(result));
            return false;
        }
        // Each value separately: the next right edge is x/2 + w/2.
        x /= 2;
        y /= 2;
        w /= 2;
        h /= 2;
    }
    return true;
}

// Block compression of the composed levels. None of these calls is checked
// and all three are made for every level, even when a surface is missing (the
// copy then fails on its own): a level that fails keeps what the new texture
// held, and the page is saved.
void compressLevels(IDirect3DTexture9* composed, UINT levels, IDirect3DTexture9* compressed) {
    for (UINT level = 0; level < levels; ++level) {
        ComRef<IDirect3DSurface9> from;
        ComRef<IDirect3DSurface9> to;
        composed->GetSurfaceLevel(level, from.out());
        compressed->GetSurfaceLevel(level, to.out());
        D3DXLoadSurfaceFromSurface(to.get(), nullptr, nullptr, from.get(), nullptr, nullptr, D3DX_DEFAULT, 0);
    }
}

bool generatePage(const AtlasGroup& page, const Sources& sources, const Output& output) {
    const UINT levelRequest = page.mipLevels < 1 ? 1 : static_cast<UINT>(page.mipLevels);
    const D3DFORMAT format = formatFromName(toUpper(page.format));
    const bool blockCompressed = isDXTFormat(format);
    const UINT width = static_cast<UINT>(page.rect.width);
    const UINT height = static_cast<UINT>(page.rect.height);

    ComRef<IDirect3DTexture9> pageTexture;
    if (FAILED(D3DXCreateTexture(sources.device, width, height, levelRequest, 0,
                                 blockCompressed ? D3DFMT_A8R8G8B8 : format, D3DPOOL_SYSTEMMEM, pageTexture.out()))) {
        output.report(messages::kCouldNotCreatePage + page.name);
        return false;
    }
    const UINT pageLevels = pageTexture->GetLevelCount();

    std::size_t count = page.textures.size();
    if (sources.images) count = std::min(count, sources.images->size());
    for (std::size_t i = 0; i < count; ++i) {
        const TextureEntry& texture = page.textures[i];
        ComRef<IDirect3DTexture9> source;
        if (FAILED(loadSource(sources, texture, i, source.out()))) {
            output.report(messages::kCouldNotLoadTexture + texture.path);
            return false;
        }
        if (!copyIntoCells(pageTexture.get(), pageLevels, source.get(), texture, page.border, output.report))
            return false;
    }

    const std::string path = output.directory + page.name + ".dds";
    const std::string saveError = messages::kErrorSavingTexture + path + "\"";
    if (!blockCompressed) {
        if (FAILED(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, pageTexture.get(), nullptr))) {
            output.report(saveError);
            return false;
        }
        return true;
    }
    // Negative or zero counts go to D3DX as they are: it makes the full chain.
    ComRef<IDirect3DTexture9> compressed;
    if (FAILED(D3DXCreateTexture(sources.device, width, height, static_cast<UINT>(page.mipLevels), 0, format,
                                 D3DPOOL_SYSTEMMEM, compressed.out()))) {
        output.report(saveError);
        return false;
    }
    compressLevels(pageTexture.get(), pageLevels, compressed.get());
    if (FAILED(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, compressed.get(), nullptr))) {
        output.report(saveError);
        return false;
    }
    return true;
}

bool generatePages(const std::vector<AtlasGroup>& pages, const Sources& sources, const Output& output) {
    for (const AtlasGroup& page : pages)
        if (!generatePage(page, sources, output)) return false;
    return true;
}

}  // namespace

bool D3DTextureAtlas::generateFromMemory(const std::vector<MemoryImage>& images) {
    return generatePages(pages, Sources{device, &images}, Output{outputPath, errorCallback});
}

bool D3DTextureAtlas::generate() {
    return generatePages(pages, Sources{device, nullptr}, Output{outputPath, errorCallback});
}

}  // namespace textureatlas
