// Block compression through surface copies: closeness per format, premultiplied
// colour, DXT1's one-bit alpha, and partial updates of touched blocks.
#include <climits>
#include <cstdlib>

#include "soft_device.h"

namespace {

class BlockCompression : public SoftDeviceTest {
protected:
    // A8R8G8B8 texels, of `packed`'s size, through it and back.
    std::vector<std::uint32_t> roundTrip(const std::vector<std::uint32_t>& texels, const Level& packed) {
        D3DSURFACE_DESC desc{};
        packed.surface->GetDesc(&desc);
        Level source(device, desc.Width, desc.Height, D3DFMT_A8R8G8B8);
        writeLevel(source.texture, 0, texels.data(), desc.Width * 4, desc.Height);
        EXPECT_EQ(copy(packed, nullptr, source, D3DX_DEFAULT), D3D_OK);
        return argb(packed);
    }

    static std::vector<std::uint32_t> gradient(UINT width, UINT height, bool varyAlpha) {
        std::vector<std::uint32_t> texels(std::size_t(width) * height);
        for (UINT y = 0; y < height; ++y)
            for (UINT x = 0; x < width; ++x) {
                std::uint32_t r = x * 255 / (width - 1), g = y * 255 / (height - 1),
                              b = (x + y) * 127 / (width + height);
                std::uint32_t a = varyAlpha ? 80 + x * 3 + y * 5 : 255;
                texels[y * width + x] = (a << 24) | (r << 16) | (g << 8) | b;
            }
        return texels;
    }

    static int channel(std::uint32_t texel, int c) { return int((texel >> (8 * c)) & 255); }
};

}  // namespace

TEST_F(BlockCompression, EachFormatStaysCloseToItsSource) {
    const struct {
        D3DFORMAT format;
        bool alpha, premultiplied;
        int colourTolerance, alphaTolerance;
    } cases[] = {
        {D3DFMT_DXT1, false, false, 20, 0}, {D3DFMT_DXT2, true, true, 24, 9},  {D3DFMT_DXT3, true, false, 20, 9},
        {D3DFMT_DXT4, true, true, 24, 6},   {D3DFMT_DXT5, true, false, 20, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        std::vector<std::uint32_t> source = gradient(32, 16, c.alpha);
        Level packed(device, 32, 16, c.format);
        std::vector<std::uint32_t> back = roundTrip(source, packed);
        int worstColour = 0, worstAlpha = 0;
        for (std::size_t i = 0; i < source.size(); ++i) {
            // Premultiplied formats hold colour times alpha: compare it so.
            int alpha = channel(source[i], 3), weight = c.premultiplied ? alpha : 255;
            for (int ch = 0; ch < 3; ++ch)
                worstColour =
                    std::max(worstColour, std::abs(channel(back[i], ch) - channel(source[i], ch)) * weight / 255);
            worstAlpha = std::max(worstAlpha, std::abs(channel(back[i], 3) - alpha));
        }
        EXPECT_LE(worstColour, c.colourTolerance);
        EXPECT_LE(worstAlpha, c.alphaTolerance);
    }
}

TEST_F(BlockCompression, Dxt1KeepsOneBitAlpha) {
    std::vector<std::uint32_t> texels = gradient(8, 8, false);
    for (std::size_t i = 0; i < texels.size(); ++i)
        texels[i] = (texels[i] & 0x00ffffffu) | ((i % 3 == 0 ? 100u : 200u) << 24);
    Level packed(device, 8, 8, D3DFMT_DXT1);
    std::vector<std::uint32_t> back = roundTrip(texels, packed);
    for (std::size_t i = 0; i < texels.size(); ++i) {
        if (i % 3 == 0)
            EXPECT_EQ(back[i], 0u) << i;  // transparent black
        else
            EXPECT_EQ(channel(back[i], 3), 255) << i;
    }
}

TEST_F(BlockCompression, UnalignedRectanglesKeepTheRestOfTouchedBlocks) {
    Level packed(device, 8, 8, D3DFMT_DXT5), red(device, 8, 8, D3DFMT_A8R8G8B8), green(device, 2, 3, D3DFMT_A8R8G8B8);
    writeLevel(red.texture, 0, std::vector<std::uint32_t>(64, 0xffff0000u).data(), 32, 8);
    writeLevel(green.texture, 0, std::vector<std::uint32_t>(6, 0xff00ff00u).data(), 8, 3);
    ASSERT_EQ(copy(packed, nullptr, red), D3D_OK);
    RECT rect{3, 2, 5, 5};  // straddles blocks in both directions
    ASSERT_EQ(copy(packed, &rect, green), D3D_OK);
    std::vector<std::uint32_t> back = argb(packed);
    for (UINT y = 0; y < 8; ++y)
        for (UINT x = 0; x < 8; ++x) {
            bool inside = x >= 3 && x < 5 && y >= 2 && y < 5;
            EXPECT_EQ(back[y * 8 + x], inside ? 0xff00ff00u : 0xffff0000u) << x << "," << y;
        }
}

namespace {

// The decoder's palette of two R5G6B5 endpoints, entry by entry (4-colour
// mode unless `three`), as A8R8G8B8.
std::uint32_t paletteEntry(unsigned c0, unsigned c1, int entry, bool three) {
    auto expand = [](unsigned v, int shift, int bits) {
        unsigned q = (v >> shift) & ((1u << bits) - 1);
        return bits == 6 ? (q << 2) | (q >> 4) : (q << 3) | (q >> 2);
    };
    std::uint32_t texel = 0xff000000u;
    for (auto [shift, bits, at] : {std::tuple{11, 5, 16}, std::tuple{5, 6, 8}, std::tuple{0, 5, 0}}) {
        unsigned a = expand(c0, shift, bits), b = expand(c1, shift, bits);
        unsigned v = entry == 0   ? a
                     : entry == 1 ? b
                     : three      ? (a + b) / 2
                     : entry == 2 ? (2 * a + b) / 3
                                  : (a + 2 * b) / 3;
        texel |= v << at;
    }
    return texel;
}

}  // namespace

// Blocks of one to three colours that some pair of endpoints holds exactly
// (in either mode for DXT1, in four colours for DXT5) come back exact.
TEST_F(BlockCompression, BlocksOfFewColoursThatEndpointsCanHoldAreExact) {
    std::srand(7);
    for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT5}) {
        for (int trial = 0; trial < 300; ++trial) {
            SCOPED_TRACE(testing::Message() << format << " trial " << trial);
            const unsigned c0 = unsigned(std::rand()) & 0xffff, c1 = unsigned(std::rand()) & 0xffff;
            const bool three = format == D3DFMT_DXT1 && trial % 3 == 0;
            const int colours = 1 + (trial / 3) % 3, entries = three ? 3 : 4;
            int chosen[3];
            for (int k = 0; k < colours; ++k) chosen[k] = std::rand() % entries;
            std::vector<std::uint32_t> texels(16);
            for (int i = 0; i < 16; ++i) texels[i] = paletteEntry(c0, c1, chosen[i % colours], three);
            Level packed(device, 4, 4, format);
            EXPECT_EQ(roundTrip(texels, packed), texels);
        }
    }
}

