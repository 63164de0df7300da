#include "preview.h"

#include <d3d9.h>
#include <d3dx9.h>
#include <stb_easy_font.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include "reasons.h"

namespace {

struct Canvas {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

struct Colour {
    std::uint8_t r, g, b, a;
};

const Colour kOutline = {255, 0, 255, 255};
const Colour kLabelBack = {0, 0, 0, 200};
const Colour kLabelText = {255, 255, 255, 255};
const int kMaxPreviewSide = 4096;

void blend(Canvas& canvas, int x, int y, Colour colour) {
    if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return;
    std::uint8_t* pixel = &canvas.rgba[(static_cast<size_t>(y) * canvas.width + x) * 4];
    int a = colour.a;
    pixel[0] = static_cast<std::uint8_t>((colour.r * a + pixel[0] * (255 - a)) / 255);
    pixel[1] = static_cast<std::uint8_t>((colour.g * a + pixel[1] * (255 - a)) / 255);
    pixel[2] = static_cast<std::uint8_t>((colour.b * a + pixel[2] * (255 - a)) / 255);
    pixel[3] = 255;
}

void fillRect(Canvas& canvas, int x0, int y0, int x1, int y1, Colour colour) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, canvas.width);
    y1 = std::min(y1, canvas.height);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) blend(canvas, x, y, colour);
}

void outlineRect(Canvas& canvas, int x0, int y0, int x1, int y1, Colour colour) {
    if (x1 <= x0 || y1 <= y0) return;
    fillRect(canvas, x0, y0, x1, y0 + 1, colour);
    fillRect(canvas, x0, y1 - 1, x1, y1, colour);
    fillRect(canvas, x0, y0 + 1, x0 + 1, y1 - 1, colour);
    fillRect(canvas, x1 - 1, y0 + 1, x1, y1 - 1, colour);
}

int textWidth(std::string text) { return stb_easy_font_width(&text[0]); }

void drawText(Canvas& canvas, int x, int y, std::string text, Colour colour) {
    static char vertices[64 * 1024];  // stb_easy_font needs about 270 bytes a character
    int quads = stb_easy_font_print(static_cast<float>(x), static_cast<float>(y), &text[0], nullptr, vertices,
                                    sizeof(vertices));
    for (int q = 0; q < quads; ++q) {
        const float* corner = reinterpret_cast<const float*>(vertices + q * 64);  // 4 vertices of 16 bytes
        float left = corner[0], top = corner[1];
        float right = corner[8], bottom = corner[9];  // the third vertex
        fillRect(canvas, static_cast<int>(left), static_cast<int>(top), static_cast<int>(right + 0.5f),
                 static_cast<int>(bottom + 0.5f), colour);
    }
}

// The name, shortened from the left until it fits `room` pixels; empty when
// not even a few characters fit.
std::string fittingLabel(const std::string& name, int room) {
    std::string label = name.substr(name.find_last_of('/') + 1);
    if (textWidth(label) <= room) return label;
    while (label.size() > 3) {
        label.pop_back();
        if (textWidth(label + "~") <= room) return label + "~";
    }
    return std::string();
}

// Loads level 0 of a page as 32-bit BGRA, whatever its format.
bool loadPage(IDirect3DDevice9* device, const std::string& path, Canvas& page, std::string& error) {
    IDirect3DTexture9* texture = nullptr;
    HRESULT result = D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1,
                                                  0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE,
                                                  D3DX_FILTER_NONE, 0, nullptr, nullptr, &texture);
    if (FAILED(result)) {
        error = "cannot read page " + path;
        return false;
    }
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(0, &desc);
    IDirect3DTexture9* converted = nullptr;
    if (desc.Format != D3DFMT_A8R8G8B8) {
        IDirect3DSurface9* from = nullptr;
        IDirect3DSurface9* to = nullptr;
        result =
            D3DXCreateTexture(device, desc.Width, desc.Height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &converted);
        if (SUCCEEDED(result)) result = texture->GetSurfaceLevel(0, &from);
        if (SUCCEEDED(result)) result = converted->GetSurfaceLevel(0, &to);
        if (SUCCEEDED(result))
            result = D3DXLoadSurfaceFromSurface(to, nullptr, nullptr, from, nullptr, nullptr, D3DX_FILTER_NONE, 0);
        if (to) to->Release();
        if (from) from->Release();
        texture->Release();
        texture = converted;
        if (FAILED(result)) {
            if (texture) texture->Release();
            error = "cannot convert page " + path;
            return false;
        }
    }
    D3DLOCKED_RECT locked;
    if (FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
        texture->Release();
        error = "cannot read page " + path;
        return false;
    }
    page.width = static_cast<int>(desc.Width);
    page.height = static_cast<int>(desc.Height);
    page.rgba.resize(static_cast<size_t>(page.width) * page.height * 4);
    for (int y = 0; y < page.height; ++y) {
        const std::uint8_t* row =
            static_cast<const std::uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch;
        std::copy(row, row + static_cast<size_t>(page.width) * 4, &page.rgba[static_cast<size_t>(y) * page.width * 4]);
    }
    texture->UnlockRect(0);
    texture->Release();
    return true;
}

