#include "extrude.h"

#include <d3d9soft.h>
#include <d3dx9.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>

using texatlas_layout::LaidOutPage;
using texatlas_layout::LaidOutTexture;

namespace {

// One copy that the library makes into a page, in its order: per texture,
// one per level while the halved cell is not empty, then, on DXT pages, one
// per level from the composed page into the compressed one.
struct Step {
    int texture = -1;  // into the page's textures; -1 for a compression copy
    int level = 0;
    RECT destination{};  // the rectangle the library passes
    RECT cell{};         // the texture's cell at this level: what may be written
};

struct PagePlan {
    const LaidOutPage* page = nullptr;
    int levels = 1;
    bool packedPairs = false;  // two texels share their bytes (UYVY and its kin)
    std::vector<Step> steps;
};

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool isDxt(const std::string& format) {
    return format.size() == 4 && format.compare(0, 3, "DXT") == 0 && format[3] >= '1' && format[3] <= '5';
}

bool isPackedPairs(const std::string& format) {
    return format == "UYVY" || format == "YUY2" || format == "R8G8_B8G8" || format == "G8R8_G8B8";
}

// The page texture's level count: the request, at most the full chain.
int pageLevels(const LaidOutPage& page) {
    int full = 1;
    for (int size = std::max(page.width, page.height); size > 1; size >>= 1) ++full;
    return std::min(std::max(page.mipLevels, 1), full);
}

RECT makeRect(int x, int y, int width, int height) { return RECT{x, y, x + width, y + height}; }

bool sameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string describe(const RECT& r) {
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ")-(" + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + ")";
}

PagePlan planPage(const LaidOutPage& page) {
    PagePlan plan;
    plan.page = &page;
    plan.levels = pageLevels(page);
    const std::string format = upper(page.format);
    plan.packedPairs = isPackedPairs(format);
    for (size_t t = 0; t < page.textures.size(); ++t) {
        const LaidOutTexture& texture = page.textures[t];
        const RECT cell = makeRect(texture.x - texture.margin, texture.y - texture.margin,
                                   texture.width + 2 * texture.margin, texture.height + 2 * texture.margin);
        int x = cell.left, y = cell.top, w = cell.right - cell.left, h = cell.bottom - cell.top;
        for (int level = 0; level < plan.levels && w > 0 && h > 0; ++level) {
            Step step;
            step.texture = static_cast<int>(t);
            step.level = level;
            // Level 0 gets the image alone, the lower levels the halved cell.
            step.destination =
                level == 0 ? makeRect(texture.x, texture.y, texture.width, texture.height) : makeRect(x, y, w, h);
            // Halving x and w apart loses up to a texel at the right and
            // bottom that no cell holds, and without it the image could not
            // stand where the index says: the cell reaches to where the next
            // one starts. Cells apart at level 0 stay apart this way.
            step.cell = RECT{x, y, cell.right >> level, cell.bottom >> level};
            plan.steps.push_back(step);
            x /= 2, y /= 2, w /= 2, h /= 2;
        }
    }
    if (isDxt(format))
        for (int level = 0; level < plan.levels; ++level) {
            Step step;
            step.level = level;
            plan.steps.push_back(step);
        }
    return plan;
}

// An edge of the index rectangle at `level`, to the nearest texel (halves
// up, as the engine's texel centres would round them).
LONG halvedEdge(int edge, int level) { return level == 0 ? edge : (edge + (1 << (level - 1))) >> level; }

// Where the image stands at the step's level: the index rectangle, inside
// the cell, no larger than what the library copied from the source level.
RECT imageRect(const LaidOutTexture& texture, const Step& step, const RECT& destination, UINT sourceWidth,
               UINT sourceHeight) {
    RECT image{halvedEdge(texture.x, step.level), halvedEdge(texture.y, step.level),
               halvedEdge(texture.x + texture.width, step.level), halvedEdge(texture.y + texture.height, step.level)};
    image.left = std::max(image.left, step.cell.left);
    image.top = std::max(image.top, step.cell.top);
    image.right = std::min({image.right, step.cell.right, image.left + LONG(sourceWidth),
                            image.left + (destination.right - destination.left)});
    image.bottom = std::min({image.bottom, step.cell.bottom, image.top + LONG(sourceHeight),
                             image.top + (destination.bottom - destination.top)});
    return image;
}

// The library copied the source level to the destination's top-left corner:
// the image moves from there to `image`, then every texel of the cell outside
// it takes the nearest image texel.
void extendImage(std::uint8_t* bits, long pitch, size_t bytes, const RECT& copied, const RECT& cell,
                 const RECT& image) {
    auto at = [&](LONG x, LONG y) { return bits + y * pitch + size_t(x) * bytes; };
    const LONG width = image.right - image.left, height = image.bottom - image.top;
    // It only moves down and right, so the bottom rows go first.
    if (image.left != copied.left || image.top != copied.top)
        for (LONG row = height - 1; row >= 0; --row)
            std::memmove(at(image.left, image.top + row), at(copied.left, copied.top + row), size_t(width) * bytes);
    for (LONG y = image.top; y < image.bottom; ++y) {
        for (LONG x = cell.left; x < image.left; ++x) std::memcpy(at(x, y), at(image.left, y), bytes);
        for (LONG x = image.right; x < cell.right; ++x) std::memcpy(at(x, y), at(image.right - 1, y), bytes);
    }
    const size_t row = size_t(cell.right - cell.left) * bytes;
    for (LONG y = cell.top; y < image.top; ++y) std::memcpy(at(cell.left, y), at(cell.left, image.top), row);
    for (LONG y = image.bottom; y < cell.bottom; ++y)
        std::memcpy(at(cell.left, y), at(cell.left, image.bottom - 1), row);
}

}  // namespace

