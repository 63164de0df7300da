// A configuration whose image probes answer without files, and a log of what
// reaches the callbacks and the virtual operations.
#pragma once

#include "interface/TextureAtlasConfiguration.h"

#include <string>
#include <vector>

namespace configtest {

using namespace textureatlas;
typedef std::vector<std::string> Events;

// Everything the callbacks receive and the reader calls, in order.
inline Events& eventLog() {
    static Events log;
    return log;
}
inline void logError(const std::string& message) { eventLog().push_back("error: " + message); }
inline void logWarning(const std::string& message) { eventLog().push_back("warning: " + message); }

// One line per entry, so that a test compares every field at once.
inline std::string describe(const TextureEntry& e) {
    return e.name + "|" + e.path + "|" + std::to_string(e.rect.x) + "," + std::to_string(e.rect.y) + "," +
           std::to_string(e.rect.width) + "x" + std::to_string(e.rect.height) + "|" + e.format + "|" +
           std::to_string(e.mipLevels) + (e.border ? "|border" : "");
}

inline std::string describe(const AtlasGroup& g) {
    return g.name + "|" + std::to_string(g.rect.x) + "," + std::to_string(g.rect.y) + "," +
           std::to_string(g.rect.width) + "x" + std::to_string(g.rect.height) + "|" + g.format + "|" +
           std::to_string(g.mipLevels) + "|" + std::to_string(g.border) + "|" + std::to_string(g.index);
}

// Every image probes as 64x32 DXT1 with 3 levels, unless its name contains "missing".
class FakeConfiguration : public TextureAtlasConfiguration {
public:
    Events probes;  // "file <dir>|<name>" or "memory <dir>|<name>|<size>"

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

    bool readImageInfoFromMemory(const std::string& directory, const std::string& name, const void*, unsigned int size,
                                 TextureEntry& entry) override {
        probes.push_back("memory " + directory + "|" + name + "|" + std::to_string(size));
        return fill(directory, name, entry);
    }

private:
    static bool fill(const std::string& directory, const std::string& name, TextureEntry& entry) {
        entry.path = directory + name;
        entry.name = name;
        entry.rect.width = 64;
        entry.rect.height = 32;
        entry.format = "DXT1";
        entry.mipLevels = 3;
        return name.find("missing") == std::string::npos;
    }
};

}  // namespace configtest
