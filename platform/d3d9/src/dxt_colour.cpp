// Colour endpoints and indices of a DXT block. One pass per kind of block:
// a single colour from tables of the best endpoint pairs, two or three
// colours by trying every way of placing them on the palette, anything else
// along its principal axis, refined by least squares. Every candidate is
// judged by the exact palette the decoder builds, so the error is the one the
// page will show.
//
// Much of the time a block takes goes to loads that wait on stores: a load
// that spans more than one recent store (a vector read back from narrower
// writes, a struct copied across the stores of its members) stalls until
// they reach the cache. Where the code below reads data just written, it
// reads it in the widths it was written in; the comments marked "(stores)"
// say where.
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "dxt_fit.h"

namespace d3d9soft::D3D9SOFT_DXT_ISA {

namespace {

constexpr int kLargest[3] = {31, 63, 31};
// Blocks of up to this many colours try every placement on the palette.
constexpr int kFewColours = 4;
// The error above which least squares is followed by a search of the
// splits: the placements of up to kSmallPalette distinct colours (pixel
// art, flat areas, gradients), whose few splits are often far from where
// least squares settles, at an RMS of about 1.8 per channel, or 0.6 for
// four colours, whose ramps one level apart least squares fits at three to
// five times the best error. The cluster fit of many colours weighs only
// the error along the axis, past what the colours' spread across it leaves
// to any endpoints: noisy blocks with most of their error across the axis
// gain little from another split, smooth ones with less in all but most of
// it along the axis gain much. At 700 the photographs keep their quality in
// no more time than with a gate of 1,000 on the whole error, and the game
// textures gain (a gate of 400-500 on this one buys the photographs
// 0.01-0.02 dB for 7-9 % of their time). Between 250 and 700 along the axis
// least squares starts again from the colours' span (fitFromSpan).
constexpr int kClusterGate = 700, kSmallPaletteGate = 150, kFourColourGate = 16, kSpanGate = 250;
// The error up to which a block of many colours has its fit's entries
// placed anew (placeEntriesAnew): above it the placements nearly never win,
// and the rest of the search takes over.
constexpr int kGroupGate = 400;
// The error above which three colours try the orders the axis did not give
// them: below it a wrong order costs little, and photographs, with many
// blocks of three colours (black skies and surrounds), would spend 5 % of
// their time on it.
constexpr int kThreeOrderGate = 1000;
constexpr int kSmallPalette = 8;

int expand(int q, int channel) { return channel == 1 ? (q << 2) | (q >> 4) : (q << 3) | (q >> 2); }

// Channel lanes: red, green, blue and a fourth that counts or pads, in GCC
// vector extensions. Where the AVX2 build goes wider it works on whole
// numbers, or on floats in the same order, so both builds give the same
// values.
typedef std::int32_t Lanes __attribute__((vector_size(16)));
typedef float FloatLanes __attribute__((vector_size(16)));

// Lanes split into 16-bit halves. Products and thirds of values that fit
// the low half cost one instruction there, where the baseline build has no
// 32-bit multiply.
typedef std::int16_t HalfLanes __attribute__((vector_size(16)));
typedef std::uint16_t UnsignedHalves __attribute__((vector_size(16)));

// The decoder's expansion of R5G6B5 endpoints, all channels at once:
// (q << 3 | q >> 2) is q * 8.25 rounded down, (q << 2 | q >> 4) q * 4.0625.
Lanes expandLanes(Lanes q) { return Lanes(HalfLanes(q) * HalfLanes{132, 0, 65, 0, 132, 0, 0, 0}) >> 4; }

// x / 3 for 0 <= x < 2^16, which the decoder's thirds stay well under.
Lanes thirdOf(Lanes x) { return Lanes(UnsignedHalves(x) / 3); }

// Aligned to the widest vectors (stores): GCC splits vector stores it cannot
// prove aligned into 16-byte halves.
struct Colours {
    int count = 0;
    alignas(32) int rgb[3][16];     // channel by channel; lanes past `count` repeat colour 0
    alignas(32) float lane[3][16];  // twice the same, in floats (see assignIndices)
    alignas(32) float norm[16];     // their square sums
    alignas(32) int packed[16];     // each colour in one word, red in the low byte
    // The same again, red to blue and then 1 in the 16-bit quarters of a
    // word: sixteen such words sum without carries.
    alignas(32) std::uint64_t texel[16];
    int position[16];  // where each colour lies in the block
    float across = 0;  // the colours' square distances from their principal axis, summed
    int own = 0;       // the colours' square sum
};

// In this order a copy's loads (16, 16, 8 and 4 bytes) fall within the
// stores that wrote the fit: the indices, then the endpoints in 16 and 8
// bytes (stores).
struct Fit {
    std::uint8_t index[16];
    int q[2][3];  // the endpoints, quantised per channel
    int error = INT_MAX;
};

// `three`: DXT1's mode of a midpoint and transparent black, for which index 3
// is never an opaque colour.
int paletteEntry(int a, int b, int entry, bool three) {
    switch (entry) {
        case 0:
            return a;
        case 1:
            return b;
        case 2:
            return three ? (a + b) / 2 : (2 * a + b) / 3;
        default:
            return (a + 2 * b) / 3;
    }
}

// Rows of texels in floats, as wide as the build's vectors.
#if defined(D3D9SOFT_DXT_AVX2)
constexpr int kRow = 8;
#else
constexpr int kRow = 4;
#endif
typedef float FloatRow __attribute__((vector_size(4 * kRow)));
typedef std::int32_t Row __attribute__((vector_size(4 * kRow)));
typedef std::uint32_t UnsignedRow __attribute__((vector_size(4 * kRow)));
typedef std::uint8_t IndexBytes __attribute__((vector_size(16)));
constexpr int kRows = 16 / kRow;

// Every lane's number.
Row laneNumbers() {
    Row lane = {};
    for (int l = 0; l < kRow; ++l) lane[l] = l;
    return lane;
}

template <class V>
V lower(V a, V b) {
    return a < b ? a : b;
}

template <class V>
V higher(V a, V b) {
    return a > b ? a : b;
}

// A row's least lane, or its highest, by halving shuffles: three steps on
// the path rather than a lane after another.
template <bool kHighest, class V>
auto pickLane(V v) {
    const auto pick = [](V a, V b) { return kHighest ? higher(a, b) : lower(a, b); };
#if defined(D3D9SOFT_DXT_AVX2)
    v = pick(v, __builtin_shufflevector(v, v, 4, 5, 6, 7, 0, 1, 2, 3));
    v = pick(v, __builtin_shufflevector(v, v, 2, 3, 0, 1, 6, 7, 4, 5));
    v = pick(v, __builtin_shufflevector(v, v, 1, 0, 3, 2, 5, 4, 7, 6));
#else
    v = pick(v, __builtin_shufflevector(v, v, 2, 3, 0, 1));
    v = pick(v, __builtin_shufflevector(v, v, 1, 0, 3, 2));
#endif
    return v[0];
}

// The low bytes of a block's rows of lanes (each under 256), in texel order.
IndexBytes lowBytes(const Row (&rows)[kRows]) {
    typedef std::uint8_t Bytes __attribute__((vector_size(4 * kRow)));
#if defined(D3D9SOFT_DXT_AVX2)
    return __builtin_shufflevector(Bytes(rows[0]), Bytes(rows[1]), 0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52,
                                   56, 60);
#else
    const Bytes b01 = Bytes(rows[0] | rows[1] << 8), b23 = Bytes(rows[2] | rows[3] << 8);
    return __builtin_shufflevector(b01, b23, 0, 4, 8, 12, 1, 5, 9, 13, 16, 20, 24, 28, 17, 21, 25, 29);
#endif
}

int assignIndices(const Colours& colours, const int q[2][3], bool three, std::uint8_t index[16]) {
    // Lanes hold twice each colour c, so that with p twice an entry the key
    // |p|^2 + k - 2 p.c (|p - c|^2 once the colour's own |c|^2 is added)
    // comes out four times over and the entry k fits in the two bits below:
    // the least key is the nearest entry, ties going to the lower one. Every
    // term is a whole number under 2^24, so floats hold it exactly in any
    // order.
    const Lanes a = expandLanes(Lanes{q[0][0], q[0][1], q[0][2], 0});
    const Lanes b = expandLanes(Lanes{q[1][0], q[1][1], q[1][2], 0});
    const Lanes entry[4] = {2 * a, 2 * b, 2 * (three ? (a + b) >> 1 : thirdOf(2 * a + b)), 2 * thirdOf(a + 2 * b)};
    FloatLanes p[4], square[4];
    for (int k = 0; k < 4; ++k) {
        const FloatLanes once = __builtin_convertvector(entry[k], FloatLanes);
        p[k] = once + once;
        square[k] = once * once;
    }
    // |p|^2 + k for the four entries at once.
    const FloatLanes u01 = __builtin_shufflevector(square[0], square[1], 0, 4, 1, 5) +
                           __builtin_shufflevector(square[0], square[1], 2, 6, 3, 7);
    const FloatLanes u23 = __builtin_shufflevector(square[2], square[3], 0, 4, 1, 5) +
                           __builtin_shufflevector(square[2], square[3], 2, 6, 3, 7);
    const FloatLanes base = __builtin_shufflevector(u01, u23, 0, 1, 4, 5) +
                            __builtin_shufflevector(u01, u23, 2, 3, 6, 7) + FloatLanes{0, 1, 2, 3};
    const auto row = [](const float* lanes, int i) {
        FloatRow v;
        std::memcpy(&v, lanes + i * kRow, sizeof v);
        return v;
    };
    FloatRow key[kRows];
    for (int k = 0; k < (three ? 3 : 4); ++k) {
        const FloatRow r = p[k][0] - FloatRow{}, g = p[k][1] - FloatRow{}, bl = p[k][2] - FloatRow{};
        const FloatRow own = base[k] - FloatRow{};
        for (int i = 0; i < kRows; ++i) {
            const FloatRow t =
                own - (r * row(colours.lane[0], i) + g * row(colours.lane[1], i) + bl * row(colours.lane[2], i));
            key[i] = k == 0 ? t : (t < key[i] ? t : key[i]);
        }
    }
    // Lanes past `count` repeat colour 0, so all sixteen are summed and the
    // extra copies taken off. The entries are the low bytes of the lanes.
    Row whole[kRows], total = {};
    for (int i = 0; i < kRows; ++i) {
        whole[i] = __builtin_convertvector(key[i] + row(colours.norm, i), Row);
        total += whole[i] >> 2;
    }
    Row chosen[kRows];
    for (int i = 0; i < kRows; ++i) chosen[i] = whole[i] & 3;
    const IndexBytes entries = lowBytes(chosen);
    std::memcpy(index, &entries, sizeof entries);
    int sum = 0;
    for (int j = 0; j < kRow; ++j) sum += total[j];
    return sum - (16 - colours.count) * (whole[0][0] >> 2);
}

// The colours that take each palette entry: their sum per channel, and in the
// fourth lane how many.
struct EntrySums {
    Lanes entry[4] = {};
};

bool anyLane(Lanes mask) {
#if defined(__SSE2__)
    return _mm_movemask_epi8(__m128i(mask)) != 0;
#else
    return (mask[0] | mask[1] | mask[2] | mask[3]) != 0;
#endif
}

#if !defined(D3D9SOFT_DXT_AVX2)
Lanes clampLanes(Lanes v, Lanes top) {
    const Lanes low = (v < 0), high = (v > top);
    return (~low & ~high & v) | (high & top);
}
#endif

#if defined(D3D9SOFT_DXT_AVX2)
// Two sets of channel lanes, for endpoint 0's two candidates at once.
typedef std::int32_t PairLanes __attribute__((vector_size(32)));
typedef std::int16_t PairHalves __attribute__((vector_size(32)));
typedef std::uint16_t UnsignedPairHalves __attribute__((vector_size(32)));

// The same lanes in both sets.
PairLanes inBoth(Lanes v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3, 0, 1, 2, 3); }

// Set `i` of a pair in both sets.
PairLanes setInBoth(PairLanes v, int i) {
    return i ? __builtin_shufflevector(v, v, 4, 5, 6, 7, 4, 5, 6, 7)
             : __builtin_shufflevector(v, v, 0, 1, 2, 3, 0, 1, 2, 3);
}
#endif

// The products of the halves, summed in pairs (pmaddwd).
#if defined(D3D9SOFT_DXT_AVX2)
PairLanes sumOfProducts(PairHalves x, PairHalves y) { return PairLanes(_mm256_madd_epi16(__m256i(x), __m256i(y))); }
#else
Lanes sumOfProducts(HalfLanes x, HalfLanes y) {
#if defined(__SSE2__)
    return Lanes(_mm_madd_epi16(__m128i(x), __m128i(y)));
#else
    const Lanes a = Lanes(x), b = Lanes(y);
    return ((a << 16) >> 16) * ((b << 16) >> 16) + (a >> 16) * (b >> 16);
#endif
}
#endif

// Four colours' entries 2 and 3, v * (n * v - 2 * sum) summed, from
// `between`: 2a + b in the low half of each lane, a + 2b in the high (under
// 766 each, so the halves never carry). `count` and `twice` hold n and
// 2 * sum the same way; n * v and 2 * sum stay under 2^13, so that every
// factor fits 16 bits, and v, not negative, is one of each pair.
template <class V, class Halves, class UnsignedHalves>
V middleEntries(V between, V count, V twice) {
    const Halves v = Halves(UnsignedHalves(between) / 3);
    return sumOfProducts(v, Halves(v * Halves(count) - Halves(twice)));
}

// Products of lanes whose factors fit 16 bits, the first not negative,
// where 32-bit multiplies would stand on the path to the result (pmullw and
// pmaddwd take half as long as pmulld, which SSE2 lacks). The ranges: the
// sums below stay under 3 * 16 * 255 < 2^14, the counts' products under
// 2^8, expanded endpoints under 2^8 and n * v - 2 * sum within +-2^13.

// v * w under 2^15.
template <class V, class Halves>
V small(V v, V w) {
    return V(Halves(v) * Halves(w));
}

// The error terms of one entry's colours with value v: v * (n * v - 2 * sum).
template <class V, class Halves>
V entryError(V v, int n, V twice) {
    return sumOfProducts(Halves(v), Halves(small<V, Halves>(v, V{} + n) - twice));
}

// A factor in the high half of a lane (a pmaddwd operand), negative ones too.
int highHalf(int v) { return int(unsigned(v) << 16); }
Row highHalf(Row v) { return Row(UnsignedRow(v) << 16); }

// x * f - y * g, g one factor for every lane or one to each.
template <class V, class Halves, class G>
V difference(V x, V y, V f, G g) {
    return sumOfProducts(Halves(x | y << 16), Halves(f | highHalf(-g)));
}

template <bool kThree>
int fitEntries(const EntrySums& sums, const int count[4], int q[2][3]) {
    constexpr int whole = kThree ? 2 : 3;
    // Endpoint 0's share in entries 0-3.
    constexpr int s0 = whole, s2 = kThree ? 1 : 2, s3 = kThree ? 0 : 1;  // entry 1: none
    const Lanes* sum = sums.entry;
    const int n0 = count[0], n1 = count[1], n2 = count[2], n3 = count[3];
    const int aa = n0 * s0 * s0 + n2 * s2 * s2 + n3 * s3 * s3;
    const int ab = n2 * s2 * (whole - s2) + n3 * s3 * (whole - s3);
    const int bb = n1 * whole * whole + n2 * (whole - s2) * (whole - s2) + n3 * (whole - s3) * (whole - s3);
    const int det = aa * bb - ab * ab;
    if (det == 0) return INT_MAX;
    const float unit = float(whole) / (255.0f * float(det));
    const Lanes ax = s0 * sum[0] + s2 * sum[2] + s3 * sum[3];
    const Lanes bx = whole * (sum[0] + sum[1] + sum[2] + sum[3]) - ax;
    const Lanes d0 = 2 * sum[0], d1 = 2 * sum[1], d2 = 2 * sum[2], d3 = 2 * sum[3];
    // Entries 2 and 3 in the halves of each lane.
    const Lanes count23 = Lanes{} + (n2 | n3 << 16), twice23 = d2 | d3 << 16;
    // Truncation serves as the floor: below zero the clamp decides either
    // way. The decoder's rounding moves the best pair by far less than a step.
    // Then per channel the least of the four errors, keyed with its pair in
    // the two bits below so that ties go to the first, without branches.
#if defined(D3D9SOFT_DXT_AVX2)
    // Both endpoints at once, then endpoint 0's candidate i against both of
    // endpoint 1's.
    typedef float FloatPairs __attribute__((vector_size(32)));
    const PairLanes x = __builtin_shufflevector(ax, bx, 0, 1, 2, 3, 4, 5, 6, 7);
    const PairLanes y = __builtin_shufflevector(bx, ax, 0, 1, 2, 3, 4, 5, 6, 7);
    const PairLanes factors = {bb, bb, bb, bb, aa, aa, aa, aa};
    const FloatPairs scale = unit * FloatPairs{31, 63, 31, 0, 31, 63, 31, 0};
    PairLanes qab = __builtin_convertvector(
        __builtin_convertvector(difference<PairLanes, PairHalves>(x, y, factors, ab), FloatPairs) * scale, PairLanes);
    const PairLanes top = {30, 62, 30, 0, 30, 62, 30, 0};
    qab = qab < 0 ? PairLanes{} : qab;
    qab = qab > top ? top : qab;
    const PairLanes widths = {132, 65, 132, 0, 132, 65, 132, 0};
    const PairLanes ea =
        small<PairLanes, PairHalves>(__builtin_shufflevector(qab, qab + 1, 0, 1, 2, 3, 8, 9, 10, 11), widths) >> 4;
    const PairLanes eb =
        small<PairLanes, PairHalves>(__builtin_shufflevector(qab, qab + 1, 4, 5, 6, 7, 12, 13, 14, 15), widths) >> 4;
    // Each endpoint's part of the error does not depend on the other's.
    const PairLanes partA = entryError<PairLanes, PairHalves>(ea, n0, inBoth(d0));
    const PairLanes partB = entryError<PairLanes, PairHalves>(eb, n1, inBoth(d1));
    const PairLanes a2 = ea * (2 + (1 << 16)), b2 = eb * (1 + (2 << 16));
    PairLanes pairKey[2];
    for (int i = 0; i < 2; ++i) {
        const PairLanes part = setInBoth(partA, i);
        PairLanes e;
        if constexpr (kThree) {
            const PairLanes a = setInBoth(ea, i);
            const PairLanes v2 = (a + eb) >> 1;
            e = part + partB + entryError<PairLanes, PairHalves>(v2, n2, inBoth(d2));
        } else {
            const PairLanes a = setInBoth(a2, i);
            e = part + partB +
                middleEntries<PairLanes, PairHalves, UnsignedPairHalves>(a + b2, inBoth(count23), inBoth(twice23));
        }
        pairKey[i] = 4 * e + PairLanes{2 * i, 2 * i, 2 * i, 2 * i, 2 * i + 1, 2 * i + 1, 2 * i + 1, 2 * i + 1};
    }
    const PairLanes least = pairKey[1] < pairKey[0] ? pairKey[1] : pairKey[0];
    const Lanes low = __builtin_shufflevector(least, least, 0, 1, 2, 3),
                high = __builtin_shufflevector(least, least, 4, 5, 6, 7);
    const Lanes key = high < low ? high : low, error = key >> 2;
    // Endpoint 0's step in bit 1 of the key, endpoint 1's in bit 0.
    const PairLanes steps = qab + (__builtin_shufflevector(key >> 1, key, 0, 1, 2, 3, 4, 5, 6, 7) & 1);
    // Stored from registers in 16 and 8 bytes: copied whole, the vector
    // goes through the stack and is read back in pieces (stores).
    typedef std::int32_t LanePair __attribute__((vector_size(8)));
    const Lanes first = __builtin_shufflevector(steps, steps, 0, 1, 2, 4);
    const LanePair rest = __builtin_shufflevector(steps, steps, 5, 6);
    std::memcpy(q, &first, sizeof first);
    std::memcpy(&q[1][1], &rest, sizeof rest);
#else
    const FloatLanes scale = unit * FloatLanes{31, 63, 31, 0};
    const Lanes top = {30, 62, 30, 0};
    const auto solved = [&](Lanes x, Lanes y, int f) {
        return clampLanes(
            __builtin_convertvector(
                __builtin_convertvector(difference<Lanes, HalfLanes>(x, y, Lanes{} + f, ab), FloatLanes) * scale,
                Lanes),
            top);
    };
    const Lanes qa = solved(ax, bx, bb), qb = solved(bx, ax, aa);
    const Lanes ea[2] = {expandLanes(qa), expandLanes(qa + 1)};
    const Lanes eb[2] = {expandLanes(qb), expandLanes(qb + 1)};
    const Lanes partA[2] = {entryError<Lanes, HalfLanes>(ea[0], n0, d0), entryError<Lanes, HalfLanes>(ea[1], n0, d0)};
    const Lanes partB[2] = {entryError<Lanes, HalfLanes>(eb[0], n1, d1), entryError<Lanes, HalfLanes>(eb[1], n1, d1)};
    Lanes key = INT_MAX - Lanes{};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            Lanes e = partA[i] + partB[j];
            if constexpr (kThree) {
                const Lanes v2 = (ea[i] + eb[j]) >> 1;
                e += entryError<Lanes, HalfLanes>(v2, n2, d2);
            } else {
                e += middleEntries<Lanes, HalfLanes, UnsignedHalves>(2 * ea[i] + (ea[i] << 16) + eb[j] + (eb[j] << 17),
                                                                     count23, twice23);
            }
            const Lanes candidate = 4 * e + (2 * i + j);
            key = (candidate < key) ? candidate : key;
        }
    const Lanes qa1 = qa + ((key >> 1) & 1), qb1 = qb + (key & 1), error = key >> 2;
    for (int c = 0; c < 3; ++c) {
        q[0][c] = qa1[c];
        q[1][c] = qb1[c];
    }
#endif
    return error[0] + error[1] + error[2];
}

