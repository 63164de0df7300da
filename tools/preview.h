// Pictures of the result for people: one PNG per page at 1:1, and one HTML
// page that shows them magnified with every cell outlined, labelled where the
// label fits, named on hover, click and search, and each page's fill ratio.
#pragma once

#include <d3d9.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "atlas_result.h"

// Reads the pages from `pageDirectory` and writes `<page>.png` and
// index.html into `previewDirectory` (which must exist), the pages on up to
// `threads` threads.
bool writePreviews(const AtlasResult& result, const std::string& pageDirectory, const std::string& previewDirectory,
                   unsigned threads, std::string& error);

// The integer magnification that keeps small pages legible.
int previewScale(int width, int height);

// The text of index.html, which shows the page PNGs.
std::string previewHtml(const AtlasResult& result);

// Page PNGs written while a build goes on: the build hands each page's level
// 0 over as the layer saves it (a copy, so the library goes on at once), and
// a thread of its own encodes them beside the build, which mostly leaves a
// core idle. Without that thread they are written in finish(). A class for
// the thread it owns and joins.
class PagePreviews {
public:
    PagePreviews(const std::string& directory, bool ownThread);
    ~PagePreviews();
    PagePreviews(const PagePreviews&) = delete;
    PagePreviews& operator=(const PagePreviews&) = delete;

    void add(const std::string& pageName, IDirect3DTexture9* texture);
    // Writes what is left; false with the first failure.
    bool finish(std::string& error);

private:
    struct Page {
        std::string file;
        UINT width = 0, height = 0;
        D3DFORMAT format = D3DFMT_UNKNOWN;
        size_t pitch = 0;
        std::vector<std::uint8_t> bytes;
    };
    void work();

    std::string directory;
    std::mutex mutex;
    std::condition_variable ready, room;
    std::deque<Page> waiting;
    bool done = false;
    std::string error;
    std::thread worker;
};
