// Cluster fit: a block's colours in order along an axis, and every split of
// that order into runs, one run per palette entry from endpoint 0 to endpoint
// 1 (969 splits of sixteen colours into four runs, 153 into three), weighed
// by the least-squares error of its best unquantised endpoints. Least squares
// from the extremes settles on whichever split it starts near; this finds the
// best, which in ramps and in blocks whose best endpoints lie outside the
// colours is often another.
//
// With the colours centred on their mean the error of a split is the
// colours' own square sum less |ax|^2 / det times a constant, where ax sums
// each colour times endpoint 0's share in its entry and det is the split's
// determinant. Sorted, ax is a sum of prefix sums, so a split costs a few
// multiplications; the splits go four at a time in GCC vector lanes.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "dxt_fit.h"

namespace d3d9soft::D3D9SOFT_DXT_ISA {

namespace {

typedef float Floats __attribute__((vector_size(16)));
typedef std::int32_t Ints __attribute__((vector_size(16)));
constexpr int kLanes = 4;

// One row of splits shares its outer boundaries: ax = P[first] + P[second] +
// P[k] for k from `start` on (three entries use first = 0, where P is zero).
struct Row {
    std::uint8_t first, second, start, vectors;
};

// Every split of n colours into `entries` runs, in rows of whole vectors;
// lanes past a row's end and splits with one run only have weight 0.
struct Splits {
    std::vector<Row> rows;
    std::vector<float> weight;        // 1 / det
    std::vector<std::uint32_t> runs;  // the run boundaries, a byte each
};

// Endpoint 0's share in each run, in thirds (halves for three entries).
Splits makeSplits(int n, int entries) {
    Splits splits;
    const int whole = entries - 1;
    auto add = [&](int first, int second, int outer[2]) {
        Row row{std::uint8_t(first), std::uint8_t(second), std::uint8_t(outer[1]), 0};
        const int lanes = n - outer[1] + 1;
        row.vectors = std::uint8_t((lanes + kLanes - 1) / kLanes);
        for (int lane = 0; lane < row.vectors * kLanes; ++lane) {
            const int last = outer[1] + lane;
            int bound[4] = {outer[0], outer[1], last, n};  // runs end at these
            if (entries == 3) bound[0] = outer[0], bound[1] = last, bound[2] = n;
            int aa = 0, ab = 0, bb = 0, from = 0;
            for (int run = 0; run < entries; ++run) {
                const int size = bound[run] - from, a = whole - run, b = run;
                aa += size * a * a;
                ab += size * a * b;
                bb += size * b * b;
                from = bound[run];
            }
            const long det = long(aa) * bb - long(ab) * ab;
            const bool real = last <= n && det > 0;
            splits.weight.push_back(real ? 1.0f / float(det) : 0.0f);
            splits.runs.push_back(std::uint32_t(bound[0] | bound[1] << 8 | bound[2] << 16));
        }
        splits.rows.push_back(row);
    };
    for (int i = 0; i <= n; ++i) {
        if (entries == 3) {
            int outer[2] = {i, i};
            add(0, i, outer);
            continue;
        }
        for (int j = i; j <= n; ++j) {
            int outer[2] = {i, j};
            add(i, j, outer);
        }
    }
    return splits;
}

struct SplitTables {
    Splits four[17], three[17];
    SplitTables() {
        for (int n = 1; n <= 16; ++n) {
            four[n] = makeSplits(n, 4);
            three[n] = makeSplits(n, 3);
        }
    }
};

}  // namespace

int clusterEntries(const int rgb[3][16], int count, const float axis[3], bool three, std::uint8_t entries[8][16]) {
    static const SplitTables tables;
    const Splits& splits = (three ? tables.three : tables.four)[count];
    // Order along the axis, each colour placed by its rank (the colours
    // before it, ties in their order in the block): compares without
    // branches, which the data would mispredict.
    float t[16];
    int order[16];
    for (int i = 0; i < count; ++i)
        t[i] = float(rgb[0][i]) * axis[0] + float(rgb[1][i]) * axis[1] + float(rgb[2][i]) * axis[2];
    for (int i = 0; i < count; ++i) {
        int rank = 0;
        for (int j = 0; j < count; ++j) rank += (t[j] < t[i]) | ((t[j] == t[i]) & (j < i));
        order[rank] = i;
    }
    // Prefix sums of the centred colours, padded for the last vector of a row.
    alignas(16) float prefix[3][16 + 1 + kLanes] = {};
    for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int i = 0; i < count; ++i) sum += rgb[c][i];
        const float mean = float(sum) / float(count);
        for (int i = 0; i < count; ++i) prefix[c][i + 1] = prefix[c][i] + (float(rgb[c][order[i]]) - mean);
    }
    // Each lane's first and last best split: splits that tie before
    // quantisation (evenly spaced colours fit one run short at either end)
    // quantise very differently when one puts an endpoint past black or white.
    Ints best = {}, first = {}, last = {}, at = {0, 1, 2, 3};
    const float* weight = splits.weight.data();
    for (const Row& row : splits.rows) {
        const float base[3] = {prefix[0][row.first] + prefix[0][row.second],
                               prefix[1][row.first] + prefix[1][row.second],
                               prefix[2][row.first] + prefix[2][row.second]};
        for (int v = 0, k = row.start; v < row.vectors; ++v, k += kLanes, at += kLanes, weight += kLanes) {
            Floats x, y, z, w;
            __builtin_memcpy(&x, &prefix[0][k], sizeof x);
            __builtin_memcpy(&y, &prefix[1][k], sizeof y);
            __builtin_memcpy(&z, &prefix[2][k], sizeof z);
            __builtin_memcpy(&w, weight, sizeof w);
            x += base[0];
            y += base[1];
            z += base[2];
            // Non-negative, so its bits order as integers do.
            const Ints value = (Ints)((x * x + y * y + z * z) * w);
            const Ints better = value > best, tie = ~(best > value);
            best = (better & value) | (~better & best);
            first = (better & at) | (~better & first);
            last = (tie & at) | (~tie & last);
        }
    }
    // The candidates, the best first, for the caller to weigh once quantised.
    int candidate[2 * kLanes], value[2 * kLanes], found = 0;
    for (int lane = 0; lane < 2 * kLanes; ++lane) {
        const int split = lane < kLanes ? first[lane] : last[lane - kLanes], weight = best[lane % kLanes];
        bool seen = weight <= 0;
        for (int k = 0; k < found; ++k) seen = seen || candidate[k] == split;
        if (seen) continue;
        int k = found++;
        for (; k > 0 && value[k - 1] < weight; --k) candidate[k] = candidate[k - 1], value[k] = value[k - 1];
        candidate[k] = split, value[k] = weight;
    }
    // Runs from endpoint 0: entries 0, 2, 3, 1 (three entries: 0, 2, 1).
    static const std::uint8_t fourEntries[4] = {0, 2, 3, 1}, threeEntries[3] = {0, 2, 1};
    const std::uint8_t* runEntry = three ? threeEntries : fourEntries;
    for (int k = 0; k < found; ++k) {
        const std::uint32_t runs = splits.runs[std::size_t(candidate[k])];
        for (int i = 0, run = 0; i < count; ++i) {
            while (run < (three ? 2 : 3) && i >= int((runs >> (8 * run)) & 255)) ++run;
            entries[k][order[i]] = runEntry[run];
        }
    }
    return found;
}

}  // namespace d3d9soft::D3D9SOFT_DXT_ISA
