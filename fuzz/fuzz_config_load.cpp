// The configuration reader on arbitrary bytes, followed by the layout, the
// index file and the writer on whatever it accepted. Image probes answer from
// the texture's name, so that no image file is needed and every texture line
// reaches the model. The layout's result is checked against its invariants.
#include "interface/TextureAtlas.h"
#include "interface/TextureAtlasConfiguration.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

using namespace textureatlas;

namespace {

std::uint32_t hashName(const std::string& name) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
    return hash;
}

class NameProbedConfiguration : public TextureAtlasConfiguration {
public:
    bool readImageInfo(const std::string& directory, const std::string& name, TextureEntry& entry) override {
        return fill(directory, name, entry);
    }
    bool readImageInfoFromMemory(const std::string& directory, const std::string& name, const void*, unsigned int,
                                 TextureEntry& entry) override {
        return fill(directory, name, entry);
    }

private:
    static bool fill(const std::string& directory, const std::string& name, TextureEntry& entry) {
        static const char* const formats[] = {"DXT1", "DXT5", "A8R8G8B8", "X8R8G8B8"};
        std::uint32_t hash = hashName(name);
        if (hash % 17 == 0) return false;  // an unreadable image now and then
        entry.path = directory + name;
        entry.name = name;
        bool large = (hash >> 24) % 8 == 0;  // near or past the page limit
        entry.rect.width = large ? 1900 + int(hash % 300) : 1 + int(hash % 257);
        entry.rect.height = large ? 1900 + int((hash >> 9) % 300) : 1 + int((hash >> 9) % 257);
        entry.format = formats[(hash >> 18) % 4];
        entry.mipLevels = 1 + int((hash >> 20) % 12);
        return true;
    }
};

class InspectableAtlas : public TextureAtlas {
public:
    const std::vector<AtlasGroup>& result() const { return pages; }
};

[[noreturn]] void fail(const char* what, const AtlasGroup& page) {
    std::fprintf(stderr, "layout invariant broken: %s on page %s (%dx%d)\n", what, page.name.c_str(),
                 page.rect.width, page.rect.height);
    for (const TextureEntry& t : page.textures)
        std::fprintf(stderr, "  %s at %d,%d size %dx%d\n", t.name.c_str(), t.rect.x, t.rect.y, t.rect.width,
                     t.rect.height);
    std::abort();
}

bool positive(const Rect& r) { return r.width > 0 && r.height > 0; }

bool overlap(const Rect& a, const Rect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

void checkPages(const std::vector<AtlasGroup>& pages) {
    for (const AtlasGroup& page : pages) {
        if (page.textures.empty()) fail("empty page", page);
        if (page.mipLevels < 1) fail("no mip levels", page);
        // A negative group border can shrink a texture below zero; the packing
        // tree then cuts regions with negative sizes and places later textures
        // off the page, as its signed rules say. Only sound pages are checked.
        bool sound = true;
        for (const TextureEntry& texture : page.textures) sound = sound && positive(texture.rect);
        if (!sound) continue;
        for (std::size_t i = 0; i < page.textures.size(); ++i) {
            const Rect& r = page.textures[i].rect;
            if (r.x < 0 || r.y < 0 || std::int64_t(r.x) + r.width > page.rect.width ||
                std::int64_t(r.y) + r.height > page.rect.height)
                fail("texture outside its page", page);
            for (std::size_t j = 0; j < i; ++j)
                if (overlap(r, page.textures[j].rect)) fail("overlap", page);
        }
    }
}

// In memory where possible: every line written is flushed, and disk writes
// would dominate the run.
std::string scratchFile(const char* what) {
    const char* directory = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(directory) + "/fuzz_config_load." + std::to_string(getpid()) + "." + what;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string input = scratchFile("cfg"), saved = scratchFile("saved"), index = scratchFile("index");
    {
        std::ofstream file(input, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    NameProbedConfiguration configuration;
    configuration.setTexturePath("textures");
    configuration.setOutputPath("/tmp");
    configuration.load(input.c_str());

    InspectableAtlas atlas;
    atlas.setSortMode(size > 0 ? data[0] & 1 : 0);
    atlas.layout(&configuration);
    checkPages(atlas.result());
    atlas.write(index.c_str());

    // What was accepted must be written and read back without harm.
    configuration.save(saved.c_str());
    NameProbedConfiguration reread;
    reread.load(saved.c_str());
    return 0;
}
