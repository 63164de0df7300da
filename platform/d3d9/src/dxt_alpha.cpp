// Interpolated alpha of a DXT4/DXT5 block in both of its modes: eight steps
// between the endpoints, or six with 0 and 255 apart, which holds blocks that
// mix full coverage with soft edges. Each mode starts from its extremes and
// refines by least squares; the mode with the smaller error is written.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "dxt.h"
#include "dxt_fit.h"

namespace d3d9soft::D3D9SOFT_DXT_ISA {

namespace {

struct AlphaFit {
    int a0, a1;
    std::uint8_t index[16];
    int error = INT_MAX;
};

int assignAlpha(const int alpha[16], int a0, int a1, std::uint8_t index[16]) {
    int palette[8];
    interpolatedAlphaPalette(a0, a1, palette);
    int total = 0;
    for (int i = 0; i < 16; ++i) {
        int best = INT_MAX, bestEntry = 0;
        for (int k = 0; k < 8; ++k) {
            int d = (palette[k] - alpha[i]) * (palette[k] - alpha[i]);
            if (d < best) best = d, bestEntry = k;
        }
        index[i] = std::uint8_t(bestEntry);
        total += best;
    }
    return total;
}

// Share of a0 in each entry; negative for the fixed 0 and 255 of the six-step mode.
float weightOfFirst(int entry, bool eightSteps) {
    if (entry < 2) return entry == 0 ? 1.0f : 0.0f;
    if (eightSteps) return float(8 - entry) / 7.0f;
    return entry < 6 ? float(6 - entry) / 5.0f : -1.0f;
}

bool validOrder(int a0, int a1, bool eightSteps) { return eightSteps ? a0 > a1 : a0 <= a1; }

AlphaFit fitMode(const int alpha[16], int a0, int a1, bool eightSteps) {
    AlphaFit fit;
    fit.a0 = a0;
    fit.a1 = a1;
    fit.error = assignAlpha(alpha, a0, a1, fit.index);
    for (int pass = 0; pass < 2 && fit.error > 0; ++pass) {
        float aa = 0, ab = 0, bb = 0, ax = 0, bx = 0;
        for (int i = 0; i < 16; ++i) {
            float w = weightOfFirst(fit.index[i], eightSteps);
            if (w < 0) continue;
            aa += w * w;
            ab += w * (1 - w);
            bb += (1 - w) * (1 - w);
            ax += w * float(alpha[i]);
            bx += (1 - w) * float(alpha[i]);
        }
        const float det = aa * bb - ab * ab;
        if (det < 1e-3f) break;
        const int ca = std::clamp(int(std::lround((ax * bb - bx * ab) / det)), 0, 255);
        const int cb = std::clamp(int(std::lround((bx * aa - ax * ab) / det)), 0, 255);
        AlphaFit best = fit;
        for (int na = std::max(ca - 1, 0); na <= std::min(ca + 1, 255); ++na)
            for (int nb = std::max(cb - 1, 0); nb <= std::min(cb + 1, 255); ++nb) {
                if (!validOrder(na, nb, eightSteps)) continue;
                AlphaFit next;
                next.a0 = na;
                next.a1 = nb;
                next.error = assignAlpha(alpha, na, nb, next.index);
                if (next.error < best.error) best = next;
            }
        if (best.error >= fit.error) break;
        fit = best;
    }
    return fit;
}

}  // namespace

void fitAlphaBlock(const std::uint8_t rgba[64], std::uint8_t block[8]) {
    int alpha[16], low = 255, high = 0, innerLow = 255, innerHigh = 0;
    for (int i = 0; i < 16; ++i) {
        alpha[i] = rgba[4 * i + 3];
        low = std::min(low, alpha[i]);
        high = std::max(high, alpha[i]);
        if (alpha[i] != 0 && alpha[i] != 255) {
            innerLow = std::min(innerLow, alpha[i]);
            innerHigh = std::max(innerHigh, alpha[i]);
        }
    }
    if (low == high) {  // the common opaque block: both endpoints exact, every index 0
        const std::uint8_t flat[8] = {std::uint8_t(low), std::uint8_t(low)};
        std::memcpy(block, flat, sizeof flat);
        return;
    }
    AlphaFit fit = fitMode(alpha, high, low, true);
    if (fit.error > 0) {
        // Six steps between the values other than 0 and 255, which need no steps.
        if (innerLow > innerHigh) innerLow = innerHigh = 0;
        AlphaFit six = fitMode(alpha, innerLow, innerHigh, false);
        if (six.error < fit.error) fit = six;
    }
    std::uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) bits |= std::uint64_t(fit.index[i]) << (3 * i);
    block[0] = std::uint8_t(fit.a0);
    block[1] = std::uint8_t(fit.a1);
    for (int i = 0; i < 6; ++i) block[2 + i] = std::uint8_t(bits >> (8 * i));
}

}  // namespace d3d9soft::D3D9SOFT_DXT_ISA
