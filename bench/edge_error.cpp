// How close what an engine samples from atlas pages comes to the textures
// themselves near their edges, level by level. Every texture of an index is
// sampled bilinearly through its index rectangle on its page, on a
// quarter-texel grid that reaches the rectangle's edges, and compared with a
// clamped bilinear sample of the texture's own level at the same texture
// coordinate: the source decoded with its mip chain as the page generation
// loads it, level l being the top-left max(1, w >> l) x max(1, h >> l) of it.
// Printed per level: the mean absolute difference (0-255) over RGBA and over
// RGB of the samples within one texel of the edge; over RGBA of the samples
// less than half a texel from it (those whose bilinear footprint crosses the
// edge, where a page bleeds); and over RGBA of all samples.
// Usage: edge_error INDEX PAGE_DIR TEXTURE_DIR [LEVELS, default 4]
#include <d3d9.h>
#include <d3dx9.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "soft_device.h"

namespace {

struct Level {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bgra;  // rows of A8R8G8B8 texels
};

struct Entry {
    std::string name, page;
    double u, v, width, height;
};

// The first `count` levels of an image file loaded as the page generation
// loads a source (or, for a DDS page, its own levels), each converted to
// A8R8G8B8 unscaled, as the composition converts.
bool loadLevels(IDirect3DDevice9* device, const std::string& path, int count, std::vector<Level>& levels) {
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0, D3DFMT_UNKNOWN,
                                            D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE, D3DX_DEFAULT, 0, nullptr, nullptr,
                                            &texture)))
        return false;
    levels.clear();
    bool ok = true;
    for (int l = 0; ok && l < std::min<int>(count, int(texture->GetLevelCount())); ++l) {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(UINT(l), &desc);
        IDirect3DTexture9* argb = nullptr;
        IDirect3DSurface9 *from = nullptr, *to = nullptr;
        ok = SUCCEEDED(
                 D3DXCreateTexture(device, desc.Width, desc.Height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &argb)) &&
             SUCCEEDED(texture->GetSurfaceLevel(UINT(l), &from)) && SUCCEEDED(argb->GetSurfaceLevel(0, &to)) &&
             SUCCEEDED(D3DXLoadSurfaceFromSurface(to, nullptr, nullptr, from, nullptr, nullptr, D3DX_FILTER_NONE, 0));
        D3DLOCKED_RECT locked{};
        if (ok && SUCCEEDED(argb->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
            Level level;
            level.width = int(desc.Width);
            level.height = int(desc.Height);
            level.bgra.resize(std::size_t(level.width) * level.height * 4);
            for (int y = 0; y < level.height; ++y)
                std::memcpy(&level.bgra[std::size_t(y) * level.width * 4],
                            static_cast<const std::uint8_t*>(locked.pBits) + std::size_t(y) * locked.Pitch,
                            std::size_t(level.width) * 4);
            argb->UnlockRect(0);
            levels.push_back(std::move(level));
        }
        if (to) to->Release();
        if (from) from->Release();
        if (argb) argb->Release();
    }
    texture->Release();
    return ok;
}

// Bilinear sample at (x, y) in texels (centres at .5) of the top-left
// width x height of `level`, clamped to it.
void bilinear(const Level& level, int width, int height, double x, double y, double out[4]) {
    x -= 0.5;
    y -= 0.5;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    auto texel = [&](int tx, int ty, int c) {
        tx = std::min(std::max(tx, 0), width - 1);
        ty = std::min(std::max(ty, 0), height - 1);
        return double(level.bgra[(std::size_t(ty) * level.width + tx) * 4 + c]);
    };
    for (int c = 0; c < 4; ++c)
        out[c] = (texel(x0, y0, c) * (1 - fx) + texel(x0 + 1, y0, c) * fx) * (1 - fy) +
                 (texel(x0, y0 + 1, c) * (1 - fx) + texel(x0 + 1, y0 + 1, c) * fx) * fy;
}

