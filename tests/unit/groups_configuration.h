#pragma once
// A configuration whose groups are filled directly, for layout tests and the
// layout benchmark: its image probes are never reached.

#include "interface/TextureAtlasConfiguration.h"

class GroupsConfiguration : public textureatlas::TextureAtlasConfiguration {
public:
    bool readImageInfo(const std::string&, const std::string&, textureatlas::TextureEntry&) override { return false; }
    bool readImageInfoFromMemory(const std::string&, const std::string&, const void*, unsigned int,
                                 textureatlas::TextureEntry&) override {
        return false;
    }
    std::vector<textureatlas::AtlasGroup>& allGroups() { return groups; }
};
