// The configuration reader on arbitrary bytes, then the writer on whatever it
// accepted and the reader again on what the writer wrote, all in memory:
// files would cost far more than the code under test. Image probes answer
// from the texture's name, so that no image file is needed and every texture
// line reaches the model. Writing and reading back must give the same groups
// and textures whenever every written line is short enough to be read whole.
#include "interface/TextureAtlasConfiguration.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <sstream>
#include <streambuf>
#include <string>

using namespace textureatlas;

namespace {

// Backslashes hash as forward slashes: the configuration stores names with
// forward slashes, so the name read back must probe the same.
std::uint32_t hashName(const std::string& name) {
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (unsigned char c : name) hash = (hash ^ (c == '\\' ? '/' : c)) * 16777619u;
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
    const std::vector<AtlasGroup>& allGroups() const { return groups; }

private:
    static bool fill(const std::string& directory, const std::string& name, TextureEntry& entry) {
        static const char* const formats[] = {"DXT1", "DXT5", "A8R8G8B8", "X8R8G8B8"};
        std::uint32_t hash = hashName(name);
        if (hash % 17 == 0) return false;  // an unreadable image now and then
        entry.path = directory + name;
        entry.name = name;
        entry.rect.width = 1 + int(hash % 2100);
        entry.rect.height = 1 + int((hash >> 9) % 2100);
        entry.format = formats[(hash >> 18) % 4];
        entry.mipLevels = 1 + int((hash >> 20) % 12);
        return true;
    }
};

// Reads the fuzzer's bytes in place.
struct MemoryBuffer : std::streambuf {
    MemoryBuffer(const std::uint8_t* data, std::size_t size) {
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(data));
        setg(begin, begin, begin + size);
    }
};

// Every field the file carries; the path is left out, since it keeps the
// name as given, backslashes included.
std::string describe(const std::vector<AtlasGroup>& groups) {
    std::ostringstream out;
    for (const AtlasGroup& g : groups) {
        out << "group " << g.name << " '" << g.format << "' " << g.rect.x << "," << g.rect.y << " " << g.rect.width
            << "x" << g.rect.height << " m" << g.mipLevels << " b" << g.border << " #" << g.index << "\n";
        for (const TextureEntry& t : g.textures)
            out << "  " << t.name << " '" << t.format << "' " << t.rect.x << "," << t.rect.y << " " << t.rect.width
                << "x" << t.rect.height << " " << t.border << " " << t.mipLevels << "\n";
    }
    return out.str();
}

bool sameRect(const Rect& a, const Rect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

bool sameRecords(const std::vector<AtlasGroup>& a, const std::vector<AtlasGroup>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t g = 0; g < a.size(); ++g) {
        const AtlasGroup &x = a[g], &y = b[g];
        if (x.name != y.name || x.format != y.format || !sameRect(x.rect, y.rect) || x.mipLevels != y.mipLevels ||
            x.border != y.border || x.index != y.index || x.textures.size() != y.textures.size())
            return false;
        for (std::size_t t = 0; t < x.textures.size(); ++t) {
            const TextureEntry &p = x.textures[t], &q = y.textures[t];
            if (p.name != q.name || p.format != q.format || !sameRect(p.rect, q.rect) || p.border != q.border ||
                p.mipLevels != q.mipLevels)
                return false;
        }
    }
    return true;
}

// The reader takes at most 1022 characters of a line.
bool everyLineReadWhole(const std::string& text) {
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        if (end - start > 1022) return false;
    return text.size() - start <= 1022;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryBuffer buffer(data, size);
    std::istream input(&buffer);
    NameProbedConfiguration configuration;
    configuration.setTexturePath("textures");
    configuration.loadFromStream(input);

    std::stringstream saved;
    configuration.saveToStream(saved);
    NameProbedConfiguration reread;
    reread.setTexturePath("textures");
    reread.loadFromStream(saved);
    if (!sameRecords(configuration.allGroups(), reread.allGroups()) && everyLineReadWhole(saved.str())) {
        std::fprintf(stderr, "written and read back differ\n--- read\n%s--- read back\n%s",
                     describe(configuration.allGroups()).c_str(), describe(reread.allGroups()).c_str());
        std::abort();
    }
    return 0;
}
