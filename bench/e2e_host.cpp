// Host program for bench/e2e.sh. Uses the library through its public
// interface, as an editor would, and times the parts that the script cannot
// separate from outside:
//   e2e_host build  CONFIG TEXTURE_DIR OUTPUT_DIR   load, layout, write pages and index
//   e2e_host decode CONFIG TEXTURE_DIR              load every source once, level 0 only
//   e2e_host encode PAGE_DIR FORMAT                 block-compress every page's levels
// Each prints key=value lines on standard output. `--threads N` before the
// mode sets the software layer's block-compression threads (default: cores).
#include <d3d9.h>
#include <d3d9soft.h>
#include <d3dx9.h>
#include <textureatlas/textureatlas.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "soft_device.h"

using namespace textureatlas;
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void printMessage(const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); }

std::unique_ptr<ITextureAtlasConfiguration> loadConfiguration(const char* file, const char* textureDir,
                                                              const char* outputDir) {
    std::unique_ptr<ITextureAtlasConfiguration> configuration(ITextureAtlasConfiguration::create());
    if (!configuration) return nullptr;
    configuration->setErrorCallback(printMessage);
    configuration->setTexturePath(textureDir);
    configuration->setOutputPath(outputDir);
    if (!configuration->load(file)) return nullptr;
    return configuration;
}

std::vector<fs::path> pageFiles(const char* directory) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory))
        if (entry.path().extension() == ".dds") files.push_back(entry.path());
    return files;
}

int build(const char* configFile, const char* textureDir, const char* outputDir) {
    IDirect3DDevice9* device = createDevice();
    if (!device) return 1;
    Clock::time_point start = Clock::now();
    auto configuration = loadConfiguration(configFile, textureDir, outputDir);
    if (!configuration) return 1;
    double loadSeconds = secondsSince(start);

    std::unique_ptr<ITextureAtlas> atlas(ITextureAtlas::create(device));
    atlas->setErrorCallback(printMessage);
    Clock::time_point layoutStart = Clock::now();
    atlas->layout(configuration.get());
    double layoutSeconds = secondsSince(layoutStart);
    Clock::time_point writeStart = Clock::now();
    const std::string index = std::string(outputDir) + "/atlas.tai";
    bool written = atlas->write(index.c_str());
    double writeSeconds = secondsSince(writeStart);
    double totalSeconds = secondsSince(start);
    atlas.reset();
    device->Release();
    if (!written) return 1;

    // Untimed: what was produced.
    long placed = 0;
    std::ifstream in(index);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') ++placed;
    long pages = 0;
    double texels = 0;
    for (const fs::path& page : pageFiles(outputDir)) {
        D3DXIMAGE_INFO info = {};
        if (FAILED(D3DXGetImageInfoFromFileA(page.c_str(), &info))) continue;
        ++pages;
        texels += double(info.Width) * info.Height;
    }
    std::printf("load_s=%.3f\nlayout_s=%.3f\nwrite_s=%.3f\ntotal_s=%.3f\n", loadSeconds, layoutSeconds, writeSeconds,
                totalSeconds);
    std::printf("textures=%ld\npages=%ld\npage_texels=%.0f\n", placed, pages, texels);
    return 0;
}

int decode(const char* configFile, const char* textureDir) {
    IDirect3DDevice9* device = createDevice();
    if (!device) return 1;
    auto configuration = loadConfiguration(configFile, textureDir, "");
    if (!configuration) return 1;
    Clock::time_point start = Clock::now();
    long decoded = 0, failed = 0;
    for (GroupIterator group = configuration->beginGroups(); group != configuration->endGroups(); ++group) {
        for (const TextureEntry& texture : group->textures) {
            IDirect3DTexture9* loaded = nullptr;
            if (FAILED(D3DXCreateTextureFromFileExA(device, texture.path.c_str(), D3DX_DEFAULT_NONPOW2,
                                                    D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_SYSTEMMEM,
                                                    D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr,
                                                    &loaded))) {
                ++failed;
                continue;
            }
            loaded->Release();
            ++decoded;
        }
    }
    std::printf("decode_s=%.3f\ndecoded=%ld\nfailed=%ld\n", secondsSince(start), decoded, failed);
    configuration.reset();
    device->Release();
    return 0;
}

// Compresses each page's levels as page generation does for a block format:
// a new texture of the same size and level count, filled level by level.
int encode(const char* pageDir, const char* formatName) {
    const D3DFORMAT format = std::strcmp(formatName, "DXT1") == 0   ? D3DFMT_DXT1
                             : std::strcmp(formatName, "DXT3") == 0 ? D3DFMT_DXT3
                                                                    : D3DFMT_DXT5;
    IDirect3DDevice9* device = createDevice();
    if (!device) return 1;
    double seconds = 0;
    long pages = 0;
    for (const fs::path& file : pageFiles(pageDir)) {
        IDirect3DTexture9* page = nullptr;
        if (FAILED(D3DXCreateTextureFromFileExA(device, file.c_str(), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 0,
                                                0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE,
                                                D3DX_FILTER_NONE, 0, nullptr, nullptr, &page)))
            continue;
        D3DSURFACE_DESC desc = {};
        page->GetLevelDesc(0, &desc);
        const DWORD levels = page->GetLevelCount();
        Clock::time_point start = Clock::now();
        IDirect3DTexture9* compressed = nullptr;
        if (SUCCEEDED(D3DXCreateTexture(device, desc.Width, desc.Height, levels, 0, format, D3DPOOL_SYSTEMMEM,
                                        &compressed))) {
            for (DWORD level = 0; level < levels; ++level) {
                IDirect3DSurface9* from = nullptr;
                IDirect3DSurface9* to = nullptr;
                page->GetSurfaceLevel(level, &from);
                compressed->GetSurfaceLevel(level, &to);
                if (from && to)
                    D3DXLoadSurfaceFromSurface(to, nullptr, nullptr, from, nullptr, nullptr, D3DX_DEFAULT, 0);
                if (from) from->Release();
                if (to) to->Release();
            }
            compressed->Release();
        }
        seconds += secondsSince(start);
        page->Release();
        ++pages;
    }
    std::printf("encode_s=%.3f\nencoded_pages=%ld\n", seconds, pages);
    device->Release();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--threads") == 0) {
        char* end = nullptr;
        unsigned long threads = std::strtoul(argv[2], &end, 10);
        if (*end || threads > 256) {
            std::fprintf(stderr, "e2e_host: --threads takes 0 (cores) to 256\n");
            return 2;
        }
        D3D9SoftSetThreadCount(unsigned(threads));
        argc -= 2;
        argv += 2;
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    std::printf("threads=%u\n", D3D9SoftGetThreadCount());
    if (mode == "build" && argc == 5) return build(argv[2], argv[3], argv[4]);
    if (mode == "decode" && argc == 4) return decode(argv[2], argv[3]);
    if (mode == "encode" && argc == 4) return encode(argv[2], argv[3]);
    std::fprintf(stderr,
                 "usage: e2e_host [--threads N] build CONFIG TEXTURE_DIR OUTPUT_DIR\n"
                 "       e2e_host [--threads N] decode CONFIG TEXTURE_DIR\n"
                 "       e2e_host [--threads N] encode PAGE_DIR DXT1|DXT3|DXT5\n");
    return 2;
}
