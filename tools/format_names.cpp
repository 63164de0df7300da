#include "format_names.h"

#include <algorithm>
#include <vector>

#include "layout_probe.h"

namespace {

// The library's own table, through the layout module that carries a copy of it.
const std::vector<std::string>& pageFormats() {
    static const std::vector<std::string> names = texatlas_layout::pageFormatNames();
    return names;
}

// As page generation upper-cases a page's format: a-z only, every other byte
// as it is (the C locale's toupper).
std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

}  // namespace

bool isKnownPageFormat(const std::string& name) {
    const std::vector<std::string>& known = pageFormats();
    return std::find(known.begin(), known.end(), upper(name)) != known.end();
}

std::string knownPageFormatList() {
    std::string list;
    for (const std::string& known : pageFormats()) list += (list.empty() ? "" : ", ") + known;
    return list;
}
