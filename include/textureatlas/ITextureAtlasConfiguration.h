#pragma once

#include <textureatlas/export.h>
#include <textureatlas/types.h>

namespace textureatlas {

// Groups of source textures to be packed. Made by create(), destroyed by
// delete through this pointer. The order of the operations is part of the
// binary interface: do not reorder.
class TEXTUREATLAS_API ITextureAtlasConfiguration {
public:
    virtual ~ITextureAtlasConfiguration();

    virtual bool load(const char* fileName) = 0;
    virtual void save(const char* fileName) = 0;
    virtual void setOutputPath(const char* path) = 0;
    virtual void setTexturePath(const char* path) = 0;
    virtual const char* getTexturePath() = 0;
    virtual const char* getOutputPath() = 0;
    virtual AtlasGroup* setGroup(const char* name) = 0;
    virtual AtlasGroup* addGroup(const char* name, int width, int height, const char* format,
                                 int mipLevels, int border) = 0;
    virtual TextureEntry* addTexture(const char* name, bool border) = 0;
    virtual TextureEntry* addTextureFromMemory(const char* name, const void* data, unsigned int size,
                                               bool border) = 0;
    virtual GroupIterator findGroup(const char* name) = 0;
    virtual GroupIterator beginGroups() = 0;
    virtual GroupIterator endGroups() = 0;
    virtual GroupIterator eraseGroup(GroupIterator where) = 0;
    virtual void setErrorCallback(MessageCallback callback) = 0;
    virtual void setWarningCallback(MessageCallback callback) = 0;

    // Null when the object cannot be allocated.
    static ITextureAtlasConfiguration* create();

    // What the compiler would define (they copy nothing), defined in the
    // library so that it exports them as part of its binary interface.
    ITextureAtlasConfiguration();
    ITextureAtlasConfiguration(const ITextureAtlasConfiguration&);
    ITextureAtlasConfiguration& operator=(const ITextureAtlasConfiguration&);
};

}  // namespace textureatlas