// The least-squares endpoints for these entries, then per channel the best
// of the quantised pairs around them by the decoder's own entries (the error
// separates by channel once the entries are fixed). Returns the error less
// the colours' own square sum, INT_MAX when one entry holds every colour.
// Each endpoint's share in an entry is counted in thirds (halves for three
// colours), keeping the sums whole numbers.
int fitEntries(const EntrySums& sums, const int count[4], bool three, int q[2][3]) {
    return three ? fitEntries<true>(sums, count, q) : fitEntries<false>(sums, count, q);
}

// Two sums of texel words in channel lanes: the quarters interleaved with
// zeros are the lanes.
void unpackSums(std::uint64_t first, std::uint64_t second, Lanes lanes[2]) {
    typedef std::uint64_t WordPair __attribute__((vector_size(16)));
    const UnsignedHalves quarters = UnsignedHalves(WordPair{first, second});
    const UnsignedHalves zero = {};
    lanes[0] = Lanes(__builtin_shufflevector(quarters, zero, 0, 8, 1, 9, 2, 10, 3, 11));
    lanes[1] = Lanes(__builtin_shufflevector(quarters, zero, 4, 12, 5, 13, 6, 14, 7, 15));
}

// Texel words, as many as the build's vectors hold.
typedef std::uint64_t Words __attribute__((vector_size(4 * kRow)));
constexpr int kWords = kRow / 2;
typedef std::uint8_t WordIndices __attribute__((vector_size(kWords)));

