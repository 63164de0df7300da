// Pictures of the result for people: one PNG per page at 1:1, and one HTML
// page that shows them magnified with every cell outlined, labelled where the
// label fits, named on hover, click and search, and each page's fill ratio.
#pragma once

#include <string>

#include "atlas_result.h"

// Reads the pages from `pageDirectory` and writes `<page>.png` and
// index.html into `previewDirectory` (which must exist), the pages on up to
// `threads` threads.
bool writePreviews(const AtlasResult& result, const std::string& pageDirectory, const std::string& previewDirectory,
                   unsigned threads, std::string& error);

// The integer magnification that keeps small pages legible.
int previewScale(int width, int height);
