#include "json_output.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "reasons.h"

std::string jsonEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char code[8];
                    std::snprintf(code, sizeof(code), "\\u%04x", c);
                    out += code;
                } else {
                    out += static_cast<char>(c);  // UTF-8 passes through as it is
                }
        }
    }
    return out;
}

// Shortest text that reads back as the same float.
static std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.9g", static_cast<double>(value));
    for (int precision = 1; precision < 9; ++precision) {
        char shorter[32];
        std::snprintf(shorter, sizeof(shorter), "%.*g", precision, static_cast<double>(value));
        if (std::strtof(shorter, nullptr) == value) return shorter;
    }
    return text;
}

// Textures the build left out, each with why.
static void writeSkipped(std::ostringstream& json, const char* key, const std::vector<SkippedTexture>& textures) {
    json << ",\n  \"" << key << "\": [";
    for (size_t i = 0; i < textures.size(); ++i)
        json << (i ? ",\n" : "\n") << "    {\"name\": \"" << jsonEscape(textures[i].name) << "\", \"reason\": \""
             << jsonEscape(textures[i].reason) << "\"}";
    json << (textures.empty() ? "]" : "\n  ]");
}

std::string layoutJson(const AtlasResult& result) {
    std::ostringstream json;
    json << "{\n  \"pages\": [";
    for (size_t p = 0; p < result.pages.size(); ++p) {
        const PageResult& page = result.pages[p];
        json << (p ? ",\n" : "\n") << "    {\"name\": \"" << jsonEscape(page.name) << "\", \"file\": \""
             << jsonEscape(page.file) << "\", \"index\": " << page.index << ", \"width\": " << page.width
             << ", \"height\": " << page.height << ", \"format\": \"" << jsonEscape(page.format)
             << "\", \"mipLevels\": " << page.mipLevels << "}";
    }
    json << "\n  ],\n  \"textures\": [";
    bool first = true;
    for (size_t p = 0; p < result.pages.size(); ++p) {
        for (const PlacedTexture& texture : result.pages[p].textures) {
            json << (first ? "\n" : ",\n") << "    {\"name\": \"" << jsonEscape(texture.name) << "\", \"page\": " << p
                 << ", \"x\": " << texture.x << ", \"y\": " << texture.y << ", \"width\": " << texture.width
                 << ", \"height\": " << texture.height << ", \"u0\": " << number(texture.u)
                 << ", \"v0\": " << number(texture.v) << ", \"u1\": " << number(texture.u + texture.uSize)
                 << ", \"v1\": " << number(texture.v + texture.vSize);
            if (!texture.duplicateOf.empty())
                json << ", \"duplicateOf\": \"" << jsonEscape(texture.duplicateOf) << "\"";
            json << "}";
            first = false;
        }
    }
    json << "\n  ],\n  \"groups\": [";
    for (size_t g = 0; g < result.groups.size(); ++g) {
        const GroupResult& group = result.groups[g];
        json << (g ? ",\n" : "\n") << "    {\"name\": \"" << jsonEscape(group.name)
             << "\", \"pageWidthLimit\": " << group.width << ", \"pageHeightLimit\": " << group.height
             << ", \"fitted\": " << (group.tried ? "true" : "false") << ", \"duplicates\": " << group.duplicates << "}";
    }
    json << "\n  ]";
    writeSkipped(json, "dropped", skippedTextures().dropped);
    writeSkipped(json, "unreadable", skippedTextures().unreadable);
    json << "\n}\n";
    return json.str();
}
