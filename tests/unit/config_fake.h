// A configuration whose image probes answer from a table instead of files,
// and a log of what reaches the callbacks and the virtual operations.
#pragma once

#include "interface/TextureAtlasConfiguration.h"

#include <map>
#include <string>
#include <vector>

namespace configtest {

using namespace textureatlas;

// Everything the callbacks receive and the reader calls, in order.
inline std::vector<std::string>& eventLog() {
    static std::vector<std::string> log;
    return log;
}
inline void logError(const std::string& message) { eventLog().push_back("error: " + message); }
inline void logWarning(const std::string& message) { eventLog().push_back("warning: " + message); }

struct FakeImage {
    int width, height;
    std::string format;
    int mipLevels;
};

class FakeConfiguration : public TextureAtlasConfiguration {
public:
    // Keyed by directory + name. Names not listed probe as a 64x32 DXT1 image,
    // unless they contain "missing".
    std::map<std::string, FakeImage> images;
    std::vector<std::string> probes;  // "file <dir>|<name>" or "memory <dir>|<name>|<size>"
    const void* lastData = nullptr;

    FakeConfiguration() {
        setErrorCallback(logError);
        setWarningCallback(logWarning);
    }

    std::vector<AtlasGroup>& allGroups() { return groups; }
    AtlasGroup* current() { return currentGroup; }

    AtlasGroup* addGroup(const char* name, int width, int height, const char* format, int mipLevels,
                         int border) override {
        eventLog().push_back("addGroup " + std::string(name) + " " + std::to_string(width) + " " +
                             std::to_string(height) + " '" + format + "' " + std::to_string(mipLevels) + " " +
                             std::to_string(border));
        return TextureAtlasConfiguration::addGroup(name, width, height, format, mipLevels, border);
    }

    TextureEntry* addTexture(const char* name, bool border) override {
        eventLog().push_back("addTexture " + std::string(name) + (border ? " border" : ""));
        return TextureAtlasConfiguration::addTexture(name, border);
    }

    bool readImageInfo(const std::string& directory, const std::string& name, TextureEntry& entry) override {
        probes.push_back("file " + directory + "|" + name);
        return fill(directory, name, entry);
    }

    bool readImageInfoFromMemory(const std::string& directory, const std::string& name, const void* data,
                                 unsigned int size, TextureEntry& entry) override {
        probes.push_back("memory " + directory + "|" + name + "|" + std::to_string(size));
        lastData = data;
        return fill(directory, name, entry);
    }

private:
    bool fill(const std::string& directory, const std::string& name, TextureEntry& entry) {
        entry.path = directory + name;
        entry.name = name;
        if (name.find("missing") != std::string::npos) return false;
        FakeImage image{64, 32, "DXT1", 1};
        auto found = images.find(entry.path);
        if (found != images.end()) image = found->second;
        entry.rect.width = image.width;
        entry.rect.height = image.height;
        entry.format = image.format;
        entry.mipLevels = image.mipLevels;
        return true;
    }
};

}  // namespace configtest
