#include "index_file.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <unordered_map>

#include "group_build.h"
#include "layout_probe.h"
#include "probe.h"

namespace {

const int kHeaderLines = 14;
const char kColumnsLine[] = "# <filename>\t\t<atlas filename>";

bool parseFloat(const std::string& text, float& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtof(text.c_str(), &end);
    // Fractions of a page; anything far outside is not an index we wrote.
    return end == text.c_str() + text.size() && value >= -1.0f && value <= 2.0f;
}

bool parseInt(const std::string& text, int& value) {
    if (text.empty() || text.size() > 10) return false;
    char* end = nullptr;
    long parsed = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + text.size() || parsed < 0 || parsed > 1000000) return false;
    value = static_cast<int>(parsed);
    return true;
}

// "<name>\t\t<page>.dds, <idx>, <u>, <v>, <w>, <h>". Names may hold blanks and
// commas, so the numbers are taken from the right.
bool parseEntry(const std::string& line, std::string& name, std::string& pageFile, int& pageIndex, float (&uv)[4]) {
    std::string rest = line;
    std::string fields[5];
    for (int i = 4; i >= 0; --i) {
        std::string::size_type comma = rest.rfind(", ");
        if (comma == std::string::npos) return false;
        fields[i] = rest.substr(comma + 2);
        rest.erase(comma);
    }
    std::string::size_type tabs = rest.rfind("\t\t");
    if (tabs == std::string::npos) return false;
    name = rest.substr(0, tabs);
    pageFile = rest.substr(tabs + 2);
    if (pageFile.size() <= 4 || pageFile.compare(pageFile.size() - 4, 4, ".dds") != 0) return false;
    if (!parseInt(fields[0], pageIndex)) return false;
    for (int i = 0; i < 4; ++i)
        if (!parseFloat(fields[i + 1], uv[i])) return false;
    return true;
}

PageResult pageResult(const texatlas_layout::LaidOutPage& laidOut) {
    PageResult page;
    page.name = laidOut.name;
    page.file = laidOut.name + ".dds";
    page.index = laidOut.index;
    page.width = laidOut.width;
    page.height = laidOut.height;
    page.mipLevels = laidOut.mipLevels;
    page.format = laidOut.format;
    return page;
}

PlacedTexture placedTexture(const std::string& name, const texatlas_layout::LaidOutTexture& placed,
                            const PageResult& page) {
    PlacedTexture texture;
    texture.name = name;
    texture.x = placed.x;
    texture.y = placed.y;
    texture.width = placed.width;
    texture.height = placed.height;
    // Exact: page sides are powers of two.
    texture.u = static_cast<float>(placed.x) / page.width;
    texture.v = static_cast<float>(placed.y) / page.height;
    texture.uSize = static_cast<float>(placed.width) / page.width;
    texture.vSize = static_cast<float>(placed.height) / page.height;
    return texture;
}

// The names sharing each placed texture's place, in the group's order.
std::unordered_map<std::string, const std::vector<std::string>*> duplicatesByName(const DedupPlan& plan) {
    std::unordered_map<std::string, const std::vector<std::string>*> duplicates;
    for (const auto& shared : plan.shared) duplicates.emplace(shared.first, &shared.second);
    return duplicates;
}

}  // namespace

AtlasResult builtResult(const std::vector<GroupOutcome>& outcomes) {
    AtlasResult result;
    for (const GroupOutcome& outcome : outcomes) {
        const auto duplicates = duplicatesByName(outcome.textures);
        for (const texatlas_layout::LaidOutPage& laidOut : outcome.pages) {
            PageResult page = pageResult(laidOut);
            for (const texatlas_layout::LaidOutTexture& placed : laidOut.textures) {
                page.textures.push_back(placedTexture(placed.name, placed, page));
                auto found = duplicates.find(placed.name);
                if (found == duplicates.end()) continue;
                for (const std::string& name : *found->second) {
                    page.textures.push_back(placedTexture(name, placed, page));
                    page.textures.back().duplicateOf = placed.name;
                }
            }
            result.pages.push_back(std::move(page));
        }
    }
    return result;
}