// The page magnified, over a checkerboard so that transparent texels show.
Canvas compose(const Canvas& page, int scale) {
    Canvas canvas;
    canvas.width = page.width * scale;
    canvas.height = page.height * scale;
    canvas.rgba.resize(static_cast<size_t>(canvas.width) * canvas.height * 4);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const std::uint8_t* bgra = &page.rgba[(static_cast<size_t>(y / scale) * page.width + x / scale) * 4];
            std::uint8_t check = ((x / 8 + y / 8) % 2) ? 96 : 64;
            std::uint8_t* out = &canvas.rgba[(static_cast<size_t>(y) * canvas.width + x) * 4];
            out[0] = out[1] = out[2] = check;
            out[3] = 255;
            blend(canvas, x, y, Colour{bgra[2], bgra[1], bgra[0], bgra[3]});
        }
    }
    return canvas;
}

void drawCells(Canvas& canvas, const PageResult& page, int scale) {
    for (const PlacedTexture& texture : page.textures) {
        int x0 = texture.x * scale, y0 = texture.y * scale;
        int x1 = (texture.x + texture.width) * scale, y1 = (texture.y + texture.height) * scale;
        outlineRect(canvas, x0, y0, x1, y1, kOutline);
        std::string label = fittingLabel(texture.name, x1 - x0 - 6);
        if (label.empty() || y1 - y0 < 14) continue;
        fillRect(canvas, x0 + 1, y0 + 1, x0 + 5 + textWidth(label), y0 + 12, kLabelBack);
        drawText(canvas, x0 + 3, y0 + 3, label, kLabelText);
    }
}

std::string htmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Page names become file names; keep them to one path component.
std::string previewFileName(const PageResult& page) {
    std::string name = page.name;
    std::replace(name.begin(), name.end(), '/', '_');
    std::replace(name.begin(), name.end(), '\\', '_');
    return name + ".png";
}

std::string percent(double ratio) {
    char text[16];
    std::snprintf(text, sizeof(text), "%.1f%%", ratio * 100.0);
    return text;
}

std::string percentOf(int part, int whole) {
    char text[24];
    std::snprintf(text, sizeof(text), "%.4f%%", whole > 0 ? 100.0 * part / whole : 0.0);
    return text;
}

void writeSkippedList(std::ostringstream& html, const char* title, const std::vector<SkippedTexture>& textures) {
    if (textures.empty()) return;
    html << "<h2>" << title << "</h2>\n<ul>\n";
    for (const SkippedTexture& texture : textures)
        html << "<li><b>" << htmlEscape(texture.name) << "</b>" << (texture.reason.empty() ? "" : ": ")
             << htmlEscape(texture.reason) << "</li>\n";
    html << "</ul>\n";
}

// Zoom buttons set each page image's width from its texel size (fit: the
// window's width at most); cells are placed in percent so they follow.
const char kScript[] =
    "<script>\n"
    "function zoom(k){for(const i of document.querySelectorAll('.page img')){"
    "i.style.width=k?(i.dataset.w*k)+'px':'';i.style.maxWidth=k?'none':'100%';}}\n"
    "function find(q){q=q.toLowerCase();let first=null;for(const c of document.querySelectorAll('.cell')){"
    "const hit=q!==''&&c.dataset.name.toLowerCase().includes(q);c.classList.toggle('hit',hit);"
    "if(hit&&!first)first=c;}if(first)first.scrollIntoView({block:'center'});"
    "document.getElementById('found').textContent=q?document.querySelectorAll('.hit').length+' found':'';}\n"
    "zoom(0);\n</script>\n";

