// The two factories and the parts of the class tree that only manage the
// object's life: construction, destruction, callbacks.
#include "interface/D3DTextureAtlas.h"
#include "interface/D3DTextureAtlasConfiguration.h"

namespace textureatlas {

// Out of line so that the interfaces' vtables and type information are
// emitted (and exported) here.
ITextureAtlasConfiguration::~ITextureAtlasConfiguration() = default;
ITextureAtlas::~ITextureAtlas() = default;

ITextureAtlasConfiguration::ITextureAtlasConfiguration() = default;
ITextureAtlasConfiguration::ITextureAtlasConfiguration(const ITextureAtlasConfiguration&) = default;
ITextureAtlasConfiguration& ITextureAtlasConfiguration::operator=(const ITextureAtlasConfiguration&) = default;
ITextureAtlas::ITextureAtlas() = default;
ITextureAtlas::ITextureAtlas(const ITextureAtlas&) = default;
ITextureAtlas& ITextureAtlas::operator=(const ITextureAtlas&) = default;

// The classes' operator new yields null instead of throwing, so a failed
// allocation gives a null result here.
ITextureAtlasConfiguration* ITextureAtlasConfiguration::create() { return new D3DTextureAtlasConfiguration(); }

ITextureAtlas* ITextureAtlas::create(IDirect3DDevice9* device) { return new D3DTextureAtlas(device); }

void TextureAtlasConfiguration::setErrorCallback(MessageCallback callback) { errorCallback = callback; }
void TextureAtlasConfiguration::setWarningCallback(MessageCallback callback) { warningCallback = callback; }

void TextureAtlas::setErrorCallback(MessageCallback callback) { errorCallback = callback; }
void TextureAtlas::setWarningCallback(MessageCallback callback) { warningCallback = callback; }
void TextureAtlas::setSortMode(int mode) { sortMode = mode; }
int TextureAtlas::getMaxWidth() { return 2048; }
int TextureAtlas::getMaxHeight() { return 2048; }

D3DTextureAtlas::D3DTextureAtlas(IDirect3DDevice9* device) : device(device) {
    if (device) {
        device->AddRef();
        maxWidth = 2048;
        maxHeight = 2048;
    }
}

D3DTextureAtlas::~D3DTextureAtlas() {
    if (device) device->Release();
}

int D3DTextureAtlas::getMaxWidth() { return maxWidth; }
int D3DTextureAtlas::getMaxHeight() { return maxHeight; }

}  // namespace textureatlas