std::vector<Entry> readIndex(const char* file) {
    std::vector<Entry> entries;
    std::ifstream in(file);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (number <= 14) continue;
        std::string::size_type tabs = line.find("\t\t");
        if (tabs == std::string::npos) continue;
        Entry entry;
        entry.name = line.substr(0, tabs);
        std::string rest = line.substr(tabs + 2);
        std::string::size_type comma = rest.find(", ");
        entry.page = rest.substr(0, comma);
        int index = 0;
        if (std::sscanf(rest.c_str() + comma + 2, "%d, %lf, %lf, %lf, %lf", &index, &entry.u, &entry.v, &entry.width,
                        &entry.height) == 5)
            entries.push_back(entry);
    }
    return entries;
}

struct Sums {
    double rgba = 0, rgb = 0;
    long count = 0;
    void add(const double a[4], const double b[4]) {
        double colour = std::fabs(a[0] - b[0]) + std::fabs(a[1] - b[1]) + std::fabs(a[2] - b[2]);
        rgb += colour / 3;
        rgba += (colour + std::fabs(a[3] - b[3])) / 4;
        ++count;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: edge_error INDEX PAGE_DIR TEXTURE_DIR [LEVELS]\n");
        return 2;
    }
    const int levels = argc > 4 ? std::atoi(argv[4]) : 4;
    const std::string pageDir = argv[2], textureDir = argv[3];
    std::vector<Entry> entries = readIndex(argv[1]);
    IDirect3DDevice9* device = createDevice();
    if (!device || entries.empty()) {
        std::fprintf(stderr, "edge_error: no device or no index entries in %s\n", argv[1]);
        return 1;
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.page < b.page; });
    std::vector<Sums> edge(levels), crossing(levels), all(levels);
    std::string loadedPage;
    std::vector<Level> page, source;
    for (const Entry& entry : entries) {
        if (entry.page != loadedPage) {
            if (!loadLevels(device, pageDir + entry.page, levels, page)) {
                std::fprintf(stderr, "edge_error: cannot read %s%s\n", pageDir.c_str(), entry.page.c_str());
                return 1;
            }
            loadedPage = entry.page;
        }
        if (!loadLevels(device, textureDir + entry.name, levels, source)) {
            std::fprintf(stderr, "edge_error: cannot read %s%s\n", textureDir.c_str(), entry.name.c_str());
            return 1;
        }
        const int imageWidth = int(std::lround(entry.width * page[0].width));
        const int imageHeight = int(std::lround(entry.height * page[0].height));
        for (int l = 0; l < levels && l < int(page.size()); ++l) {
            const Level& own = source[std::min<std::size_t>(l, source.size() - 1)];
            const int w = std::min(std::max(1, imageWidth >> l), own.width);
            const int h = std::min(std::max(1, imageHeight >> l), own.height);
            for (int j = 0; j <= 4 * h; ++j)
                for (int i = 0; i <= 4 * w; ++i) {
                    const double s = double(i) / (4 * w), t = double(j) / (4 * h);
                    double expected[4], sampled[4];
                    bilinear(own, w, h, s * w, t * h, expected);
                    bilinear(page[l], page[l].width, page[l].height, (entry.u + s * entry.width) * page[l].width,
                             (entry.v + t * entry.height) * page[l].height, sampled);
                    all[l].add(expected, sampled);
                    // In quarter texels, exactly.
                    const int distance = std::min({i, 4 * w - i, j, 4 * h - j});
                    if (distance <= 4) edge[l].add(expected, sampled);
                    if (distance < 2) crossing[l].add(expected, sampled);
                }
        }
    }
    std::printf("textures=%zu\n", entries.size());
    auto mean = [](double sum, long count) { return count ? sum / count : 0.0; };
    for (int l = 0; l < levels; ++l)
        std::printf(
            "level=%d edge_rgba=%.1f edge_rgb=%.1f crossing_rgba=%.1f crossing_rgb=%.1f all_rgba=%.1f "
            "edge_samples=%ld\n",
            l, mean(edge[l].rgba, edge[l].count), mean(edge[l].rgb, edge[l].count),
            mean(crossing[l].rgba, crossing[l].count), mean(crossing[l].rgb, crossing[l].count),
            mean(all[l].rgba, all[l].count), edge[l].count);
    device->Release();
    return 0;
}
