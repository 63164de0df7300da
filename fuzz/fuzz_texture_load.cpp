// Texture loading from memory on arbitrary bytes, the way the page
// generation loads its sources, plus a conversion to DXT5.
#include "fuzz_device.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    loadEveryWay(data, size);
    return 0;
}
