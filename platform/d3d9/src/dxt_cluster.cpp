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
// multiplications; the splits go four at a time in GCC vector lanes, eight
// in the AVX2 build.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "dxt_fit.h"

namespace d3d9soft::D3D9SOFT_DXT_ISA {

namespace {

// The splits are laid out four to a vector; which of the four lanes a split
// takes decides which splits tie with it, so both builds keep that layout.
constexpr int kLanes = 4;
#if defined(D3D9SOFT_DXT_AVX2)
typedef float Floats __attribute__((vector_size(32)));
typedef std::int32_t Ints __attribute__((vector_size(32)));
constexpr int kVector = 8;
#else
typedef float Floats __attribute__((vector_size(16)));
typedef std::int32_t Ints __attribute__((vector_size(16)));
constexpr int kVector = 4;
#endif
typedef std::int8_t Bytes __attribute__((vector_size(16)));
// Prefix sums of up to sixteen colours, padded for the last vector of a row.
constexpr int kPrefix = 16 + 1 + kVector;
#if defined(D3D9SOFT_DXT_AVX2)
// Where the search finds the vector of colours from k on: by k's place in
// its four, then by k / 4.
constexpr int kSums = 4 * 5;
constexpr int sumAt(int k) { return k % 4 * 5 + k / 4; }
#endif
typedef std::int16_t Shorts __attribute__((vector_size(16)));

Floats broadcast(float v) {
#if defined(D3D9SOFT_DXT_AVX2)
    return Floats{v, v, v, v, v, v, v, v};
#else
    return Floats{v, v, v, v};
#endif
}

template <typename V>
V max(V a, V b) {
    return a > b ? a : b;
}

// One row of splits shares its outer boundaries: ax = P[first] + P[second] +
// P[k] for k from `start` on (three entries use first = 0, where P is zero).
struct Row {
    std::uint8_t first, second, start, vectors;
};

// Where the search finds a row, in bytes: its second run's end (in
// seconds), its vectors' end (in sums in the AVX2 build) and their size, and
// so the end of its weights: offsets that step with the loop without scaling.
struct Span {
    std::uint16_t second, end, size, unused;  // eight bytes, which GCC steps over in fewer operations
};

// Consecutive rows of one first boundary, which their sums share, up to
// the span `end`.
struct Group {
    std::uint16_t first, end;
};

// Every split of n colours into `entries` runs, in rows of whole vectors;
// lanes past a row's end and splits with one run only have weight 0.
struct Splits {
    std::vector<Row> rows;
    std::vector<float> weight;         // 1 / det, until copied to weights
    std::vector<Span> spans;           // the rows, for the search
    std::vector<Group> groups;         // and their first boundaries
    std::vector<Floats> weights;       // the weights, a vector's at a time
    std::vector<std::uint32_t> runs;   // the run boundaries, a byte each
    std::vector<std::uint16_t> place;  // eight lanes: where the split lies in four
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

#if defined(D3D9SOFT_DXT_AVX2)
// Eight lanes: two rows of the same first boundary side by side, the second
// one past the other's (row `second` in lanes 0-3, `second` + 1 in lanes
// 4-7), a vector of each in turn. Lanes l and l + 4 hold splits of four-lane
// lane l, each half in the order of the four-lane layout, so merging the two
// halves' bests finds what four lanes find. Rows without a partner pair with
// weight 0.
Splits pairRows(const Splits& four) {
    Splits eight;
    std::size_t at = 0;
    for (std::size_t r = 0; r < four.rows.size();) {
        const Row& low = four.rows[r];
        const bool paired = r + 1 < four.rows.size() && four.rows[r + 1].first == low.first &&
                            four.rows[r + 1].second == low.second + 1 && four.rows[r + 1].start == low.start + 1;
        const std::size_t high = at + std::size_t(low.vectors) * kLanes;
        eight.rows.push_back(low);
        for (int v = 0; v < low.vectors; ++v) {
            for (int lane = 0; lane < kLanes; ++lane) {
                const std::size_t split = at + std::size_t(v * kLanes + lane);
                eight.weight.push_back(four.weight[split]);
                eight.runs.push_back(four.runs[split]);
                eight.place.push_back(std::uint16_t(split));
            }
            for (int lane = 0; lane < kLanes; ++lane) {
                const bool real = paired && v < four.rows[r + 1].vectors;
                const std::size_t split = high + std::size_t(v * kLanes + lane);
                eight.weight.push_back(real ? four.weight[split] : 0.0f);
                eight.runs.push_back(real ? four.runs[split] : 0);
                eight.place.push_back(std::uint16_t(real ? split : 0));
            }
        }
        at = high + (paired ? std::size_t(four.rows[r + 1].vectors) * kLanes : 0);
        r += paired ? 2 : 1;
    }
    return eight;
}
#endif

void forSearch(Splits& splits) {
    for (const Row& row : splits.rows) {
#if defined(D3D9SOFT_DXT_AVX2)
        const int end = (sumAt(row.start) + row.vectors) * 32;
#else
        const int end = (row.start + kLanes * row.vectors) * 4;
#endif
        splits.spans.push_back(Span{std::uint16_t(row.second * sizeof(Floats)), std::uint16_t(end),
                                    std::uint16_t(row.vectors * sizeof(Floats)), 0});
        if (splits.groups.empty() || splits.groups.back().first != row.first)
            splits.groups.push_back(Group{row.first, 0});
        splits.groups.back().end = std::uint16_t(splits.spans.size());
    }
    splits.weights.resize(splits.weight.size() / kVector);
    __builtin_memcpy(splits.weights.data(), splits.weight.data(), splits.weight.size() * sizeof(float));
    std::vector<float>().swap(splits.weight);
}

constexpr int kRanks = 16 / kVector;  // vectors of sixteen colours

struct SplitTables {
    Splits four[17], three[17];
#if !defined(D3D9SOFT_DXT_AVX2)
    Ints after[16][kRanks];  // the colours after colour j, all ones
#endif
    SplitTables() {
#if !defined(D3D9SOFT_DXT_AVX2)
        for (int j = 0; j < 16; ++j)
            for (int i = 0; i < 16; ++i) after[j][i / kVector][i % kVector] = i > j ? -1 : 0;
#endif
        for (int n = 1; n <= 16; ++n) {
            four[n] = makeSplits(n, 4);
            three[n] = makeSplits(n, 3);
#if defined(D3D9SOFT_DXT_AVX2)
            four[n] = pairRows(four[n]);
            three[n] = pairRows(three[n]);
#endif
            forSearch(four[n]);
            forSearch(three[n]);
        }
    }
};

}  // namespace

int clusterEntries(const int rgb[3][16], int count, const float axis[3], bool three, std::uint8_t entries[8][16]) {
    static const SplitTables tables;
    const Splits& splits = (three ? tables.three : tables.four)[count];
    // Order along the axis, each colour placed by its rank (the colours
    // before it, ties in their order in the block): compares without
    // branches, which the data would mispredict, every colour's at once.
    alignas(32) float t[16] = {};
    int order[16];
    alignas(16) std::int8_t rankOf[16] = {};
    for (int i = 0; i < count; ++i)
        t[i] = float(rgb[0][i]) * axis[0] + float(rgb[1][i]) * axis[1] + float(rgb[2][i]) * axis[2];
    Floats along[kRanks];
    Ints rank[kRanks] = {};
    __builtin_memcpy(along, t, sizeof along);
#if defined(D3D9SOFT_DXT_AVX2)
    const Ints colour[kRanks] = {{0, 1, 2, 3, 4, 5, 6, 7}, {8, 9, 10, 11, 12, 13, 14, 15}};
#endif
    for (int j = 0; j < count; ++j) {
        const Floats before = broadcast(t[j]);
        for (int k = 0; k < kRanks; ++k) {
#if defined(D3D9SOFT_DXT_AVX2)
            const Ints after = colour[k] > j;
#else
            const Ints after = tables.after[j][k];  // SSE2 would copy each compare's operand
#endif
            rank[k] -= (Ints)(before < along[k]) | ((Ints)(before == along[k]) & after);
        }
    }
    alignas(32) std::int32_t ranks[16];
    __builtin_memcpy(ranks, rank, sizeof ranks);
    for (int i = 0; i < count; ++i) {
        order[ranks[i]] = i;
        rankOf[i] = std::int8_t(ranks[i]);
    }
    // Prefix sums of the centred colours.
    alignas(16) float prefix[3][kPrefix] = {};
    float centred[3][16];
    for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int i = 0; i < count; ++i) sum += rgb[c][i];
        const float mean = float(sum) / float(count);
        for (int i = 0; i < count; ++i) centred[c][i] = float(rgb[c][i]) - mean;
    }
    for (int i = 0; i < count; ++i) {
        const int colour = order[i];
        for (int c = 0; c < 3; ++c) prefix[c][i + 1] = prefix[c][i] + centred[c][colour];
    }
    // Each lane's first and last best split: splits that tie before
    // quantisation (evenly spaced colours fit one run short at either end)
    // quantise very differently when one puts an endpoint past black or white.
#if defined(D3D9SOFT_DXT_AVX2)
    Ints best = {}, first = {}, last = {}, at = {0, 1, 2, 3, 4, 5, 6, 7};
#else
    Ints best = {}, first = {}, last = {}, at = {0, 1, 2, 3};
#endif
#if defined(D3D9SOFT_DXT_AVX2)
    // Each colour's vector as the search loads it (lanes 4-7 one colour on),
    // shuffled once here rather than in each of its rows; a row's vectors,
    // four colours apart, lie side by side as its weights do.
    alignas(32) Floats sums[3][kSums];
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k <= count; ++k) {
            Floats from;
            __builtin_memcpy(&from, &prefix[c][k], sizeof from);
            sums[c][sumAt(k)] = __builtin_shufflevector(from, from, 0, 1, 2, 3, 1, 2, 3, 4);
        }
    const char* const sumBytes = reinterpret_cast<const char*>(sums);
    constexpr int kChannel = sizeof sums[0];
