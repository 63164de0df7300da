#include "probe.h"

#include <textureatlas/textureatlas.h>

#include "messages.h"
#include "reasons.h"

ImageProbe::ImageProbe() : configuration_(textureatlas::ITextureAtlasConfiguration::create()) {
    if (!configuration_) return;
    configuration_->setWarningCallback(silentMessage);
    configuration_->setErrorCallback(silentMessage);
    configuration_->addGroup("probe", 0, 0, "", 0, 0);
}

bool ImageProbe::probe(const std::string& path, ImageFacts& facts, std::string& reason) {
    textureatlas::ITextureAtlasConfiguration& configuration = *configuration_;
    // The texture directory is empty, so the name is the path itself.
    const textureatlas::TextureEntry* entry = configuration.addTexture(path.c_str(), false);
    if (!entry) {
        reason = unreadableReason(path);
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