struct Extrusion {
    IDirect3DDevice9* device = nullptr;
    textureatlas::MessageCallback warning = textureatlas::nullMessageHandler;
    std::vector<PagePlan> pages;
    size_t page = 0, step = 0;  // the copy expected next
    bool pageStopped = false;   // the current page is left as the library writes it
    size_t texelBytes = 0;      // of the current page
    bool extraWarned = false;
};

namespace {

void stopPage(Extrusion& extrusion, const std::string& why) {
    extrusion.pageStopped = true;
    extrusion.warning("--extrude: page " + extrusion.pages[extrusion.page].page->name + ": " + why +
                      "; the rest of the page is as the library composed it");
}

// Why the copy is not the step the plan expects; empty when it is.
std::string unexpected(const PagePlan& plan, const Step& step, const D3D9SoftSurfaceCopy& copy) {
    if (step.texture < 0)
        return copy.pDestRect || copy.Filter != D3DX_DEFAULT ? "a copy came where the compression was expected" : "";
    const std::string what =
        "copy of " + plan.page->textures[step.texture].name + " level " + std::to_string(step.level);
    if (!copy.pDestRect) return "the " + what + " went to a whole level";
    if (!sameRect(*copy.pDestRect, step.destination))
        return "the " + what + " went to " + describe(*copy.pDestRect) + ", not " + describe(step.destination);
    D3DSURFACE_DESC desc{};
    if (FAILED(copy.pDestSurface->GetDesc(&desc))) return "the " + what + " went to a surface that has no size";
    const UINT width = UINT(std::max(1, plan.page->width >> step.level));
    const UINT height = UINT(std::max(1, plan.page->height >> step.level));
    if (desc.Width != width || desc.Height != height)
        return "the " + what + " went to a level of " + std::to_string(desc.Width) + " x " +
               std::to_string(desc.Height) + ", not " + std::to_string(width) + " x " + std::to_string(height);
    if (copy.Filter != D3DX_FILTER_NONE || copy.pSrcRect) return "the " + what + " was scaled or cropped";
    return "";
}

std::string extrude(const Extrusion& extrusion, const PagePlan& plan, const Step& step,
                    const D3D9SoftSurfaceCopy& copy) {
    const LaidOutTexture& texture = plan.page->textures[step.texture];
    D3DSURFACE_DESC source{};
    if (FAILED(copy.pSrcSurface->GetDesc(&source))) return "the source of " + texture.name + " has no size";
    RECT image = imageRect(texture, step, *copy.pDestRect, source.Width, source.Height);
    if (image.left >= image.right || image.top >= image.bottom) return "";  // too small to hold a texel of it
    D3DLOCKED_RECT locked{};
    if (FAILED(copy.pDestSurface->LockRect(&locked, nullptr, 0)))
        return "level " + std::to_string(step.level) + " cannot be locked";
    extendImage(static_cast<std::uint8_t*>(locked.pBits), locked.Pitch, extrusion.texelBytes, *copy.pDestRect,
                step.cell, image);
    copy.pDestSurface->UnlockRect();
    return "";
}

// The first copy of a page tells what its texels are.
void startPage(Extrusion& extrusion, const PagePlan& plan, const D3D9SoftSurfaceCopy& copy) {
    extrusion.pageStopped = false;
    D3DSURFACE_DESC desc{};
    extrusion.texelBytes = SUCCEEDED(copy.pDestSurface->GetDesc(&desc)) ? D3D9SoftGetTexelBytes(desc.Format) : 0;
    if (plan.packedPairs || extrusion.texelBytes == 0)
        stopPage(extrusion, "not extruded: its texels (" + plan.page->format + ") are not whole bytes");
}

void onCopy(void* context, const D3D9SoftSurfaceCopy* copy) {
    Extrusion& extrusion = *static_cast<Extrusion*>(context);
    while (extrusion.page < extrusion.pages.size() && extrusion.pages[extrusion.page].steps.empty()) ++extrusion.page;
    if (extrusion.page >= extrusion.pages.size()) {
        if (!extrusion.extraWarned)
            extrusion.warning("--extrude: the library made more copies than its pages need; they were left alone");
        extrusion.extraWarned = true;
        return;
    }
    const PagePlan& plan = extrusion.pages[extrusion.page];
    const Step& step = plan.steps[extrusion.step];
    if (extrusion.step == 0) startPage(extrusion, plan, *copy);
    if (FAILED(copy->Result)) extrusion.pageStopped = true;  // the build fails and says why
    if (!extrusion.pageStopped) {
        std::string problem = unexpected(plan, step, *copy);
        if (problem.empty() && step.texture >= 0 && plan.page->textures[step.texture].margin > 0)
            problem = extrude(extrusion, plan, step, *copy);
        if (!problem.empty()) stopPage(extrusion, problem);
    }
    if (++extrusion.step == plan.steps.size()) {
        ++extrusion.page;
        extrusion.step = 0;
    }
}

}  // namespace

Extrusion* startExtrusion(IDirect3DDevice9* device, const std::vector<LaidOutPage>& pages,
                          textureatlas::MessageCallback warning) {
    Extrusion* extrusion = new Extrusion;
    extrusion->device = device;
    extrusion->warning = warning;
    for (const LaidOutPage& page : pages) extrusion->pages.push_back(planPage(page));
    if (FAILED(D3D9SoftSetSurfaceCopyHook(device, onCopy, extrusion))) {
        warning("--extrude: the device cannot show the tool its copies; the pages are as the library composes them");
        delete extrusion;
        return nullptr;
    }
    return extrusion;
}

void stopExtrusion(Extrusion* extrusion, bool composed) {
    if (!extrusion) return;
    D3D9SoftSetSurfaceCopyHook(extrusion->device, nullptr, nullptr);
    while (extrusion->page < extrusion->pages.size() && extrusion->pages[extrusion->page].steps.empty())
        ++extrusion->page;
    if (composed && extrusion->page < extrusion->pages.size())
        extrusion->warning("--extrude: page " + extrusion->pages[extrusion->page].page->name +
                           ": the library made fewer copies than expected; it may not be extruded");
    delete extrusion;
}