#else
    const char* const sumBytes = reinterpret_cast<const char*>(prefix);
    constexpr int kChannel = sizeof prefix[0];
#endif
    // Each second boundary's sum in every lane (the AVX2 build's upper half
    // one colour on), for the rows to add without broadcasting.
    alignas(32) Floats seconds[3][17];
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k <= count; ++k) {
#if defined(D3D9SOFT_DXT_AVX2)
            const Floats from = sums[c][sumAt(k)];
            seconds[c][k] = __builtin_shufflevector(from, from, 0, 0, 0, 0, 4, 4, 4, 4);
#else
            seconds[c][k] = broadcast(prefix[c][k]);
#endif
        }
    const char* const secondBytes = reinterpret_cast<const char*>(seconds);
    const char* weight = reinterpret_cast<const char*>(splits.weights.data());
    const Span* row = splits.spans.data();
    for (const Group& group : splits.groups) {
        const Floats lead[3] = {broadcast(prefix[0][group.first]), broadcast(prefix[1][group.first]),
                                broadcast(prefix[2][group.first])};
        for (const Span* const end = splits.spans.data() + group.end; row != end; ++row) {
            Floats base[3];
            for (int c = 0; c < 3; ++c)
                base[c] = lead[c] + *reinterpret_cast<const Floats*>(secondBytes + row->second + c * sizeof seconds[0]);
            // One offset counting up to zero steps through the weights and the sums.
            weight += row->size;
            const char* const sum = sumBytes + row->end;
            for (std::ptrdiff_t v = -std::ptrdiff_t(row->size); v != 0; v += sizeof(Floats), at += kVector) {
                Floats x, y, z;
                __builtin_memcpy(&x, sum + v, sizeof x);
                __builtin_memcpy(&y, sum + v + kChannel, sizeof y);
                __builtin_memcpy(&z, sum + v + 2 * kChannel, sizeof z);
                const Floats w = *reinterpret_cast<const Floats*>(weight + v);
                x += base[0];
                y += base[1];
                z += base[2];
                // Non-negative, so its bits order as integers do.
                const Ints value = (Ints)((x * x + y * y + z * z) * w);
                const Ints better = value > best, tie = ~(best > value);
                // `at` only grows, so taking it is a maximum, cheaper than a
                // blend; the values are non-negative floats, so their maximum
                // is the integers'. SSE2 has no 32-bit maximum: there it takes
                // 16 bits (a table holds 1,220 splits at most) and floats.
#if defined(D3D9SOFT_DXT_AVX2)
                first = max(better & at, first);
                last = max(tie & at, last);
                best = max(value, best);
#else
                first = (Ints)max((Shorts)(better & at), (Shorts)first);
                last = (Ints)max((Shorts)(tie & at), (Shorts)last);
                best = (Ints)max((Floats)best, (Floats)value);
#endif
            }
        }
    }
