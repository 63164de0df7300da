#pragma once

#include <textureatlas/ITextureAtlas.h>

#include <cstddef>
#include <string>
#include <vector>

namespace textureatlas {

// Layout and index file. Page generation and the maximum page size are hooks
// whose defaults let the whole path run without Direct3D.
class TextureAtlas : public ITextureAtlas {
public:
    TextureAtlas() = default;
    ~TextureAtlas() override = default;

    void layout(ITextureAtlasConfiguration* configuration) override;
    bool writeFromMemory(const std::vector<MemoryImage>& images, const char* indexFileName) override;
    bool write(const char* indexFileName) override;
    void setSortMode(int mode) override;
    void setErrorCallback(MessageCallback callback) override;
    void setWarningCallback(MessageCallback callback) override;

    // From the host memory library; null when it has no memory left.
    static void* operator new(std::size_t size) noexcept;
    static void operator delete(void* pointer) noexcept;

    virtual bool generateFromMemory(const std::vector<MemoryImage>& images);
    virtual bool generate();
    virtual int getMaxWidth();
    virtual int getMaxHeight();

protected:
    std::string outputPath;
    std::vector<AtlasGroup> pages;
    std::vector<TextureEntry> pending;
    int sortMode = 0;  // 1: longest side first; anything else: area
    MessageCallback errorCallback = nullMessageHandler;
    MessageCallback warningCallback = nullMessageHandler;
};

}  // namespace textureatlas