// The entries of as many texels as a vector of words holds, widened to
// words. GCC widens bytes to 64 bits lane by lane; AVX2 has one instruction.
Words wordEntries(const std::uint8_t* index) {
#if defined(D3D9SOFT_DXT_AVX2)
    int four;
    std::memcpy(&four, index, sizeof four);
    return Words(_mm256_cvtepu8_epi64(_mm_cvtsi32_si128(four)));
#else
    WordIndices entries;
    std::memcpy(&entries, index, sizeof entries);
    return __builtin_convertvector(entries, Words);
#endif
}

// How many of sixteen indices are `e`.
int countOf(IndexBytes index, int e) {
#if defined(__SSE2__)
    const __m128i sums = _mm_sad_epu8(__m128i(index == std::uint8_t(e)) & _mm_set1_epi8(1), _mm_setzero_si128());
    return _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
#else
    int n = 0;
    for (int i = 0; i < 16; ++i) n += index[i] == e;
    return n;
#endif
}

// Each entry's colours summed, and counted, for these indices. Inlined
// into least squares, its most frequent caller, as a call there costs 2 %.
[[gnu::always_inline]] inline void sumEntries(const Colours& colours, const std::uint8_t index[16], EntrySums& sums,
                                              int count[4]) {
    if (colours.count == 16) {
        // Each entry's count from the indices themselves, not from the sums:
        // the determinant, whose division sets the pace of the solution, can
        // then start while the texels are summed.
        IndexBytes entries;
        std::memcpy(&entries, index, sizeof entries);
        count[0] = countOf(entries, 0);
        count[2] = countOf(entries, 2);
        count[3] = countOf(entries, 3);
        count[1] = 16 - count[0] - count[2] - count[3];
        // Each entry's words summed under a mask, entry 1's as the rest of
        // the total, and kept in registers on their way to lanes (stores):
        // adding to sum[index[i]] in memory makes each texel wait on the
        // one before.
        Words all = {}, sum0 = {}, sum2 = {}, sum3 = {};
        for (int i = 0; i < 16; i += kWords) {
            Words texels;
            std::memcpy(&texels, &colours.texel[i], sizeof texels);
            const Words entry = wordEntries(&index[i]);
            all += texels;
            sum0 += texels & Words(entry == 0);
            sum2 += texels & Words(entry == 2);
            sum3 += texels & Words(entry == 3);
        }
        std::uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        for (int j = 0; j < kWords; ++j) {
            s0 += sum0[j];
            s1 += all[j] - sum0[j] - sum2[j] - sum3[j];
            s2 += sum2[j];
            s3 += sum3[j];
        }
        unpackSums(s0, s1, sums.entry);
        unpackSums(s2, s3, sums.entry + 2);
    } else {
        std::uint64_t sum[4] = {};
        for (int i = 0; i < colours.count; ++i) sum[index[i]] += colours.texel[i];
        unpackSums(sum[0], sum[1], sums.entry);
        unpackSums(sum[2], sum[3], sums.entry + 2);
        for (int e = 0; e < 4; ++e) count[e] = sums.entry[e][3];
    }
}

