#pragma once

#include <textureatlas/export.h>
#include <textureatlas/types.h>

// The platform's device interface; declared here so that hosts need no
// Direct3D header to use the atlas.
struct IDirect3DDevice9;

namespace textureatlas {

class ITextureAtlasConfiguration;

// Lays a configuration out on atlas pages and writes the pages and the
// index file. Made by create(device), destroyed by delete through this
// pointer. The order of the operations is part of the binary interface.
class TEXTUREATLAS_API ITextureAtlas {
public:
    virtual ~ITextureAtlas();

    virtual void layout(ITextureAtlasConfiguration* configuration) = 0;
    virtual bool writeFromMemory(const std::vector<MemoryImage>& images, const char* indexFileName) = 0;
    virtual bool write(const char* indexFileName) = 0;
    virtual void setSortMode(int mode) = 0;
    virtual void setErrorCallback(MessageCallback callback) = 0;
    virtual void setWarningCallback(MessageCallback callback) = 0;

    // Holds one reference on `device` until deleted. A null device gives an
    // atlas whose maximum page size is 0. Null when allocation fails.
    static ITextureAtlas* create(IDirect3DDevice9* device);

    // What the compiler would define (they copy nothing), defined in the
    // library so that it exports them as part of its binary interface.
    ITextureAtlas();
    ITextureAtlas(const ITextureAtlas&);
    ITextureAtlas& operator=(const ITextureAtlas&);
};

}  // namespace textureatlas