// Interpolated alpha picks its mode per block: soft edges between 0 and 255
// need the six-step mode, a ramp the eight-step one; both come back exact.
TEST_F(BlockCompression, AlphaTakesTheModeThatHoldsTheBlock) {
    std::vector<int> sixSteps = {0, 255, 100, 140, 0, 255, 116, 124, 0, 0, 255, 255, 100, 140, 108, 132};
    std::vector<int> eightSteps(16);
    for (int i = 0; i < 16; ++i) eightSteps[i] = 200 - (i % 8) * 20;  // 200 down to 60 in sevenths of 140
    for (const std::vector<int>* alphas : {&sixSteps, &eightSteps}) {
        std::vector<std::uint32_t> texels(16);
        for (int i = 0; i < 16; ++i) texels[i] = (std::uint32_t((*alphas)[i]) << 24) | 0x00406080u;
        Level packed(device, 4, 4, D3DFMT_DXT5);
        std::vector<std::uint32_t> back = roundTrip(texels, packed);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(channel(back[i], 3), (*alphas)[i]) << i;
    }
}

// Blocks where least squares from the extremes settles far from the best fit:
// bands along the axis (the cluster fit's split beats it fourfold), a
// dominant colour that R5G6B5 does not hold, ramps narrower than one step
// and a ramp of five colours (all held by endpoints outside the colours), a
// smooth ramp of sixteen colours (held by endpoints inside its ends), a
// ramp and a few colours around transparent texels, which only three
// colours hold, near-flat rows of sixteen colours (held by an endpoint left
// unused, far outside them), and three colours far from one line, which fit
// best in another order than the axis gives. Each must fit at least as well
// as a pair of endpoints known to hold it.
TEST_F(BlockCompression, BlocksFitAtLeastAsWellAsKnownEndpoints) {
    auto grey = [](unsigned v) { return 0xff000000u | v << 16 | v << 8 | v; };
    std::vector<std::uint32_t> dominant(16, grey(96)), ramp;
    dominant[7] = grey(98), dominant[11] = grey(100), dominant[15] = grey(103);
    std::vector<std::uint32_t> levels;  // best held with an endpoint a step past the colours
    for (unsigned i = 0; i < 16; ++i) {
        ramp.push_back(0xff000000u | (156 + i / 4));
        levels.push_back(0xff000000u | (164 + i % 4));
    }
    const struct {
        const char* what;
        unsigned c0, c1;
        std::vector<std::uint32_t> texels;
        bool three = false;  // DXT1 only
    } cases[] = {
        {"bands",
         0x9471,
         0x0801,
         {0xff938d8e, 0xff918d8e, 0xff938f8c, 0xff958f8d, 0xff645b63, 0xff615c5e, 0xff61595d, 0xff615a5c, 0xff352832,
          0xff372d35, 0xff392d38, 0xff3a2d39, 0xff382d33, 0xff3a2f36, 0xff3c2d38, 0xff3b3134}},
        {"dominant grey", 0x632c, 0x5aab, dominant},
        {"narrow ramp", 0x0014, 0x0013, ramp},
        {"levels", 0x0015, 0x0014, levels},
        {"five-colour ramp",
         0xc637,
         0xbdb5,
         {0xffc8c7bd, 0xffc8c6bb, 0xffc8c6bb, 0xffc4c2b7, 0xffc4c2b7, 0xffc8c6bb, 0xffc8c6bb, 0xffc2c0b5, 0xffc2c0b5,
          0xffc4c2b7, 0xffc8c6bb, 0xffc8c6bb, 0xffc2c0b5, 0xffc0bdb2, 0xffc4c2b7, 0xffc0bdb2}},
        {"smooth ramp",
         0x87f0,
         0x5feb,
         {0xff77ff77, 0xff6dff6d, 0xff64ff64, 0xff5bff5b, 0xff7cff7c, 0xff72ff72, 0xff68ff68, 0xff5fff5f, 0xff82ff82,
          0xff77ff77, 0xff6dff6d, 0xff63ff63, 0xff88ff88, 0xff7cff7c, 0xff71ff71, 0xff67ff67}},
        {"ramp around transparent texels",
         0x4fe9,
         0x67ec,
         {0, 0, 0xff4dff4d, 0xff55ff55, 0, 0xff4cff4c, 0xff54ff54, 0xff5bff5b, 0, 0xff54ff54, 0xff59ff59, 0xff61ff61,
          0xff4dff4d, 0xff57ff57, 0xff5fff5f, 0xff67ff67},
         true},
        {"near-flat rows",
         0x03cf,
         0x036d,
         {0xff007070, 0xff007170, 0xff007170, 0xff007071, 0xff007272, 0xff007273, 0xff007272, 0xff007273, 0xff007474,
          0xff007474, 0xff007475, 0xff007574, 0xff007677, 0xff007776, 0xff007777, 0xff007677}},
        {"three colours off one line",
         0xfafd,
         0x01c0,
         {0xffff00ff, 0xff000000, 0xffaade87, 0xffaade87, 0xffff00ff, 0xff000000, 0xffaade87, 0xffaade87, 0xffff00ff,
          0xffff00ff, 0xff000000, 0xffaade87, 0xffff00ff, 0xffff00ff, 0xff000000, 0xffaade87}},
        {"few colours around transparent texels",
         0xfb04,
         0xfbe5,
         {0, 0xffff6d24, 0, 0xffff7d29, 0, 0xffff6f25, 0, 0xffff7c29, 0, 0xffff7026, 0, 0xffff7e27, 0, 0xffff7126, 0,
          0xffff7f2a},
         true},
    };
    auto squared = [](std::uint32_t a, std::uint32_t b) {
        int sum = 0;
        for (int c = 0; c < 3; ++c) sum += (channel(a, c) - channel(b, c)) * (channel(a, c) - channel(b, c));
        return sum;
    };
    for (const auto& c : cases)
        for (D3DFORMAT format : {D3DFMT_DXT1, D3DFMT_DXT5}) {
            if (c.three && format != D3DFMT_DXT1) continue;
            SCOPED_TRACE(testing::Message() << c.what << ", format " << format);
            Level packed(device, 4, 4, format);
            const std::vector<std::uint32_t> back = roundTrip(c.texels, packed);
            int error = 0, bound = 0;
            for (int i = 0; i < 16; ++i) {
                error += squared(back[i], c.texels[i]);
                if (c.texels[i] == 0) continue;  // transparent, as DXT1 gives it back
                int nearest = INT_MAX;
                for (int entry = 0; entry < (c.three ? 3 : 4); ++entry)
                    nearest = std::min(nearest, squared(paletteEntry(c.c0, c.c1, entry, c.three), c.texels[i]));
                bound += nearest;
            }
            EXPECT_LE(error, bound);
        }
}
