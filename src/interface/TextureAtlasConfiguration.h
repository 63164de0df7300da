#pragma once

#include <textureatlas/ITextureAtlasConfiguration.h>

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace textureatlas {

// The configuration's operations on plain records. The image probes are left
// to a derived class, so that the model needs no image reader of its own.
class TextureAtlasConfiguration : public ITextureAtlasConfiguration {
public:
    TextureAtlasConfiguration() = default;
    ~TextureAtlasConfiguration() override = default;

    bool load(const char* fileName) override;
    void save(const char* fileName) override;
    void setOutputPath(const char* path) override;
    void setTexturePath(const char* path) override;
    const char* getTexturePath() override;
    const char* getOutputPath() override;
    AtlasGroup* setGroup(const char* name) override;
    AtlasGroup* addGroup(const char* name, int width, int height, const char* format, int mipLevels,
                         int border) override;
    TextureEntry* addTexture(const char* name, bool border) override;
    TextureEntry* addTextureFromMemory(const char* name, const void* data, unsigned int size, bool border) override;
    GroupIterator findGroup(const char* name) override;
    GroupIterator beginGroups() override;
    GroupIterator endGroups() override;
    GroupIterator eraseGroup(GroupIterator where) override;
    void setErrorCallback(MessageCallback callback) override;
    void setWarningCallback(MessageCallback callback) override;

    // From the host memory library; null when it has no memory left.
    static void* operator new(std::size_t size) noexcept;
    static void operator delete(void* pointer) noexcept;

    // The bodies of load() and save() on streams, so that a test or a fuzzer
    // can drive them without files.
    bool loadFromStream(std::istream& in);
    void saveToStream(std::ostream& out);

    // Image probes: fill `entry` (path, name, size, format name, mip levels)
    // from the header of the image `directory + name`, or of the file in `data`.
    virtual bool readImageInfo(const std::string& directory, const std::string& name, TextureEntry& entry) = 0;
    virtual bool readImageInfoFromMemory(const std::string& directory, const std::string& name, const void* data,
                                         unsigned int size, TextureEntry& entry) = 0;

protected:
    std::string texturePath;
    std::string outputPath;
    std::vector<AtlasGroup> groups;
    AtlasGroup* currentGroup = nullptr;
    MessageCallback errorCallback = nullMessageHandler;
    MessageCallback warningCallback = nullMessageHandler;
};

}  // namespace textureatlas
