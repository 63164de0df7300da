// The configuration file writer, in the grammar the reader takes.
#include "interface/TextureAtlasConfiguration.h"

#include <fstream>
#include <ostream>

namespace textureatlas {

namespace {

const char* const headerLines[] = {
    "# Texture Atlas Configuration file",
    "#",
    "#   create new group:",
    "#     group <groupname> [width <width>] [height <height>]",
    "#           [format <format>] [miplevels <miplevels>]",
    "#           [border <border>]",
    "#",
    "#   add texture to group:",
    "#     <path> [<flag>*]",
    "#         flag: border",
    "#",
};

}  // namespace

// Like every text file of the library: each line flushed, no stream checks.
void TextureAtlasConfiguration::save(const char* fileName) {
    std::ofstream file(fileName);
    saveToStream(file);
}

void TextureAtlasConfiguration::saveToStream(std::ostream& out) {
    for (const char* line : headerLines) out << line << std::endl;
    for (const AtlasGroup& group : groups) {
        out << "group " << group.name << " width " << group.rect.width << " height " << group.rect.height;
        if (!group.format.empty()) out << " format " << group.format;
        out << " miplevels " << group.mipLevels << " border " << group.border << std::endl;
        for (const TextureEntry& texture : group.textures) {
            out << texture.name;
            if (texture.border) out << " border";
            out << std::endl;
        }
        out << std::endl;
    }
}

}  // namespace textureatlas
