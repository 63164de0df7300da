#include "output/dxerr.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace textureatlas {

namespace {

struct ResultName {
    std::uint32_t code;
    const char* name;
};

// Sorted by code; regenerate with scripts/gen-dxerr.py.
const ResultName resultNames[] = {
#include "output/dxerr_table.inc"
};

}  // namespace

const char* errorString(HRESULT result) {
    const std::uint32_t code = static_cast<std::uint32_t>(result);
    const ResultName* end = std::end(resultNames);
    const ResultName* found =
        std::lower_bound(std::begin(resultNames), end, code,
                         [](const ResultName& entry, std::uint32_t value) { return entry.code < value; });
    return found != end && found->code == code ? found->name : "Unknown";
}

const char* resultNameAt(std::size_t index) {
    return index < std::size(resultNames) ? resultNames[index].name : nullptr;
}

}  // namespace textureatlas
