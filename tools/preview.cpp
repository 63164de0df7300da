#include "preview.h"

#include <d3d9.h>
#include <d3dx9.h>
#include <png.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "device.h"
#include "reasons.h"
#include "text_file.h"

namespace {

// Level 0 of a page as A8R8G8B8 (BGRA bytes), whatever its format; the
// caller releases it.
IDirect3DTexture9* loadPage(IDirect3DDevice9* device, const std::string& path, std::string& error) {
    IDirect3DTexture9* texture = nullptr;
    HRESULT result = D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1,
                                                  0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, D3DX_FILTER_NONE,
                                                  D3DX_FILTER_NONE, 0, nullptr, nullptr, &texture);
    if (FAILED(result)) {
        error = "cannot read page " + path;
        return nullptr;
    }
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(0, &desc);
    if (desc.Format == D3DFMT_A8R8G8B8) return texture;
    IDirect3DTexture9* converted = nullptr;
    IDirect3DSurface9* from = nullptr;
    IDirect3DSurface9* to = nullptr;
    result = D3DXCreateTexture(device, desc.Width, desc.Height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &converted);
    if (SUCCEEDED(result)) result = texture->GetSurfaceLevel(0, &from);
    if (SUCCEEDED(result)) result = converted->GetSurfaceLevel(0, &to);
    if (SUCCEEDED(result))
        result = D3DXLoadSurfaceFromSurface(to, nullptr, nullptr, from, nullptr, nullptr, D3DX_FILTER_NONE, 0);
    if (to) to->Release();
    if (from) from->Release();
    texture->Release();
    if (FAILED(result)) {
        if (converted) converted->Release();
        error = "cannot convert page " + path;
        return nullptr;
    }
    return converted;
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
std::string previewFileName(const std::string& pageName) {
    std::string name = pageName;
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

// The page's script: zoom sets each page image's width from its texel size
// (fit: the window's width at most), and the cells, placed in percent,
// follow. Labels are the browser's text, with every glyph its fonts have;
// one that does not fit its cell is hidden, the name staying in the info
// line on hover or click and in the search.
const char kScript[] = R"(<script>
function cells(){return document.querySelectorAll('.cell');}
function names(c){return c.dataset.names.split('\n');}
function describe(c){const n=names(c);return n.join(', ')+' \u2014 '+c.closest('.page').dataset.page+', cell '+
c.dataset.cell+(n.length>1?' ('+n.length+' identical files)':'');}
function show(c){document.getElementById('info').textContent=describe(c);}
function select(c){for(const s of document.querySelectorAll('.cell.selected'))s.classList.remove('selected');
c.classList.add('selected');show(c);}
function fitLabels(){for(const c of cells()){const l=c.firstElementChild;c.classList.remove('tight');
if(l.offsetWidth>c.clientWidth-2||l.offsetHeight>c.clientHeight-2)c.classList.add('tight');}}
function zoom(k){for(const i of document.querySelectorAll('.page img')){i.style.width=i.dataset.w*(k||i.dataset.scale)+'px';
i.style.maxWidth=k?'none':'100%';}fitLabels();}
function find(q){q=q.toLowerCase();let first=null,count=0;for(const c of cells()){
const hit=q!==''&&names(c).some(n=>n.toLowerCase().includes(q));c.classList.toggle('hit',hit);
if(hit){count++;if(!first)first=c;}}if(first){first.scrollIntoView({block:'center'});show(first);}
document.getElementById('found').textContent=q?count+' found':'';}
for(const c of cells()){c.addEventListener('mouseenter',()=>show(c));c.addEventListener('click',()=>select(c));}
window.addEventListener('resize',fitLabels);window.addEventListener('load',fitLabels);
zoom(0);
</script>
)";

const char kStyle[] = R"(<style>
body{font:14px sans-serif;background:#222;color:#ddd;margin:20px}
.bar{position:sticky;top:0;background:#222;padding:6px 0;z-index:3}
#info{min-height:1.3em;color:#ff8;margin-top:4px}
.page{position:relative;display:inline-block;margin:8px 0 24px;line-height:0;
background:repeating-conic-gradient(#404040 0 25%,#606060 0 50%) 0 0/16px 16px}
.page img{display:block;height:auto;image-rendering:pixelated}
.cell{position:absolute;box-sizing:border-box;border:1px solid #f0f;overflow:hidden;cursor:pointer}
.cell span{position:absolute;left:1px;top:1px;font:11px sans-serif;line-height:normal;white-space:nowrap;
background:rgba(0,0,0,.7);color:#fff;padding:0 2px;pointer-events:none}
.cell.tight span{visibility:hidden}
.cell:hover,.cell.selected{border-color:#ff0;background:rgba(255,255,0,.25)}
.cell.hit{border:2px solid #0ff;background:rgba(0,255,255,.35)}
</style>
)";

// BGRA rows as a PNG (libpng takes them as they lie), at zlib's fastest
// level with the Sub filter: the PNGs are for looking at, and a smaller file
// was not worth writing them slower than the atlas is built.
bool writePng(const std::string& path, const std::uint8_t* bgra, UINT width, UINT height, size_t pitch) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    png_structp png = file ? png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr) : nullptr;
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_set_compression_level(png, 1);
        png_set_filter(png, 0, PNG_FILTER_SUB);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_set_bgr(png);
        for (UINT y = 0; y < height; ++y) png_write_row(png, bgra + y * pitch);
        png_write_end(png, nullptr);
        ok = true;
    }
    if (png) png_destroy_write_struct(&png, &info);
    if (file) ok = std::fclose(file) == 0 && ok;
    if (!ok) std::remove(path.c_str());
    return ok;
}

// Level 0 of an A8R8G8B8 texture as a PNG.
bool writePng(const std::string& path, IDirect3DTexture9* texture) {
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->GetLevelDesc(0, &desc)) || FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
        return false;
    bool ok = writePng(path, static_cast<const std::uint8_t*>(locked.pBits), desc.Width, desc.Height,
                       static_cast<size_t>(locked.Pitch));
    texture->UnlockRect(0);
    return ok;
}

}  // namespace

std::string previewHtml(const AtlasResult& result) {
    std::ostringstream html;
    html << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Atlas pages</title>\n"
         << kStyle
         << "</head><body>\n<h1>Atlas pages</h1>\n"
            "<div class=\"bar\">Zoom <button id=\"fit\" onclick=\"zoom(0)\">fit</button> "
            "<button id=\"x1\" onclick=\"zoom(1)\">1:1</button> <button id=\"x2\" onclick=\"zoom(2)\">2:1</button> "
            "&nbsp; Find <input id=\"find\" type=\"search\" oninput=\"find(this.value)\" placeholder=\"texture name\"> "
            "<span id=\"found\"></span><div id=\"info\"></div></div>\n";
    for (const PageResult& page : result.pages) {
        int scale = previewScale(page.width, page.height);
        html << "<h2>" << htmlEscape(page.file) << "</h2>\n<p>" << page.width << " x " << page.height << ", "
             << htmlEscape(page.format) << ", " << page.mipLevels << " mip level" << (page.mipLevels == 1 ? "" : "s")
             << ", " << page.textures.size() << " texture" << (page.textures.size() == 1 ? "" : "s") << ", fill "
             << percent(fillRatio(page)) << "</p>\n<div class=\"page\" data-page=\"" << htmlEscape(page.file)
             << "\"><img src=\"" << htmlEscape(previewFileName(page.name)) << "\" data-w=\"" << page.width
             << "\" data-scale=\"" << scale << "\" width=\"" << page.width * scale << "\" height=\""
             << page.height * scale << "\" alt=\"" << htmlEscape(page.name) << "\">\n";
        // Identical files share a cell: one cell names them all.
        std::vector<std::pair<const PlacedTexture*, std::vector<std::string>>> cellsOfPage;
        for (const PlacedTexture& texture : page.textures) {
            auto same = std::find_if(cellsOfPage.begin(), cellsOfPage.end(), [&](const auto& cell) {
                const PlacedTexture& other = *cell.first;
                return other.x == texture.x && other.y == texture.y && other.width == texture.width &&
                       other.height == texture.height;
            });
            if (same == cellsOfPage.end())
                cellsOfPage.push_back({&texture, {texture.name}});
            else
                same->second.push_back(texture.name);
        }
        for (const auto& [texture, cellNames] : cellsOfPage) {
            std::string joined;
            for (const std::string& name : cellNames) joined += (joined.empty() ? "" : "&#10;") + htmlEscape(name);
            const std::string shown = cellNames.front().substr(cellNames.front().find_last_of('/') + 1);
            html << "<div class=\"cell\" style=\"left:" << percentOf(texture->x, page.width)
                 << ";top:" << percentOf(texture->y, page.height) << ";width:" << percentOf(texture->width, page.width)
                 << ";height:" << percentOf(texture->height, page.height) << "\" data-names=\"" << joined
                 << "\" data-cell=\"" << texture->x << ", " << texture->y << ", " << texture->width << " x "
                 << texture->height << "\"><span>" << htmlEscape(shown)
                 << (cellNames.size() > 1 ? " +" + std::to_string(cellNames.size() - 1) : "") << "</span></div>\n";
        }
        html << "</div>\n";
    }
    writeSkippedList(html, "Left out: larger than their pages", skippedTextures().dropped);
    writeSkippedList(html, "Left out: could not be read", skippedTextures().unreadable);
    html << kScript << "</body></html>\n";
    return html.str();
}

// Rows of bytes in a level: block formats hold four texel rows in one.
size_t levelRows(const D3DSURFACE_DESC& desc) {
    switch (desc.Format) {
        case D3DFMT_DXT1:
        case D3DFMT_DXT2:
        case D3DFMT_DXT3:
        case D3DFMT_DXT4:
        case D3DFMT_DXT5:
            return (desc.Height + 3) / 4;
        default:
            return desc.Height;
    }
}

// The worker takes each page as it was handed over: A8R8G8B8 rows go
// straight to the PNG, other formats through a conversion on its own device.
PagePreviews::PagePreviews(const std::string& directory, bool ownThread) : directory(directory) {
    if (ownThread) worker = std::thread([this] { work(); });
}

PagePreviews::~PagePreviews() {
    std::string ignored;
    finish(ignored);
}

void PagePreviews::add(const std::string& pageName, IDirect3DTexture9* texture) {
    Page page;
    page.file = previewFileName(pageName);
    D3DSURFACE_DESC desc;
    D3DLOCKED_RECT locked;
    if (FAILED(texture->GetLevelDesc(0, &desc)) || FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) {
        std::lock_guard<std::mutex> lock(mutex);
        if (error.empty()) error = "cannot read page " + pageName + " for its preview";
        return;
    }
    page.width = desc.Width;
    page.height = desc.Height;
    page.format = desc.Format;
    page.pitch = static_cast<size_t>(locked.Pitch);
    page.bytes.assign(static_cast<const std::uint8_t*>(locked.pBits),
                      static_cast<const std::uint8_t*>(locked.pBits) + page.pitch * levelRows(desc));
    texture->UnlockRect(0);
    std::unique_lock<std::mutex> lock(mutex);
    // At most two pages wait: memory stays bounded when the worker falls behind.
    room.wait(lock, [this] { return waiting.size() < 2 || !worker.joinable(); });
    waiting.push_back(std::move(page));
    ready.notify_one();
}

bool PagePreviews::finish(std::string& failure) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        ready.notify_all();
    }
    if (worker.joinable()) worker.join();
    work();  // without a thread of its own, or what it left
    std::lock_guard<std::mutex> lock(mutex);
    failure = error;
    return error.empty();
}

void PagePreviews::work() {
    std::optional<SoftwareDevice> device;  // made for the first page that needs converting
    for (;;) {
        Page page;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [this] { return !waiting.empty() || done; });
            if (waiting.empty()) break;
            page = std::move(waiting.front());
            waiting.pop_front();
            room.notify_all();
        }
        std::string problem;
        const std::string path = directory + page.file;
        if (page.format == D3DFMT_A8R8G8B8) {
            if (!writePng(path, page.bytes.data(), page.width, page.height, page.pitch))
                problem = "cannot write " + path;
        } else {
            IDirect3DTexture9* converted = nullptr;
            IDirect3DSurface9* surface = nullptr;
            RECT rect{0, 0, static_cast<LONG>(page.width), static_cast<LONG>(page.height)};
            if (!device) device.emplace();
            if (!device->get()) problem = device->error();
            if (device->get() &&
                (FAILED(D3DXCreateTexture(device->get(), page.width, page.height, 1, 0, D3DFMT_A8R8G8B8,
                                          D3DPOOL_SYSTEMMEM, &converted)) ||
                 FAILED(converted->GetSurfaceLevel(0, &surface)) ||
                 FAILED(D3DXLoadSurfaceFromMemory(surface, nullptr, nullptr, page.bytes.data(), page.format,
                                                  static_cast<UINT>(page.pitch), nullptr, &rect, D3DX_FILTER_NONE, 0))))
                problem = "cannot convert page " + page.file + " for its preview";
            if (problem.empty() && !writePng(path, converted)) problem = "cannot write " + path;
            if (surface) surface->Release();
            if (converted) converted->Release();
        }
        if (!problem.empty()) {
            std::lock_guard<std::mutex> lock(mutex);
            if (error.empty()) error = problem;
        }
    }
}

int previewScale(int width, int height) {
    int side = std::max(std::max(width, height), 1);
    return std::max(1, std::min(8, 512 / side));
}

bool writePreviews(const AtlasResult& result, const std::string& pageDirectory, const std::string& previewDirectory,
                   unsigned threads, std::string& error) {
    // Pages are read back here and encoded on the previews' own thread.
    PagePreviews previews(previewDirectory, threads > 1);
    SoftwareDevice device;
    if (!device.get()) {
        error = device.error();
        return false;
    }
    bool ok = true;
    for (const PageResult& page : result.pages) {
        IDirect3DTexture9* texture = loadPage(device.get(), pageDirectory + page.file, error);
        if (!(ok = texture != nullptr)) break;
        previews.add(page.name, texture);
        texture->Release();
    }
    std::string encoding;
    if (!previews.finish(encoding) && ok) {
        error = encoding;
        ok = false;
    }
    return ok &&
           writeTextFile(previewDirectory + "index.html", previewHtml(result), previewDirectory + "index.html", error);
}
