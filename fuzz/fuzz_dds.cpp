// The DDS reader: every input is made a DDS file by its magic, so mutations
// land on the header, the pixel format and the level data.
#include "fuzz_device.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char magic[4] = {'D', 'D', 'S', ' '};
    std::vector<uint8_t> file(magic, magic + 4);
    if (size >= 4 && std::memcmp(data, magic, 4) == 0) file.clear();
    file.insert(file.end(), data, data + size);

    D3DXIMAGE_INFO info = {};
    D3DXGetImageInfoFromFileInMemory(file.data(), static_cast<UINT>(file.size()), &info);
    loadEveryWay(file.data(), file.size());
    return 0;
}
