#include "probe.h"

#include "messages.h"

#include <d3dx9.h>
#include <textureatlas/textureatlas.h>

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

bool openProbe(ImageProbe& probe) {
    probe.configuration = textureatlas::ITextureAtlasConfiguration::create();
    if (!probe.configuration) return false;
    probe.configuration->setWarningCallback(silentMessage);
    probe.configuration->setErrorCallback(silentMessage);
    probe.configuration->addGroup("probe", 0, 0, "", 0, 0);
    return true;
}

void closeProbe(ImageProbe& probe) {
    delete probe.configuration;
    probe.configuration = nullptr;
}

static std::string whyUnreadable(const std::string& path) {
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) return "no such file";
    if (fs::is_directory(status)) return "is a directory";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return "cannot be opened";
    int first = std::fgetc(file);
    std::fclose(file);
    if (first == EOF) return "empty file";
    D3DXIMAGE_INFO info;
    HRESULT result = D3DXGetImageInfoFromFileA(path.c_str(), &info);
    if (result == D3DXERR_INVALIDDATA) return "not an image in a format the image reader knows";
    char text[64];
    std::snprintf(text, sizeof(text), "image header rejected (result 0x%08X)", static_cast<unsigned>(result));
    return text;
}

bool probeImage(ImageProbe& probe, const std::string& path, ImageFacts& facts, std::string& reason) {
    textureatlas::ITextureAtlasConfiguration& configuration = *probe.configuration;
    // The texture directory is empty, so the name is the path itself.
    const textureatlas::TextureEntry* entry = configuration.addTexture(path.c_str(), false);
    if (!entry) {
        reason = whyUnreadable(path);
        return false;
    }
    facts.width = entry->rect.width;
    facts.height = entry->rect.height;
    facts.mipLevels = entry->mipLevels;
    facts.format = entry->format;
    // Start a fresh group now and then so that the probe does not grow forever.
    if (configuration.beginGroups()->textures.size() > 256) {
        configuration.eraseGroup(configuration.beginGroups());
        configuration.addGroup("probe", 0, 0, "", 0, 0);
    }
    return true;
}
