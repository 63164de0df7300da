// texatlas check's reading of a configuration file against the library's
// reader on the same bytes. A file the reader refuses must be one the checker
// reports an error in; a file the checker passes must load to exactly the
// groups it predicted: names, settings, textures in order and their border
// flags. The bytes go to a memory file, as the checker only reads paths.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "checks.h"
#include "interface/TextureAtlasConfiguration.h"
#include "report.h"

using namespace textureatlas;

// The checker's findings are counted in its result; printing each one would
// cost most of the run. These replace tools/report.cpp here.
MessageCounts& messageCounts() {
    static MessageCounts counts;
    return counts;
}
void reportError(const std::string&, const std::string&) {}
void reportWarning(const std::string&, const std::string&) {}
void reportNote(const std::string&) {}

namespace {

const char* const kTextures = "textures/";

// Probes that accept every name, so that each texture line reaches its group.
class AcceptingConfiguration : public TextureAtlasConfiguration {
public:
    bool readImageInfo(const std::string& directory, const std::string& name, TextureEntry& entry) override {
        entry.path = directory + name;
        entry.name = name;
        entry.rect.width = entry.rect.height = 1;
        entry.format = "A8R8G8B8";
        entry.mipLevels = 1;
        return true;
    }
    bool readImageInfoFromMemory(const std::string& directory, const std::string& name, const void*, unsigned int,
                                 TextureEntry& entry) override {
        return readImageInfo(directory, name, entry);
    }
    const std::vector<AtlasGroup>& allGroups() const { return groups; }
};

std::string describe(const CheckedConfiguration& checked) {
    std::ostringstream out;
    for (const CheckedGroup& g : checked.groups) {
        out << "group '" << g.name << "' line " << g.line << " '" << g.format << "' " << g.width << "x" << g.height
            << " m" << g.mipLevels << " b" << g.border << "\n";
        for (const CheckedTexture& t : g.textures) out << "  '" << t.name << "' " << t.border << "\n";
    }
    return out.str();
}

std::string describe(const std::vector<AtlasGroup>& groups) {
    std::ostringstream out;
    for (const AtlasGroup& g : groups) {
        out << "group '" << g.name << "' '" << g.format << "' " << g.rect.width << "x" << g.rect.height << " m"
            << g.mipLevels << " b" << g.border << "\n";
        for (const TextureEntry& t : g.textures)
            out << "  '" << t.name << "' path '" << t.path << "' " << t.border << "\n";
    }
    return out.str();
}

[[noreturn]] void disagree(const char* what, const CheckedConfiguration& checked,
                           const std::vector<AtlasGroup>& groups) {
    std::fprintf(stderr, "checker and reader disagree: %s\n--- checker (%d errors, %d warnings)\n%s--- reader\n%s",
                 what, checked.errors, checked.warnings, describe(checked).c_str(), describe(groups).c_str());
    std::abort();
}

std::string forwardSlashes(std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

int memoryFile = -1;
std::string memoryPath;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    memoryFile = memfd_create("config", 0);
    if (memoryFile < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    memoryPath = "/proc/self/fd/" + std::to_string(memoryFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (ftruncate(memoryFile, 0) != 0 || pwrite(memoryFile, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    CheckedConfiguration checked;
    if (!checkConfigurationFile(memoryPath, checked)) std::abort();
    AcceptingConfiguration library;
    library.setTexturePath(kTextures);
    const bool loaded = library.load(memoryPath.c_str());
    const std::vector<AtlasGroup>& groups = library.allGroups();
    if (!loaded && checked.errors == 0) disagree("the reader refused a file the checker passed", checked, groups);
    if (checked.errors) return 0;

    if (groups.size() != checked.groups.size()) disagree("number of groups", checked, groups);
    for (size_t g = 0; g < groups.size(); ++g) {
        const AtlasGroup& group = groups[g];
        const CheckedGroup& predicted = checked.groups[g];
        if (group.name != predicted.name || group.format != predicted.format || group.rect.width != predicted.width ||
            group.rect.height != predicted.height || group.mipLevels != predicted.mipLevels ||
            group.border != predicted.border)
            disagree("a group's name or settings", checked, groups);
        if (group.textures.size() != predicted.textures.size()) disagree("number of textures", checked, groups);
        std::set<std::string> names;
        for (size_t t = 0; t < group.textures.size(); ++t) {
            const TextureEntry& texture = group.textures[t];
            const CheckedTexture& expected = predicted.textures[t];
            // The checker decodes the file the reader opens, and the index
            // carries the name with forward slashes.
            if (texture.path != kTextures + expected.name || texture.name != forwardSlashes(expected.name) ||
                texture.border != expected.border)
                disagree("a texture's name or flag", checked, groups);
            names.insert(texture.name);
        }
        // A name the index would list twice is one the checker warns of.
        if (names.size() < group.textures.size() && checked.textureLines[g].size() == group.textures.size())
            disagree("a texture placed twice without a warning", checked, groups);
    }
    return 0;
}
