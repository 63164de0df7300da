// Why a source image cannot be used, and what a dropped texture measured:
// the library's messages name the texture only.
#pragma once

#include <string>
#include <vector>

struct IDirect3DDevice9;
namespace textureatlas {
class ITextureAtlasConfiguration;
}

// Why the image reader's header probe refuses `path`: "no such file", "a
// directory", "not an image in a format the image reader knows", ...
std::string unreadableReason(const std::string& path);

// Decodes `path` completely, as the page generation does; empty when it
// decodes, else why not. A truncated file passes the header probe but not this.
std::string decodeFailure(IDirect3DDevice9* device, const std::string& path);

// The texture directory that names in the library's warnings are relative to.
void setReasonTextureDirectory(const std::string& directory);

// Remembers each texture's size (border included) and its group's page limit
// before the layout, so that a drop can be explained.
void rememberLayoutLimits(textureatlas::ITextureAtlasConfiguration& configuration);

// What the library's message about `message` leaves out, or empty.
std::string explainLibraryMessage(const std::string& message);

// Textures dropped as too large, with their sizes; textures that could not
// be read, with the reason. For the JSON and the preview.
struct SkippedTexture {
    std::string name;
    std::string reason;
};
struct SkippedTextures {
    std::vector<SkippedTexture> dropped;
    std::vector<SkippedTexture> unreadable;
};
SkippedTextures& skippedTextures();
