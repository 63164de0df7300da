#pragma once

#include "interface/TextureAtlas.h"

#include <d3d9.h>

namespace textureatlas {

// Composes and saves the pages on a Direct3D 9 device.
class D3DTextureAtlas : public TextureAtlas {
public:
    explicit D3DTextureAtlas(IDirect3DDevice9* device);
    ~D3DTextureAtlas() override;

    bool generateFromMemory(const std::vector<MemoryImage>& images) override;
    bool generate() override;
    int getMaxWidth() override;
    int getMaxHeight() override;

protected:
    int maxWidth = 0;
    int maxHeight = 0;
    IDirect3DDevice9* device;  // holds one reference when not null

private:
    D3DTextureAtlas(const D3DTextureAtlas&) = delete;
    D3DTextureAtlas& operator=(const D3DTextureAtlas&) = delete;
};

}  // namespace textureatlas