bool writeHtml(const AtlasResult& result, const std::string& path) {
    std::ostringstream html;
    html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Atlas pages</title>\n<style>\n"
            "body{font:14px sans-serif;background:#222;color:#ddd;margin:20px}\n"
            ".bar{position:sticky;top:0;background:#222;padding:6px 0;z-index:2}\n"
            ".page{position:relative;display:inline-block;margin:8px 0 24px;line-height:0}\n"
            ".page img{image-rendering:pixelated}\n"
            ".cell{position:absolute;box-sizing:border-box;border:1px solid transparent}\n"
            ".cell:hover{border-color:#ff0;background:rgba(255,255,0,.25)}\n"
            ".cell.hit{border:2px solid #0ff;background:rgba(0,255,255,.35)}\n"
            ".cell:hover::after{content:attr(data-name);position:absolute;left:0;top:100%;z-index:1;"
            "line-height:normal;white-space:nowrap;background:#000;color:#fff;padding:2px 4px}\n"
            "</style></head><body>\n<h1>Atlas pages</h1>\n"
            "<div class=\"bar\">Zoom <button onclick=\"zoom(0)\">fit</button> <button onclick=\"zoom(1)\">1:1</button> "
            "<button onclick=\"zoom(2)\">2:1</button> &nbsp; Find <input type=\"search\" "
            "oninput=\"find(this.value)\" placeholder=\"texture name\"> <span id=\"found\"></span></div>\n";
    for (const PageResult& page : result.pages) {
        int scale = previewScale(page.width, page.height);
        html << "<h2>" << htmlEscape(page.file) << "</h2>\n<p>" << page.width << " x " << page.height << ", "
             << htmlEscape(page.format) << ", " << page.mipLevels << " mip level" << (page.mipLevels == 1 ? "" : "s")
             << ", " << page.textures.size() << " texture" << (page.textures.size() == 1 ? "" : "s") << ", fill "
             << percent(fillRatio(page)) << "</p>\n<div class=\"page\"><img src=\"" << htmlEscape(previewFileName(page))
             << "\" data-w=\"" << page.width << "\" width=\"" << page.width * scale << "\" alt=\""
             << htmlEscape(page.name) << "\">\n";
        for (const PlacedTexture& texture : page.textures) {
            html << "<div class=\"cell\" style=\"left:" << percentOf(texture.x, page.width)
                 << ";top:" << percentOf(texture.y, page.height) << ";width:" << percentOf(texture.width, page.width)
                 << ";height:" << percentOf(texture.height, page.height) << "\" data-name=\""
                 << htmlEscape(texture.name) << " (" << texture.width << " x " << texture.height << " at " << texture.x
                 << ", " << texture.y << ")\"></div>\n";
        }
        html << "</div>\n";
    }
    writeSkippedList(html, "Left out: larger than their pages", skippedTextures().dropped);
    writeSkippedList(html, "Left out: could not be read", skippedTextures().unreadable);
    html << kScript << "</body></html>\n";
    std::ofstream file(path, std::ios::binary);
    file << html.str();
    file.close();
    return static_cast<bool>(file);
}

}  // namespace

int previewScale(int width, int height) {
    int side = std::max(std::max(width, height), 1);
    return std::max(1, std::min(8, 512 / side));
}

bool writePreviews(IDirect3DDevice9* device, const AtlasResult& result, const std::string& pageDirectory,
                   const std::string& previewDirectory, std::string& error) {
    for (const PageResult& page : result.pages) {
        Canvas pixels;
        if (!loadPage(device, pageDirectory + page.file, pixels, error)) return false;
        int scale = previewScale(pixels.width, pixels.height);
        if (pixels.width * scale > kMaxPreviewSide || pixels.height * scale > kMaxPreviewSide) {
            error = "page " + page.file + " is too large to preview";
            return false;
        }
        Canvas canvas = compose(pixels, scale);
        drawCells(canvas, page, scale);
        std::string path = previewDirectory + previewFileName(page);
        if (!stbi_write_png(path.c_str(), canvas.width, canvas.height, 4, canvas.rgba.data(), canvas.width * 4)) {
            error = "cannot write " + path;
            return false;
        }
    }
    if (!writeHtml(result, previewDirectory + "index.html")) {
        error = "cannot write " + previewDirectory + "index.html";
        return false;
    }
    return true;
}
