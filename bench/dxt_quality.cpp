// Block compression quality against two open encoders, image by image:
// the layer's DXT1 and DXT5 (through a surface copy, as page generation
// makes them), libsquish's cluster fit and stb_dxt's high-quality mode. Each
// encoder's blocks go through the layer's decoder, so only the encoders
// differ. Prints every image where the layer is not the best, then the worst
// deficit and the PSNR over all images of each set.
// Usage: dxt_quality SET=PATH... (a PATH is an image or a folder searched for PNG and JPEG files)
#include <d3d9.h>
#include <d3d9soft.h>
#include <d3dx9.h>
#include <squish.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#include <stb_image.h>
#define STB_DXT_IMPLEMENTATION
#include <stb_dxt.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "soft_device.h"

namespace {

enum Encoder { kLayer, kSquish, kStb, kEncoders };
const char* const kEncoderNames[kEncoders] = {"layer", "squish", "stb_dxt"};
constexpr double kExact = 99.0;  // PSNR shown for an exact image

struct Image {
    std::string path;
    unsigned width, height;
    std::vector<unsigned char> rgba;  // whole blocks only
};

// What an encoder should reproduce: DXT1 keeps alpha as one bit, transparent black below 128.
std::vector<unsigned char> target(const Image& image, D3DFORMAT format) {
    std::vector<unsigned char> t = image.rgba;
    if (format == D3DFMT_DXT1)
        for (std::size_t i = 0; i < t.size(); i += 4) {
            if (t[i + 3] < 128)
                std::memset(&t[i], 0, 4);
            else
                t[i + 3] = 255;
        }
    return t;
}

void blockAt(const Image& image, unsigned bx, unsigned by, unsigned char out[64]) {
    for (unsigned y = 0; y < 4; ++y)
        std::memcpy(out + 16 * y, &image.rgba[(std::size_t(by * 4 + y) * image.width + bx * 4) * 4], 16);
}

std::vector<unsigned char> encodeReference(const Image& image, D3DFORMAT format, Encoder encoder) {
    const unsigned blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
    float uniform[3] = {1, 1, 1};  // squish weighs by perception unless told, PSNR does not
    std::vector<unsigned char> blocks(std::size_t(image.width / 4) * (image.height / 4) * blockBytes);
    unsigned char texels[64];
    unsigned char* out = blocks.data();
    for (unsigned by = 0; by < image.height / 4; ++by)
        for (unsigned bx = 0; bx < image.width / 4; ++bx, out += blockBytes) {
            blockAt(image, bx, by, texels);
            if (encoder == kSquish)
                squish::Compress(texels, out,
                                 (format == D3DFMT_DXT1 ? squish::kDxt1 : squish::kDxt5) | squish::kColourClusterFit,
                                 uniform);
            else
                stb_compress_dxt_block(out, texels, format == D3DFMT_DXT5, STB_DXT_HIGHQUAL);
        }
    return blocks;
}

struct Surface {
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* surface = nullptr;
    Surface(IDirect3DDevice9* device, unsigned width, unsigned height, D3DFORMAT format) {
        D3DXCreateTexture(device, width, height, 1, 0, format, D3DPOOL_SYSTEMMEM, &texture);
        texture->GetSurfaceLevel(0, &surface);
    }
    ~Surface() {
        surface->Release();
        texture->Release();
    }
    void write(const unsigned char* data, unsigned rowBytes, unsigned rows) {
        D3DLOCKED_RECT locked;
        texture->LockRect(0, &locked, nullptr, 0);
        for (unsigned y = 0; y < rows; ++y)
            std::memcpy(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch, data + y * rowBytes, rowBytes);
        texture->UnlockRect(0);
    }
    std::vector<unsigned char> read(unsigned rowBytes, unsigned rows) {
        std::vector<unsigned char> data(std::size_t(rowBytes) * rows);
        D3DLOCKED_RECT locked;
        texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
        for (unsigned y = 0; y < rows; ++y)
            std::memcpy(&data[y * rowBytes], static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch, rowBytes);
        texture->UnlockRect(0);
        return data;
    }
};

// BGRA bytes of an A8R8G8B8 surface back to RGBA.
void swapRedBlue(std::vector<unsigned char>& texels) {
    for (std::size_t i = 0; i < texels.size(); i += 4) std::swap(texels[i], texels[i + 2]);
}

// FNV-1a over the layer's blocks: a change to the encoder that is meant to
// keep its output shows here as the same hash before and after.
constexpr std::uint64_t kHashStart = 14695981039346656037ull;
std::uint64_t hashBytes(std::uint64_t hash, const std::vector<unsigned char>& bytes) {
    for (unsigned char b : bytes) hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

struct Result {
    double squared[kEncoders] = {};
    double seconds[kEncoders] = {};
    std::uint64_t layerBytes = kHashStart;
};

Result measure(IDirect3DDevice9* device, const Image& image, D3DFORMAT format) {
    Result result;
    const unsigned blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
    const unsigned blockRow = image.width / 4 * blockBytes, blockRows = image.height / 4;
    const std::vector<unsigned char> wanted = target(image, format);
    std::vector<unsigned char> bgra = image.rgba;
    swapRedBlue(bgra);
    Surface source(device, image.width, image.height, D3DFMT_A8R8G8B8);
    source.write(bgra.data(), image.width * 4, image.height);
    for (int e = 0; e < kEncoders; ++e) {
        Surface packed(device, image.width, image.height, format);
        auto start = std::chrono::steady_clock::now();
        if (e == kLayer)
            D3DXLoadSurfaceFromSurface(packed.surface, nullptr, nullptr, source.surface, nullptr, nullptr,
                                       D3DX_FILTER_NONE, 0);
        else
            packed.write(encodeReference(image, format, Encoder(e)).data(), blockRow, blockRows);
        result.seconds[e] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (e == kLayer) result.layerBytes = hashBytes(result.layerBytes, packed.read(blockRow, blockRows));
        Surface back(device, image.width, image.height, D3DFMT_A8R8G8B8);
        D3DXLoadSurfaceFromSurface(back.surface, nullptr, nullptr, packed.surface, nullptr, nullptr, D3DX_FILTER_NONE,
                                   0);
        std::vector<unsigned char> decoded = back.read(image.width * 4, image.height);
        swapRedBlue(decoded);
        for (std::size_t i = 0; i < decoded.size(); ++i) {
            double d = double(decoded[i]) - double(wanted[i]);
            result.squared[e] += d * d;
        }
    }
    return result;
}

double psnr(double squared, double samples) {
    if (squared == 0) return kExact;
    return std::min(kExact, 10.0 * std::log10(255.0 * 255.0 * samples / squared));
}

bool loadImage(const std::string& path, Image& image) {
    int w, h, n;
    unsigned char* pixels = stbi_load(path.c_str(), &w, &h, &n, 4);
    if (!pixels) return false;
    image.path = path;
    image.width = unsigned(w) & ~3u;
    image.height = unsigned(h) & ~3u;
    image.rgba.resize(std::size_t(image.width) * image.height * 4);
    for (unsigned y = 0; y < image.height; ++y)
        std::memcpy(&image.rgba[std::size_t(y) * image.width * 4], pixels + std::size_t(y) * w * 4, image.width * 4);
    stbi_image_free(pixels);
    return image.width && image.height;
}

std::vector<std::string> imagesUnder(const std::string& path) {
    std::vector<std::string> found;
    namespace fs = std::filesystem;
    if (fs::is_regular_file(path)) return {path};
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(path, error); it != fs::recursive_directory_iterator(); ++it) {
        std::string ext = it->path().extension().string();
        if (it->is_regular_file() && (ext == ".png" || ext == ".jpg")) found.push_back(it->path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SET=PATH...\n", argv[0]);
        return 2;
    }
    IDirect3DDevice9* device = createDevice();
    D3D9SoftSetThreadCount(1);  // one core, as the references run
    double worst[2] = {0, 0};
    std::string worstImage[2];
    for (int a = 1; a < argc; ++a) {
        std::string arg = argv[a], set = arg.substr(0, arg.find('=')), path = arg.substr(arg.find('=') + 1);
        const D3DFORMAT formats[2] = {D3DFMT_DXT1, D3DFMT_DXT5};
        Result total[2];
        double samples = 0;
        int images = 0;
        for (const std::string& file : imagesUnder(path)) {
            Image image;
            if (!loadImage(file, image)) continue;
            ++images;
            const double n = double(image.rgba.size());
            samples += n;
            for (int f = 0; f < 2; ++f) {
                Result r = measure(device, image, formats[f]);
                double layer = psnr(r.squared[kLayer], n);
                double reference = std::max(psnr(r.squared[kSquish], n), psnr(r.squared[kStb], n));
                if (layer - reference < -0.05)
                    std::printf("  %s %s: layer %.2f dB, squish %.2f, stb_dxt %.2f\n", f ? "DXT5" : "DXT1",
                                file.c_str(), layer, psnr(r.squared[kSquish], n), psnr(r.squared[kStb], n));
                if (layer - reference < worst[f]) {
                    worst[f] = layer - reference;
                    worstImage[f] = file;
                }
                for (int e = 0; e < kEncoders; ++e) {
                    total[f].squared[e] += r.squared[e];
                    total[f].seconds[e] += r.seconds[e];
                }
                total[f].layerBytes = (total[f].layerBytes ^ r.layerBytes) * 1099511628211ull;
            }
        }
        for (int f = 0; f < 2; ++f) {
            std::printf("%s, %d images, %s (PSNR over the set; Mpixel/s on one core):", set.c_str(), images,
                        f ? "DXT5" : "DXT1");
            for (int e = 0; e < kEncoders; ++e)
                std::printf("  %s %.2f dB %.1f", kEncoderNames[e], psnr(total[f].squared[e], samples),
                            samples / 4 / total[f].seconds[e] / 1e6);
            std::printf("; layer's blocks %016llx\n", static_cast<unsigned long long>(total[f].layerBytes));
        }
    }
    for (int f = 0; f < 2; ++f)
        std::printf("worst image, %s: %+.2f dB against the better of squish and stb_dxt%s%s\n", f ? "DXT5" : "DXT1",
                    worst[f], worstImage[f].empty() ? "" : ": ", worstImage[f].c_str());
    device->Release();
    return 0;
}