// The endpoints for fixed indices; false when the indices pick one entry only.
bool solveEndpoints(const Colours& colours, const std::uint8_t index[16], bool three, int q[2][3]) {
    EntrySums sums;
    int count[4];
    sumEntries(colours, index, sums, count);
    return fitEntries(sums, count, three, q) != INT_MAX;
}

// Colours in channel lanes quantised to R5G6B5.
Lanes quantise(Lanes rgb) {
    const Lanes x = Lanes(HalfLanes(rgb) * HalfLanes{31, 0, 63, 0, 31, 0, 0, 0}) + 127;
    return (x + 1 + (x >> 8)) >> 8;  // x / 255 for x < 65535
}

// The principal axis of the block's colours (not normalised). Integer sums
// keep it exact and quick.
void principalAxis(Colours& colours, float axis[3]) {
    int sum[3] = {}, product[6] = {};
    for (int i = 0; i < colours.count; ++i) {
        const int r = colours.rgb[0][i], g = colours.rgb[1][i], b = colours.rgb[2][i];
        sum[0] += r;
        sum[1] += g;
        sum[2] += b;
        product[0] += r * r;
        product[1] += r * g;
        product[2] += r * b;
        product[3] += g * g;
        product[4] += g * b;
        product[5] += b * b;
    }
    const float n = float(colours.count);
    // Sixteen colours, the usual count, divide by scaling, exactly.
    const bool sixteen = colours.count == 16;
    auto covariance = [&](int p, int x, int y) {
        const float square = float(sum[x]) * float(sum[y]);
        return float(product[p]) - (sixteen ? square * 0.0625f : square / n);
    };
    float cov[3][3];
    cov[0][0] = covariance(0, 0, 0);
    cov[0][1] = cov[1][0] = covariance(1, 0, 1);
    cov[0][2] = cov[2][0] = covariance(2, 0, 2);
    cov[1][1] = covariance(3, 1, 1);
    cov[1][2] = cov[2][1] = covariance(4, 1, 2);
    cov[2][2] = covariance(5, 2, 2);
    // Power iteration from the row of the widest channel. Only the axis's
    // direction is used, so it is not scaled between steps (a division on
    // every step's path): the covariances stay under 2^20, so four steps
    // stay under 2^108 and positions along the axis under 2^119, inside a
    // float's range.
    // The matrix is symmetric: its columns are its rows.
    const FloatLanes column[3] = {{cov[0][0], cov[0][1], cov[0][2], 0},
                                  {cov[1][0], cov[1][1], cov[1][2], 0},
                                  {cov[2][0], cov[2][1], cov[2][2], 0}};
    const int widest = cov[1][1] >= cov[0][0] ? (cov[2][2] > cov[1][1] ? 2 : 1) : (cov[2][2] > cov[0][0] ? 2 : 0);
    // Four steps as the matrix squared twice and then applied: three
    // products on the block's path rather than four, each with its columns
    // independent of one another.
    const auto times = [](const FloatLanes (&m)[3], FloatLanes x) { return m[0] * x[0] + m[1] * x[1] + m[2] * x[2]; };
    const FloatLanes squared[3] = {times(column, column[0]), times(column, column[1]), times(column, column[2])};
    const FloatLanes fourth[3] = {times(squared, squared[0]), times(squared, squared[1]), times(squared, squared[2])};
    FloatLanes v = times(fourth, column[widest]);
    if (!anyLane(Lanes(v != 0))) v = column[widest];
    for (int c = 0; c < 3; ++c) axis[c] = v[c];
    // The spread across the axis: the covariances' trace less the spread
    // along it, the Rayleigh quotient, in doubles as the axis is unscaled.
    const FloatLanes cv = times(column, v);
    double spread = 0, square = 0;
    for (int c = 0; c < 3; ++c) {
        spread += double(v[c]) * double(cv[c]);
        square += double(v[c]) * double(v[c]);
    }
    const double trace = double(cov[0][0]) + double(cov[1][1]) + double(cov[2][2]);
    colours.across = float(square > 0 ? trace - spread / square : 0);
}

float along(const float axis[3], int r, int g, int b) {
    return float(r) * axis[0] + float(g) * axis[1] + float(b) * axis[2];
}

// Each colour's position along the axis, doubled (from the float lanes,
// which doubles every position exactly), and the lowest and highest. Lanes
// past `count` repeat colour 0, which moves neither end.
void positions(const Colours& colours, const float axis[3], FloatRow t[kRows], float& lowest, float& highest) {
    for (int i = 0; i < kRows; ++i) {
        // Each channel's row read whole, not gathered into an array first
        // (stores).
        const auto row = [&](int c) {
            FloatRow lane;
            std::memcpy(&lane, &colours.lane[c][i * kRow], sizeof lane);
            return lane;
        };
        t[i] = row(0) * axis[0] + row(1) * axis[1] + row(2) * axis[2];
    }
    FloatRow low = t[0], high = t[0];
    for (int i = 1; i < kRows; ++i) {
        low = lower(low, t[i]);
        high = higher(high, t[i]);
    }
    lowest = pickLane<false>(low);
    highest = pickLane<true>(high);
}

// The first of the colours at this position.
int firstAt(const FloatRow t[kRows], float position) {
    Row first = Row{} + 16;
    for (int i = 0; i < kRows; ++i) first = lower(first, t[i] == position ? laneNumbers() + i * kRow : Row{} + 16);
    return pickLane<false>(first);
}

// Starting endpoints: the colours lying furthest apart along the axis (the
// first of any that tie), each moved 5/64 of the way to the other. From the
// extremes themselves least squares often stays where it starts in smooth
// ramps, whose best endpoints lie inside them; the photographs gain too.
void extremes(const Colours& colours, const float axis[3], int q[2][3]) {
    FloatRow t[kRows];
    float lowest, highest;
    positions(colours, axis, t, lowest, highest);
    const int low = firstAt(t, lowest), high = firstAt(t, highest);
    const Lanes a = {colours.rgb[0][high], colours.rgb[1][high], colours.rgb[2][high], 0};
    const Lanes b = {colours.rgb[0][low], colours.rgb[1][low], colours.rgb[2][low], 0};
    const Lanes inner[2] = {quantise(a + (b - a) * 5 / 64), quantise(b + (a - b) * 5 / 64)};
    for (int e = 0; e < 2; ++e)
        for (int c = 0; c < 3; ++c) q[e][c] = inner[e][c];
    // Channel by channel, as they were stored (stores).
    if (q[0][0] != q[1][0] || q[0][1] != q[1][1] || q[0][2] != q[1][2]) return;
    // Close colours that round to one endpoint would leave every texel on
    // entry 0 and nothing to refine: round them apart instead.
    for (int c = 0; c < 3; ++c) {
        const int a = colours.rgb[c][high] * kLargest[c], b = colours.rgb[c][low] * kLargest[c];
        if (a == b) continue;
        q[0][c] = a > b ? (a + 254) / 255 : a / 255;
        q[1][c] = a > b ? b / 255 : (b + 254) / 255;
    }
}