std::string indexText(const std::string& fileName, const std::vector<GroupOutcome>& outcomes) {
    std::string text = texatlas_layout::indexHeader(fileName);
    for (const GroupOutcome& outcome : outcomes) {
        const auto duplicates = duplicatesByName(outcome.textures);
        for (const texatlas_layout::LaidOutPage& page : outcome.pages) {
            const std::string lines = texatlas_layout::indexEntries(page);
            if (duplicates.empty()) {
                text += lines;
                continue;
            }
            // One line per texture, in order, starting with its name; only
            // the name could hold a newline.
            size_t start = 0;
            for (const texatlas_layout::LaidOutTexture& texture : page.textures) {
                const size_t end = lines.find('\n', start + texture.name.size()) + 1;
                text.append(lines, start, end - start);
                auto found = duplicates.find(texture.name);
                if (found != duplicates.end()) {
                    // A duplicate's line is its first's with its own name.
                    const size_t place = start + found->first.size();
                    for (const std::string& name : *found->second) text.append(name).append(lines, place, end - place);
                }
                start = end;
            }
        }
    }
    return text;
}

bool readIndexFile(const std::string& indexPath, AtlasResult& result, std::string& error) {
    std::ifstream file(indexPath);
    if (!file) {
        error = "cannot read index file " + indexPath;
        return false;
    }
    result = AtlasResult();
    std::string line;
    int lineNumber = 0;
    while (std::getline(file, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNumber == 4 && line.compare(0, sizeof(kColumnsLine) - 1, kColumnsLine) != 0) {
            error = indexPath + " is not an atlas index file";
            return false;
        }
        if (lineNumber <= kHeaderLines || line.empty()) continue;
        PlacedTexture texture;
        std::string pageFile;
        int pageIndex = 0;
        float uv[4] = {0, 0, 0, 0};  // filled on success; -O3 cannot tell
        if (!parseEntry(line, texture.name, pageFile, pageIndex, uv)) {
            error = indexPath + ":" + std::to_string(lineNumber) + ": malformed entry";
            return false;
        }
        texture.u = uv[0];
        texture.v = uv[1];
        texture.uSize = uv[2];
        texture.vSize = uv[3];
        if (result.pages.empty() || result.pages.back().file != pageFile) {
            PageResult page;
            page.file = pageFile;
            page.name = pageFile.substr(0, pageFile.size() - 4);
            page.index = pageIndex;
            result.pages.push_back(page);
        }
        result.pages.back().textures.push_back(texture);
    }
    if (lineNumber < kHeaderLines) {
        error = indexPath + " is not an atlas index file";
        return false;
    }
    return true;
}

bool readPageFiles(const std::string& pageDirectory, AtlasResult& result, std::string& error) {
    ImageProbe probe;
    if (!probe.ok()) {
        error = "out of memory";
        return false;
    }
    bool ok = true;
    for (PageResult& page : result.pages) {
        ImageFacts facts;
        std::string reason;
        if (!probe.probe(pageDirectory + page.file, facts, reason)) {
            error = "page " + pageDirectory + page.file + ": " + reason;
            ok = false;
            break;
        }
        page.width = facts.width;
        page.height = facts.height;
        page.mipLevels = facts.mipLevels;
        page.format = facts.format;
        for (PlacedTexture& texture : page.textures) {
            texture.x = static_cast<int>(std::lround(texture.u * page.width));
            texture.y = static_cast<int>(std::lround(texture.v * page.height));
            texture.width = static_cast<int>(std::lround((texture.u + texture.uSize) * page.width)) - texture.x;
            texture.height = static_cast<int>(std::lround((texture.v + texture.vSize) * page.height)) - texture.y;
        }
    }
    return ok;
}
