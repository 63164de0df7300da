#include "reasons.h"

#include <d3dx9.h>
#include <textureatlas/textureatlas.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "device.h"
#include "fit.h"
#include "interface/library_messages.h"
#include "layout_probe.h"

namespace fs = std::filesystem;

namespace {

// The library's messages about one texture: a prefix, then its name or path.
const std::string kMissingPrefix = textureatlas::messages::kFailedToLoadTexture;
const std::string kDroppedPrefix = textureatlas::messages::kTextureTooLarge;
const std::string kLoadPrefix = textureatlas::messages::kCouldNotLoadTexture;

// The configuration's own strings: it outlives the build's messages.
struct LayoutLimit {
    const std::string* name;
    const std::string* group;
    int width, height, pageWidth, pageHeight;
    bool used;
};

std::string textureDirectory;
std::vector<LayoutLimit> limits;
std::string sourceConfiguration;
std::vector<std::pair<std::string, int>> sourceLines;  // name, line
std::vector<std::array<bool, 4>> sourceLinesUsed;      // by SourceMessage

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string sizeText(unsigned width, unsigned height) { return std::to_string(width) + " x " + std::to_string(height); }

std::string droppedDetail(const std::string& name) {
    // Layout drops in configuration order, so the first unused record is the one.
    for (LayoutLimit& limit : limits) {
        if (limit.used || *limit.name != name) continue;
        limit.used = true;
        return sizeText(limit.width, limit.height) + " with its border; pages of group " + *limit.group +
               " are at most " + sizeText(limit.pageWidth, limit.pageHeight);
    }
    return "";
}

}  // namespace

std::string unreadableReason(const std::string& path) {
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) return "no such file";
    if (fs::is_directory(status)) return "a directory, not an image file";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return "cannot be opened (permission denied?)";
    int first = std::fgetc(file);
    std::fclose(file);
    if (first == EOF) return "empty file";
    D3DXIMAGE_INFO info;
    HRESULT result = D3DXGetImageInfoFromFileA(path.c_str(), &info);
    if (result == D3DXERR_INVALIDDATA) return "not an image in a format the image reader knows";
    if (SUCCEEDED(result)) return "";
    char text[64];
    std::snprintf(text, sizeof(text), "image header rejected (result 0x%08X)", static_cast<unsigned>(result));
    return text;
}

std::string decodeFailure(IDirect3DDevice9* device, const std::string& path) {
    std::string reason = unreadableReason(path);
    if (!reason.empty()) return reason;
    D3DXIMAGE_INFO info;
    D3DXGetImageInfoFromFileA(path.c_str(), &info);
    D3DCAPS9 caps;
    if (SUCCEEDED(device->GetDeviceCaps(&caps)) && caps.MaxTextureWidth && caps.MaxTextureHeight &&
        (info.Width > caps.MaxTextureWidth || info.Height > caps.MaxTextureHeight))
        return sizeText(info.Width, info.Height) + ", larger than the device allows (" +
               sizeText(caps.MaxTextureWidth, caps.MaxTextureHeight) + ")";
    // The same call and arguments as the page generation.
    IDirect3DTexture9* texture = nullptr;
    HRESULT result =
        D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN,
                                     D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
    if (texture) texture->Release();
    if (SUCCEEDED(result)) return "";
    if (result == E_OUTOFMEMORY) return "out of memory while decoding";
    return "the image data is truncated or corrupt (its header reads, its pixels do not)";
}

void setReasonTextureDirectory(const std::string& directory) { textureDirectory = directory; }

void setSourceLines(const std::string& file, std::vector<std::pair<std::string, int>> nameAndLine) {
    sourceConfiguration = file;
    sourceLines = std::move(nameAndLine);
    sourceLinesUsed.assign(sourceLines.size(), {false, false, false, false});
}

std::string sourceLine(const std::string& name, SourceMessage kind) {
    for (size_t i = 0; i < sourceLines.size(); ++i) {
        bool& used = sourceLinesUsed[i][static_cast<int>(kind)];
        if (used || sourceLines[i].first != name) continue;
        used = true;
        return sourceConfiguration + ":" + std::to_string(sourceLines[i].second);
    }
    return "";
}

void rememberLayoutLimits(textureatlas::ITextureAtlasConfiguration& configuration) {
    limits.clear();
    for (auto group = configuration.beginGroups(); group != configuration.endGroups(); ++group)
        for (const textureatlas::TextureEntry& texture : group->textures)
            limits.push_back(LayoutLimit{&texture.name, &group->name, texture.rect.width, texture.rect.height,
                                         pageLimit(group->rect.width), pageLimit(group->rect.height), false});
}

MessageDetail explainLibraryMessage(const std::string& message) {
    if (startsWith(message, kMissingPrefix)) {
        std::string name = message.substr(kMissingPrefix.size());
        std::string reason = unreadableReason(textureDirectory + name);
        skippedTextures().unreadable.push_back(SkippedTexture{name, reason});
        return {sourceLine(name, SourceMessage::unreadable), reason};
    }
    if (startsWith(message, kDroppedPrefix)) {
        std::string name = message.substr(kDroppedPrefix.size());
        std::string detail = droppedDetail(name);
        skippedTextures().dropped.push_back(SkippedTexture{name, detail});
        return {sourceLine(name, SourceMessage::dropped), detail};
    }
    if (startsWith(message, kLoadPrefix)) {
        std::string path = message.substr(kLoadPrefix.size());
        std::string name = startsWith(path, textureDirectory) ? path.substr(textureDirectory.size()) : path;
        SoftwareDevice device;
        return {sourceLine(name, SourceMessage::undecodable),
                device.get() ? decodeFailure(device.get(), path) : unreadableReason(path)};
    }
    if (texatlas_layout::isResultCodeMessage(message))
        return {"", "a Direct3D call failed while copying a texture into its page"};
    return {};
}

SkippedTextures& skippedTextures() {
    static SkippedTextures skipped;
    return skipped;
}