// Endpoints and indices in turn while the error falls, from a fit whose
// indices are its endpoints' own. A second pass only above kGroupGate:
// under it placing the entries anew gains more, and the photographs' blocks
// are mostly there. It stops where the indices stay those the endpoints
// were solved for: least squares would only give them again (two in five
// of its solutions on the photographs did).
void refine(const Colours& colours, bool three, Fit& fit) {
    for (int pass = 0; pass < 2 && fit.error > 0; ++pass) {
        if (pass == 1 && fit.error <= kGroupGate) break;
        Fit next;
        if (!solveEndpoints(colours, fit.index, three, next.q) || std::memcmp(next.q, fit.q, sizeof fit.q) == 0) break;
        next.error = assignIndices(colours, next.q, three, next.index);
        if (next.error >= fit.error) break;
        const bool settled = std::memcmp(next.index, fit.index, sizeof fit.index) == 0;
        fit = next;
        if (settled) break;
    }
}

Fit better(Fit a, const Fit& b) { return b.error < a.error ? b : a; }

// For one channel value the endpoint pair whose entry 2 comes nearest, in
// each mode and channel width. Ties go to the closest pair, which decoders
// that round their thirds differently still show alike.
struct SingleColourTables {
    struct Pair {
        std::uint8_t q0, q1;
        std::uint16_t error;  // squared
    };
    Pair four[2][256], three[2][256];  // [0]: 5 bits, [1]: 6 bits

    // Each pair's entry 2 goes to the bucket of its value, where the closest
    // pair, then the first in order, stays; a channel value takes the nearest
    // filled buckets (both when they lie either side at one distance).
    SingleColourTables() {
        for (int wide = 0; wide < 2; ++wide)
            for (int mode = 0; mode < 2; ++mode) {
                const int channel = wide ? 1 : 0, largest = kLargest[channel];
                struct Bucket {
                    int q0 = -1, q1 = 0, spread = INT_MAX;
                } bucket[256];
                for (int q0 = 0; q0 <= largest; ++q0)
                    for (int q1 = 0; q1 <= largest; ++q1) {
                        Bucket& b = bucket[paletteEntry(expand(q0, channel), expand(q1, channel), 2, mode == 1)];
                        if (std::abs(q0 - q1) < b.spread) b = Bucket{q0, q1, std::abs(q0 - q1)};
                    }
                const auto before = [](const Bucket& a, const Bucket& b) {
                    return a.spread != b.spread ? a.spread < b.spread : a.q0 != b.q0 ? a.q0 < b.q0 : a.q1 < b.q1;
                };
                for (int v = 0; v < 256; ++v) {
                    int d = 0;
                    const Bucket* best = nullptr;
                    for (; !best; ++d) {
                        const Bucket* low = v - d >= 0 && bucket[v - d].q0 >= 0 ? &bucket[v - d] : nullptr;
                        const Bucket* high = v + d < 256 && bucket[v + d].q0 >= 0 ? &bucket[v + d] : nullptr;
                        best = low && high ? (before(*high, *low) ? high : low) : low ? low : high;
                    }
                    --d;
                    (mode ? three : four)[wide][v] =
                        Pair{std::uint8_t(best->q0), std::uint8_t(best->q1), std::uint16_t(d * d)};
                }
            }
    }
};

// The table's endpoints for the block's one colour, whose entry 2 comes nearest it.
Fit fitSingleColour(const Colours& colours, bool three) {
    static const SingleColourTables tables;
    Fit fit;
    fit.error = 0;
    for (int c = 0; c < 3; ++c) {
        const SingleColourTables::Pair& pair = (three ? tables.three : tables.four)[c == 1][colours.rgb[c][0]];
        fit.q[0][c] = pair.q0;
        fit.q[1][c] = pair.q1;
        fit.error += pair.error;
    }
    fit.error *= colours.count;
    std::memset(fit.index, 2, sizeof fit.index);
    return fit;
}

// A block's distinct colours, up to kSmallPalette of them, for the search of
// their placements on the palette.
struct FewColours {
    int n;
    int rgb[kSmallPalette][3];  // [colour][channel], in order along the axis
    int count[kSmallPalette];
    int sum[kSmallPalette][3];  // rgb times count; groups of colours (placeEntriesAnew) have no one rgb
};

void swapColours(FewColours& few, int a, int b) {
    std::swap(few.rgb[a], few.rgb[b]);
    std::swap(few.count[a], few.count[b]);
    std::swap(few.sum[a], few.sum[b]);
}

// Up to 4 * kVectors distinct colours with their counts, into `few` in the
// order found, compared four at once: the loop's branches then follow the
// block's colours, not the places they are found at. Places not yet taken
// hold a value that no colour packs to. Whether they were that few (else
// `few.n` is one more and nothing else is set).
template <int kVectors>
bool distinctColours(const Colours& colours, FewColours& few) {
    Lanes seen[kVectors], counts[kVectors] = {};
    for (int v = 0; v < kVectors; ++v) seen[v] = Lanes{} - 1;
    few.n = 0;
    for (int i = 0; i < colours.count; ++i) {
        const int packed = colours.packed[i];
        Lanes any = {};
        for (int v = 0; v < kVectors; ++v) {
            const Lanes match = seen[v] == packed;
            counts[v] -= match;
            any |= match;
        }
        if (anyLane(any)) continue;
        if (few.n == 4 * kVectors) {
            few.n = 4 * kVectors + 1;
            return false;
        }
        // Set in registers, not as a lane in memory (stores).
        for (int v = 0; v < kVectors; ++v) {
            const Lanes slot = Lanes{0, 1, 2, 3} + 4 * v == few.n;
            seen[v] = slot ? Lanes{} + packed : seen[v];
            counts[v] -= slot;
        }
        ++few.n;
    }
    for (int k = 0; k < few.n; ++k) {
        few.count[k] = counts[k / 4][k % 4];
        for (int c = 0; c < 3; ++c) {
            few.rgb[k][c] = seen[k / 4][k % 4] >> (8 * c) & 255;
            few.sum[k][c] = few.count[k] * few.rgb[k][c];
        }
    }
    return true;
}

// The placements of n colours on the palette that keep their order along
// the axis: each colour, in order, takes a run from endpoint 0 on, and each
// run its entry. One placement to a lane; lanes past the last put every
// colour on one entry, which the determinant rules out.
struct EveryPlacement {
    int batches = 0;
    // [(batch * n + colour) * 4 + entry]: all ones in the lanes whose
    // placement puts the colour on the entry
    std::vector<Row> on;

    EveryPlacement() = default;
    EveryPlacement(int n, bool three) {
        const int runs = three ? 3 : 4;
        static const int fourEntry[4] = {0, 2, 3, 1}, threeEntry[3] = {0, 2, 1};
        std::vector<std::array<int, kSmallPalette>> found;
        std::array<int, kSmallPalette> run = {};
        for (;;) {
            int i = n - 1;  // the next placement, each colour's run at or past the one before
            while (i >= 0 && run[i] == runs - 1) --i;
            if (i < 0) break;
            ++run[i];
            for (int j = i + 1; j < n; ++j) run[j] = run[i];
            if (run[0] != run[n - 1]) found.push_back(run);
        }
        for (auto& placement : found)
            for (int k = 0; k < n; ++k) placement[k] = (three ? threeEntry : fourEntry)[placement[k]];
        lay(n, found);
    }
    // Only these placements, each the colours' entries in order ("2331").
    EveryPlacement(int n, std::initializer_list<const char*> only) {
        std::vector<std::array<int, kSmallPalette>> found;
        for (const char* placement : only) {
            std::array<int, kSmallPalette> entries = {};
            for (int k = 0; k < n; ++k) entries[k] = placement[k] - '0';
            found.push_back(entries);
        }
        lay(n, found);
    }

private:
    void lay(int n, const std::vector<std::array<int, kSmallPalette>>& found) {
        batches = int((found.size() + kRow - 1) / kRow);
        std::vector<Row> entry(std::size_t(batches) * n, Row{});
        for (std::size_t p = 0; p < found.size(); ++p)
            for (int k = 0; k < n; ++k) entry[p / kRow * n + k][p % kRow] = found[p][k];
        for (const Row& e : entry)
            for (int i = 0; i < 4; ++i) on.push_back(e == i);
    }
};

