// Smoke test of textureatlas.dll under Wine: a host that links the DLL and
// the host memory DLL, probes images with the platform's D3DX, reads, saves
// and re-reads a configuration, edits and copies its records as a host may,
// lays it out and writes the index file. Pages are not composed: there is no
// display for a device here.
#include <textureatlas/textureatlas.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace textureatlas;

namespace {

int failures = 0;

void check(bool condition, const char* what) {
    if (!condition) {
        std::printf("FAILED: %s\n", what);
        ++failures;
    }
}

void printMessage(const std::string& message) { std::printf("message: %s\n", message.c_str()); }

void put(std::ofstream& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(char(value >> (8 * i)));
}

// A 24-bit bottom-up BMP of one colour.
void writeBmp(const char* path, int width, int height) {
    const int rowBytes = (width * 3 + 3) & ~3;
    std::ofstream out(path, std::ios::binary);
    out << "BM";
    put(out, 54 + rowBytes * height, 4);
    put(out, 0, 4);
    put(out, 54, 4);
    put(out, 40, 4);
    put(out, width, 4);
    put(out, height, 4);
    put(out, 1, 2);
    put(out, 24, 2);
    for (int i = 0; i < 6; ++i) put(out, 0, 4);
    for (int i = 0; i < rowBytes * height; ++i) out.put(char(0x40));
}

int countTextures(ITextureAtlasConfiguration* configuration) {
    int count = 0;
    for (GroupIterator group = configuration->beginGroups(); group != configuration->endGroups(); ++group)
        count += static_cast<int>(group->textures.size());
    return count;
}

}  // namespace

int main() {
    CreateDirectoryA("tex", nullptr);
    CreateDirectoryA("out", nullptr);
    writeBmp("tex/a.bmp", 8, 4);
    writeBmp("tex/b.bmp", 16, 16);
    std::ofstream("smoke.cfg") << "group g width 64 height 64 format A8R8G8B8 miplevels 1 border 2\n"
                                  "a.bmp\nb.bmp border\nmissing.bmp\n";

    ITextureAtlasConfiguration* configuration = ITextureAtlasConfiguration::create();
    check(configuration != nullptr, "configuration created");
    if (!configuration) return 1;
    configuration->setWarningCallback(printMessage);
    configuration->setErrorCallback(printMessage);
    configuration->setTexturePath("tex");
    configuration->setOutputPath("out");
    check(configuration->load("smoke.cfg"), "load");
    GroupIterator group = configuration->findGroup("g");
    check(group != configuration->endGroups() && group->textures.size() == 2, "two textures probed");
    if (group != configuration->endGroups() && group->textures.size() == 2) {
        const Rect& a = group->textures[0].rect;
        const Rect& b = group->textures[1].rect;
        check(a.width == 8 && a.height == 4 && group->textures[0].format == "R8G8B8", "a.bmp probed as 8x4 R8G8B8");
        check(b.width == 20 && b.height == 20, "b.bmp grown by its border");
    }

    configuration->save("saved.cfg");
    ITextureAtlasConfiguration* reread = ITextureAtlasConfiguration::create();
    reread->setTexturePath("tex");
    check(reread->load("saved.cfg") && countTextures(reread) == 2, "saved configuration reads back");
    delete reread;

    // A host may edit the strings of the records it gets and copy records out;
    // the DLL later frees what the host allocated, and the other way round.
    group = configuration->findGroup("g");
    if (group != configuration->endGroups()) {
        const std::string longText(300, 'x');
        group->name += longText;
        group->format = longText;
        for (TextureEntry& texture : group->textures) {
            texture.name = longText;
            texture.path.clear();
            texture.format += longText;
        }
        std::vector<AtlasGroup> copies(configuration->beginGroups(), configuration->endGroups());
        copies.front().textures.push_back(copies.front().textures.front());
        copies.front().name = "short";
        group->textures.push_back(copies.front().textures.back());
        check(countTextures(configuration) == 3, "records copied and grown by the host");
    }

    // Without a device every texture is too large for a page of size 0.
    ITextureAtlas* atlas = ITextureAtlas::create(nullptr);
    check(atlas != nullptr, "atlas created");
    if (atlas) {
        atlas->setWarningCallback(printMessage);
        atlas->layout(configuration);
        check(atlas->write("out/index.txt"), "index written");
        std::ifstream index("out/index.txt");
        int lines = 0;
        for (std::string line; std::getline(index, line);) ++lines;
        check(lines == 14, "index file holds its header");
        delete atlas;
    }
    delete configuration;
    std::printf(failures ? "wine smoke FAILED\n" : "wine smoke ok\n");
    return failures ? 1 : 0;
}