#if defined(D3D9SOFT_DXT_AVX2)
    // Each lane's two halves as one lane of four: the higher best, and of
    // equal ones the first and last split in the four-lane order.
    const std::uint16_t* place = splits.place.data();
    for (int lane = 0; lane < kLanes; ++lane) {
        const int high = lane + kLanes;
        if (best[high] != best[lane]) {
            if (best[high] > best[lane]) best[lane] = best[high], first[lane] = first[high], last[lane] = last[high];
            continue;
        }
        if (place[first[high]] < place[first[lane]]) first[lane] = first[high];
        if (place[last[high]] > place[last[lane]]) last[lane] = last[high];
    }
#endif
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
    // Runs from endpoint 0 hold entries 0, 2, 3, 1 (three entries: 0, 2, 1):
    // each boundary at or below a colour's rank flips the bits in which its
    // entry differs from the one before. Three entries' last boundary is the
    // colour count, which no rank reaches.
    const std::int8_t second = three ? 3 : 1;
    for (int k = 0; k < found; ++k) {
        // Loaded here: held from before the search, it costs the baseline
        // build's search a register.
        Bytes rank;
        __builtin_memcpy(&rank, rankOf, sizeof rank);
        const std::uint32_t runs = splits.runs[std::size_t(candidate[k])];
        const Bytes entry = ((rank >= std::int8_t(runs & 255)) & 2) ^
                            ((rank >= std::int8_t(runs >> 8 & 255)) & second) ^
                            ((rank >= std::int8_t(runs >> 16 & 255)) & 2);
        // The block's colours only: the bytes past them stay as they were.
        if (count == 16)
            __builtin_memcpy(entries[k], &entry, sizeof entry);
        else
            for (int i = 0; i < count; ++i) entries[k][i] = std::uint8_t(entry[i]);
    }
    return found;
}

}  // namespace d3d9soft::D3D9SOFT_DXT_ISA