#if defined(D3D9SOFT_DXT_AVX2)
typedef PairHalves RowHalves;
typedef UnsignedPairHalves UnsignedRowHalves;
#else
typedef HalfLanes RowHalves;
typedef UnsignedHalves UnsignedRowHalves;
#endif

// The decoder's expansion of one channel's levels.
Row expandRow(Row q, int channel) { return channel == 1 ? (q << 2) | (q >> 4) : (q << 3) | (q >> 2); }

// Every placement weighed exactly, a placement to a lane: its least-squares
// endpoints, then per channel the best of the quantised pairs around them by
// the decoder's own entries (as fitEntries weighs one placement). Ranking
// placements by their residual, or by their endpoints rounded, and weighing
// only the first few missed the best in near-flat blocks, whose quantised
// errors follow neither; weighing them all, eight at once, costs less than
// ranking them did. Into `best` the endpoints of the least error, the first
// of equal ones; `own` is the colours' square sum.
// With n known when compiled the loops over the colours unroll.
template <bool kThree, int n>
void fitEveryPlacementOf(const FewColours& few, const EveryPlacement& placements, int own, Fit& best) {
    static_assert(kRow <= 8, "a lane's number fits below the error in three bits");
    constexpr int whole = kThree ? 2 : 3, s2 = kThree ? 1 : 2, s3 = kThree ? 0 : 1;
    int all = 0, allSum[3] = {};
    for (int k = 0; k < n; ++k) {
        all += few.count[k];
        for (int c = 0; c < 3; ++c) allSum[c] += few.sum[k][c];
    }
    // Each entry's colours summed under the placements' masks, entry 1's as
    // the rest; channel by channel, so that the sums stay in registers.
    const auto entrySum = [&](const Row* on, int e, auto value) {
        Row sum = on[e] & value(0);
        for (int k = 1; k < n; ++k) sum += on[4 * k + e] & value(k);
        return sum;
    };
    for (int b = 0; b < placements.batches; ++b) {
        const Row* on = &placements.on[std::size_t(b) * n * 4];
        const auto counted = [&](int k) { return few.count[k]; };
        Row count[4];
        count[0] = entrySum(on, 0, counted);
        count[2] = entrySum(on, 2, counted);
        count[3] = kThree ? Row{} : entrySum(on, 3, counted);
        count[1] = all - count[0] - count[2] - count[3];
        const Row aa = whole * whole * count[0] + s2 * s2 * count[2] + s3 * s3 * count[3];
        const Row ab = s2 * (whole - s2) * count[2] + s3 * (whole - s3) * count[3];
        const Row bb =
            whole * whole * count[1] + (whole - s2) * (whole - s2) * count[2] + (whole - s3) * (whole - s3) * count[3];
        // Every factor below fits 16 bits (aa, ab, bb <= 144; ax, bx < 2^14),
        // so the products take pmullw and pmaddwd, not pmulld.
        const Row det = small<Row, RowHalves>(aa, bb) - small<Row, RowHalves>(ab, ab), real = det != 0;
        const FloatRow unit = float(whole) / (255.0f * __builtin_convertvector(real ? det : 1, FloatRow));
        Row total = {}, q[2][3];
#pragma GCC unroll 3
        for (int c = 0; c < 3; ++c) {
            const auto summed = [&](int k) { return few.sum[k][c]; };
            const Row s0 = entrySum(on, 0, summed), t2 = entrySum(on, 2, summed),
                      t3 = kThree ? Row{} : entrySum(on, 3, summed), s1 = allSum[c] - s0 - t2 - t3;
            const Row ax = whole * s0 + s2 * t2 + s3 * t3, bx = whole * (s0 + s1 + t2 + t3) - ax;
            const FloatRow scale = unit * float(kLargest[c]);
            const Row top = Row{} + (kLargest[c] - 1);
            const auto solved = [&](Row v) {
                const Row level = __builtin_convertvector(__builtin_convertvector(v, FloatRow) * scale, Row);
                const Row floor = level < 0 ? Row{} : level;
                return floor > top ? top : floor;
            };
            const Row qa = solved(difference<Row, RowHalves>(ax, bx, bb, ab)),
                      qb = solved(difference<Row, RowHalves>(bx, ax, aa, ab));
            const Row ea[2] = {expandRow(qa, c), expandRow(qa + 1, c)},
                      eb[2] = {expandRow(qb, c), expandRow(qb + 1, c)};
            // The error terms as fitEntries weighs them, in 16-bit halves.
            const auto part = [](Row v, Row many, Row twice) {
                return sumOfProducts(RowHalves(v), RowHalves(small<Row, RowHalves>(v, many) - twice));
            };
            const Row partA[2] = {part(ea[0], count[0], 2 * s0), part(ea[1], count[0], 2 * s0)};
            const Row partB[2] = {part(eb[0], count[1], 2 * s1), part(eb[1], count[1], 2 * s1)};
            const Row count23 = count[2] | count[3] << 16, twice23 = 2 * t2 | (2 * t3) << 16;
            // 2a + b and a + 2b in the halves, as the sum of a's part and b's.
            const Row a2[2] = {ea[0] * (2 + (1 << 16)), ea[1] * (2 + (1 << 16))},
                      b2[2] = {eb[0] * (1 + (2 << 16)), eb[1] * (1 + (2 << 16))};
            Row key = Row{} + INT_MAX;
            for (int i = 0; i < 2; ++i)
                for (int j = 0; j < 2; ++j) {
                    Row e = partA[i] + partB[j];
                    if constexpr (kThree)
                        e += part((ea[i] + eb[j]) >> 1, count[2], 2 * t2);
                    else
                        e += middleEntries<Row, RowHalves, UnsignedRowHalves>(a2[i] + b2[j], count23, twice23);
                    const Row candidate = 4 * e + (2 * i + j);
                    key = candidate < key ? candidate : key;
                }
            total += key >> 2;
            q[0][c] = qa + ((key >> 1) & 1);
            q[1][c] = qb + (key & 1);
        }
        // The least error with its lane below it, the first lane of equal ones.
        const Row keyed = real ? (own + total) << 3 | laneNumbers() : Row{} + INT_MAX;
        const int least = pickLane<false>(keyed);
        if (least == INT_MAX || (least >> 3) >= best.error) continue;
        const int l = least & 7;
        best.error = least >> 3;
        for (int c = 0; c < 3; ++c) {
            best.q[0][c] = q[0][c][l];
            best.q[1][c] = q[1][c][l];
        }
    }
}

// One instance for each count of colours from 2 to kSmallPalette.
template <bool kThree, int... k>
constexpr auto placementFits(std::integer_sequence<int, k...>) {
    return std::array{&fitEveryPlacementOf<kThree, k + 2>...};
}

template <bool kThree>
void fitEveryPlacement(const FewColours& few, const EveryPlacement& placements, int own, Fit& best) {
    static constexpr auto fits = placementFits<kThree>(std::make_integer_sequence<int, kSmallPalette - 1>());
    fits[few.n - 2](few, placements, own, best);
}

// Two to kSmallPalette colours, in either mode.
struct EveryPlacementTables {
    EveryPlacement table[2][kSmallPalette + 1];
    EveryPlacementTables() {
        for (int n = 2; n <= kSmallPalette; ++n)
            for (int three = 0; three < 2; ++three) table[three][n] = EveryPlacement(n, three == 1);
    }
};

Fit fitFewColours(const Colours& colours, const FewColours& few, bool three) {
    const int own = colours.own;
    Fit best;
    static const EveryPlacementTables every;
    const EveryPlacement& placements = every.table[three][few.n];
    three ? fitEveryPlacement<true>(few, placements, own, best) : fitEveryPlacement<false>(few, placements, own, best);
    if (best.error != INT_MAX) best.error = assignIndices(colours, best.q, three, best.index);
    return best;
}

