// The encoder's entry: a block's alpha half and colour half by format. Built
// once per instruction set, like the fits it calls (see dxt_fit.h).
#include <cstring>

#include "dxt.h"
#include "dxt_fit.h"

namespace d3d9soft::D3D9SOFT_DXT_ISA {

namespace {

void encodeExplicitAlpha(const std::uint8_t rgba[64], std::uint8_t* block) {
    std::memset(block, 0, 8);
    for (int i = 0; i < 16; ++i) {
        unsigned nibble = (rgba[4 * i + 3] * 15u + 127u) / 255u;
        block[i / 2] = std::uint8_t(block[i / 2] | (nibble << ((i & 1) * 4)));
    }
}

}  // namespace

void encodeBlock(D3DFORMAT format, const std::uint8_t rgba[64], std::uint8_t* block) {
    if (format == D3DFMT_DXT1) {
        fitColourBlock(rgba, true, block);
        return;
    }
    std::uint8_t source[64];
    std::memcpy(source, rgba, 64);
    if (premultiplied(format)) {
        for (int i = 0; i < 16; ++i)
            for (int c = 0; c < 3; ++c)
                source[4 * i + c] = std::uint8_t((source[4 * i + c] * source[4 * i + 3] + 127u) / 255u);
    }
    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3)
        encodeExplicitAlpha(source, block);
    else
        fitAlphaBlock(source, block);
    fitColourBlock(source, false, block + 8);
}

}  // namespace d3d9soft::D3D9SOFT_DXT_ISA
