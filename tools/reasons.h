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
// before the layout, so that a drop can be explained; `configuration` must
// outlive the messages and keep its records where they are.
void rememberLayoutLimits(textureatlas::ITextureAtlasConfiguration& configuration);

// Where each texture of configuration file `file` was named (its line), in
// the file's order, so that messages about a texture can point at "a.cfg:12".
void setSourceLines(const std::string& file, std::vector<std::pair<std::string, int>> nameAndLine);

// The line that named texture `name`, or empty. `kind` tells the messages
// apart: each kind takes the lines of one name in order, as the library
// reports a name given twice twice.
enum class SourceMessage { unreadable, dropped, undecodable, leftOut };
std::string sourceLine(const std::string& name, SourceMessage kind);

// What the library's message leaves out: the line that named the texture,
// and why it could not be used. Either may be empty.
struct MessageDetail {
    std::string where;
    std::string reason;
};
MessageDetail explainLibraryMessage(const std::string& message);

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