// Near-flat blocks and smooth ramps of many colours, whose error is mostly
// R5G6B5's rounding: the fit's own entries taken as four colours (three in
// three-colour mode), each the sum and count of the colours on it, empty
// ones too, and placed anew on the palette as few colours are. What wins is
// most often a placement that leaves an endpoint unused, far outside the
// colours, so that the steps between the other entries fall where the
// colours lie: least squares, whose endpoints stay by the colours, does not
// go there, and the cluster fit, weighing its splits unquantised, does not
// see it. Four entries take the eight placements that won most often on
// game textures and photographs (nearly as good as all 31), three take all
// seven. The placement that keeps every entry is least squares' own next
// step, so this also refines. Into `fit` where it ends lower.
void placeEntriesAnew(const Colours& colours, bool three, Fit& fit) {
    EntrySums sums;
    int count[4];
    sumEntries(colours, fit.index, sums, count);
    static const int fourOrder[4] = {0, 2, 3, 1}, threeOrder[3] = {0, 2, 1};
    FewColours groups;
    groups.n = three ? 3 : 4;
    for (int k = 0; k < groups.n; ++k) {
        const int e = (three ? threeOrder : fourOrder)[k];
        for (int c = 0; c < 3; ++c) groups.sum[k][c] = sums.entry[e][c];
        groups.count[k] = count[e];
    }
    static const EveryPlacement four(4, {"2331", "0223", "2311", "0233", "2231", "2233", "0023", "0231"});
    static const EveryPlacement threeColours(3, true);
    Fit other;
    other.error = fit.error;
    three ? fitEveryPlacement<true>(groups, threeColours, colours.own, other)
          : fitEveryPlacement<false>(groups, four, colours.own, other);
    if (other.error >= fit.error) return;
    other.error = assignIndices(colours, other.q, three, other.index);
    if (other.error < fit.error) fit = other;
}

unsigned pack565(const int q[3]) { return unsigned(q[0] << 11 | q[1] << 5 | q[2]); }

// Endpoint order selects the mode: colour 0 above colour 1 for four colours,
// not above for three. Texels not among `colours` are DXT1's transparent ones.
void writeBlock(const Fit& fit, const Colours& colours, bool three, std::uint8_t block[8]) {
    unsigned c0 = pack565(fit.q[0]), c1 = pack565(fit.q[1]);
    IndexBytes index;
    if (colours.count == 16) {
        std::memcpy(&index, fit.index, sizeof index);  // every texel at its own place
    } else {
        std::uint8_t placed[16];
        std::memset(placed, 3, sizeof placed);
        for (int i = 0; i < colours.count; ++i) placed[colours.position[i]] = fit.index[i];
        std::memcpy(&index, placed, sizeof index);
    }
    if (!three && c0 < c1) {
        std::swap(c0, c1);
        index ^= 1;
    } else if (!three && c0 == c1) {
        index = IndexBytes{};  // every entry is colour 0, and entry 3 would be transparent in DXT1
    } else if (three && c0 > c1) {
        std::swap(c0, c1);
        index ^= (index < 2) & 1;
    }
    // Two bits per texel, gathered by doubling widths: 4 bits in 16, 8 in 32,
    // 16 in 64.
    typedef std::uint32_t Quads __attribute__((vector_size(16)));
    typedef std::uint64_t Pairs __attribute__((vector_size(16)));
    const UnsignedHalves h = UnsignedHalves(index), h4 = (h & 0xff) | (h >> 8) << 2;
    const Quads w = Quads(h4), w8 = (w & 0xffff) | (w >> 16) << 4;
    const Pairs d = Pairs(w8), d16 = (d & 0xffffffff) | (d >> 32) << 8;
    // Colour 0, colour 1 and the indices, little-endian as the block is.
    const std::uint64_t bytes = c0 | c1 << 16 | (d16[0] | d16[1] << 16) << 32;
    std::memcpy(block, &bytes, sizeof bytes);
}

// The few colours in order along the axis, for the placements that keep it.
void sortAlong(const float axis[3], FewColours& few) {
    float t[kSmallPalette];
    for (int k = 0; k < few.n; ++k) t[k] = along(axis, few.rgb[k][0], few.rgb[k][1], few.rgb[k][2]);
    for (int a = 0; a < few.n; ++a)
        for (int b = a + 1; b < few.n; ++b)
            if (t[b] < t[a]) {
                std::swap(t[a], t[b]);
                swapColours(few, a, b);
            }
}

// The cluster fit's splits, each with its least-squares endpoints, and the
// same refinement as from the extremes for the best of them once quantised.
Fit fitClusters(const Colours& colours, const float axis[3], bool three) {
    std::uint8_t entries[8][16] = {};  // past `count` compared whole below
    const int found = clusterEntries(colours.rgb, colours.count, axis, three, entries);
    Fit best;
    int won = 0;
    for (int k = 0; k < found; ++k) {
        Fit fit;
        if (!solveEndpoints(colours, entries[k], three, fit.q)) continue;
        fit.error = assignIndices(colours, fit.q, three, fit.index);
        if (fit.error < best.error) won = k;
        best = better(best, fit);
    }
    if (best.error == INT_MAX) return best;
    // Refined unless its indices are the split's own, whose endpoints it has.
    if (std::memcmp(best.index, entries[won], sizeof best.index) != 0) refine(colours, three, best);
    return best;
}

// Least squares from where the colours themselves lie along the axis, not
// from their extremes rounded to R5G6B5: each takes the entry of the part
// of their span it falls in (quarters, or halves about the midpoint in three
// colours), and the endpoints are solved for those entries. In smooth
// blocks the rounded extremes often lead least squares to a split worse
// than this one, which the cluster fit would find at many times the cost.
// Into `fit` where it ends lower. Tried on blocks that must take three
// colours (transparent texels, sprites' soft edges), and on others where
// the error along the axis stays between kSpanGate and the cluster fit's
// gate: the photographs gained 0.013 dB, the game textures' worst images
// most (from 150 rather than 250 it would gain 0.01 dB more for 3 % more
// instructions).
void fitFromSpan(const Colours& colours, const float axis[3], bool three, Fit& fit) {
    FloatRow t[kRows];
    float lowest, highest;
    positions(colours, axis, t, lowest, highest);
    const float span = highest - lowest;
    const float at[3] = {three ? 0.25f : 1.0f / 6, three ? 0.75f : 0.5f, 5.0f / 6};
    // From endpoint 0 the parts hold entries 0, 2, 3, 1 (three colours: 0,
    // 2, 1): each bound passed flips the bits in which the entry differs.
    const int second = three ? 3 : 1, third = three ? 0 : 2;
    Row entry[kRows];
    for (int i = 0; i < kRows; ++i)
        entry[i] = (Row(t[i] >= lowest + span * at[0]) & 2) ^ (Row(t[i] >= lowest + span * at[1]) & second) ^
                   (Row(t[i] >= lowest + span * at[2]) & third);
    const IndexBytes entries = lowBytes(entry);
    std::uint8_t index[16];
    std::memcpy(index, &entries, sizeof index);
    Fit other;
    if (!solveEndpoints(colours, index, three, other.q)) return;
    other.error = assignIndices(colours, other.q, three, other.index);
    if (other.error < fit.error) fit = other;
}

// The colours' distinct ones with their counts, in order along the axis;
// false if there are more than kSmallPalette.
bool smallPalette(const Colours& colours, const float axis[3], FewColours& few) {
    if (!distinctColours<kSmallPalette / 4>(colours, few)) return false;
    sortAlong(axis, few);
    return true;
}

// The float lanes, square sums and texel words of the colours, from their
// channels.
void fillLanes(Colours& colours) {
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 16; ++i) colours.lane[c][i] = float(2 * colours.rgb[c][i]);
    for (int i = 0; i < 16; ++i)
        colours.norm[i] = colours.lane[0][i] * colours.lane[0][i] + colours.lane[1][i] * colours.lane[1][i] +
                          colours.lane[2][i] * colours.lane[2][i];
    // The square sum from the float lanes' (four times it): whole numbers
    // under 2^24, so exact in any order.
    FloatRow norms[kRows];
    std::memcpy(norms, colours.norm, sizeof norms);
    FloatRow total = norms[0];
    for (int i = 1; i < kRows; ++i) total += norms[i];
    float square = 0;
    for (int j = 0; j < kRow; ++j) square += total[j];
    colours.own = (int(square) - (16 - colours.count) * int(colours.norm[0])) / 4;  // less the lanes past `count`
    // The texel words, four colours at a time from the channels.
    for (int i = 0; i < 16; i += 4) {
        Lanes r, g, b;
        std::memcpy(&r, &colours.rgb[0][i], sizeof r);
        std::memcpy(&g, &colours.rgb[1][i], sizeof g);
        std::memcpy(&b, &colours.rgb[2][i], sizeof b);
        const Lanes low = r | g << 16, high = b | 1 << 16;
        const Lanes words[2] = {__builtin_shufflevector(low, high, 0, 4, 1, 5),
                                __builtin_shufflevector(low, high, 2, 6, 3, 7)};
        std::memcpy(&colours.texel[i], words, sizeof words);
    }
}

// One mode of a block of two colours or more. Two or three colours: their
// placements on the palette. More: least squares from just inside the
// extremes, then refined or, up to kGroupGate, its entries placed anew;
// then, where that left a clear error, the placements of up to
// kSmallPalette colours, or for more colours the cluster fit or a start
// from their span (beyond four colours, in three colours only where
// transparent texels leave no other mode: elsewhere it nearly never beats
// four); last, the entries placed anew where that brought the error under
// kGroupGate.
// Into `fit`, which the caller owns, rather than returned and copied
// (stores); from `start`, the extremes, which both modes begin from.
void fitMode(const Colours& colours, const FewColours& few, const float axis[3], const int start[2][3], bool three,
             Fit& fit) {
    if (few.n <= 3) {
        fit = fitFewColours(colours, few, three);
        // Three colours far from one line (an outline, a fill and black) may
        // fit best in another order than the axis gives them: each of the
        // others takes the middle once.
        if (few.n == 3 && fit.error > kThreeOrderGate)
            for (int middle = 0; middle < 3; middle += 2) {
                FewColours other = few;
                swapColours(other, 1, middle);
                const Fit reordered = fitFewColours(colours, other, three);
                if (reordered.error < fit.error) fit = reordered;
            }
        return;
    }
    // Least squares from the extremes; blocks of many colours that it
    // leaves under kGroupGate place their entries anew rather than refine.
    std::memcpy(fit.q, start, sizeof fit.q);
    fit.error = assignIndices(colours, fit.q, three, fit.index);
    const bool placed = few.n > kFewColours && fit.error <= kGroupGate;
    if (placed)
        placeEntriesAnew(colours, three, fit);
    else
        refine(colours, three, fit);
    Fit other;
    FewColours palette;
    // Blocks with transparent texels (sprites' edges, never photographs)
    // search from lower errors: the gates are set by what the photographs'
    // speed affords.
    const bool transparent = colours.count < 16;
    if (few.n == kFewColours) {
        if (fit.error > kFourColourGate) other = fitFewColours(colours, few, three);
    } else if (fit.error > (transparent ? kFourColourGate : kSmallPaletteGate) && (!three || transparent) &&
               smallPalette(colours, axis, palette)) {
        other = fitFewColours(colours, palette, three);
    } else if (fit.error - colours.across > kClusterGate) {
        if (!three || transparent) other = fitClusters(colours, axis, three);
    } else if (transparent ? three && fit.error > kFourColourGate : !three && fit.error - colours.across > kSpanGate) {
        fitFromSpan(colours, axis, three, fit);
    }
    if (other.error < fit.error) fit = other;
    // And blocks that the search above brought under kGroupGate.
    if (!placed && few.n > kFewColours && fit.error <= kGroupGate) placeEntriesAnew(colours, three, fit);
}

// One row of texels, read in halves of 16 bytes, as blocks are gathered a
// 16-byte row at a time (stores).
Row loadRow(const std::uint8_t* texels) {
    Lanes half[kRow / 4];
    std::memcpy(half, texels, sizeof half);
#if defined(D3D9SOFT_DXT_AVX2)
    return __builtin_shufflevector(half[0], half[1], 0, 1, 2, 3, 4, 5, 6, 7);
#else
    return half[0];
#endif
}

}  // namespace

void fitColourBlock(const std::uint8_t rgba[64], bool dxt1, std::uint8_t block[8]) {
    Colours colours;
    // A row of texels as words, red in the low byte and alpha in the top,
    // whose sign then says whether DXT1 keeps it.
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "texels are read as little-endian words");
    Row word[kRows];
    for (int i = 0; i < kRows; ++i) word[i] = loadRow(rgba + i * sizeof(Row));
    bool opaque = true;
    if (dxt1) {
        Row all = word[0];
        for (int i = 1; i < kRows; ++i) all &= word[i];
        for (int j = 0; j < kRow; ++j) opaque &= all[j] < 0;
    }
    int n = 16;
    if (opaque) {
        for (int i = 0; i < kRows; ++i) {
            const Row channel[3] = {word[i] & 255, (word[i] >> 8) & 255, (word[i] >> 16) & 255};
            for (int c = 0; c < 3; ++c) std::memcpy(&colours.rgb[c][i * kRow], &channel[c], sizeof channel[c]);
            const Row packed = word[i] & 0xffffff;
            std::memcpy(&colours.packed[i * kRow], &packed, sizeof packed);
        }
        for (int i = 0; i < 16; ++i) colours.position[i] = i;
    } else {
        // The texels in order, less DXT1's transparent ones: each is written
        // at the next place and kept by counting it, without a branch to
        // mispredict.
        n = 0;
        for (int i = 0; i < 16; ++i) {
            const std::uint8_t* texel = rgba + 4 * i;
            for (int c = 0; c < 3; ++c) colours.rgb[c][n] = texel[c];
            colours.position[n] = i;
            n += texel[3] >= 128;
        }
    }
    colours.count = n;
    if (colours.count == 0) {  // all transparent
        static const std::uint8_t transparent[8] = {0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff};
        std::memcpy(block, transparent, 8);
        return;
    }
    for (int c = 0; c < 3; ++c)
        for (int i = colours.count; i < 16; ++i) colours.rgb[c][i] = colours.rgb[c][0];
    if (!opaque)  // packed from the channels of the texels kept (opaque ones are packed as read)
        for (int i = 0; i < kRows; ++i) {
            Row channel[3];
            for (int c = 0; c < 3; ++c) std::memcpy(&channel[c], &colours.rgb[c][i * kRow], sizeof channel[c]);
            const Row packed = channel[0] | channel[1] << 8 | channel[2] << 16;
            std::memcpy(&colours.packed[i * kRow], &packed, sizeof packed);
        }
    FewColours few;
    distinctColours<kFewColours / 4>(colours, few);
    // Transparent texels need DXT1's three-colour mode; opaque DXT1 blocks may take either.
    const bool mustUseThree = colours.count < 16, mayUseThree = dxt1;
    Fit fit, threeFit;
    if (few.n == 1) {
        if (!mustUseThree) fit = fitSingleColour(colours, false);
        if (mayUseThree) threeFit = fitSingleColour(colours, true);
    } else {
        fillLanes(colours);  // a single colour needs none
        float axis[3];
        principalAxis(colours, axis);
        if (few.n <= kFewColours) sortAlong(axis, few);
        int start[2][3];
        if (few.n > 3) extremes(colours, axis, start);
        if (!mustUseThree) fitMode(colours, few, axis, start, false, fit);
        // Three colours rarely win where four fit closely (here an RMS error
        // under about 6.5 per channel); skipping them there saves a third of
        // the time. From 1,024 (4.6) they gained the photographs 0.0004 dB
        // for 2 % of their time and the game textures nothing in 0.01 dB.
        // Blocks of two or three colours try them unless exact, as some are
        // exact in three colours only.
        const int closeFit = few.n <= 3 ? 0 : 2048;
        if (mayUseThree && (mustUseThree || fit.error > closeFit)) fitMode(colours, few, axis, start, true, threeFit);
    }
    if (threeFit.error < fit.error)
        writeBlock(threeFit, colours, true, block);
    else
        writeBlock(fit, colours, false, block);
}

}  // namespace d3d9soft::D3D9SOFT_DXT_ISA
