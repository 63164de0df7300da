#include "dxt_rows.h"

#include <d3d9_testing.h>
#include <d3d9soft.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "decode_ahead.h"
#include "dxt.h"

namespace d3d9soft {

namespace {

constexpr unsigned kMaxThreads = 256;
// Below this many blocks per thread (about half a millisecond of work),
// starting the thread costs a noticeable share of what it saves.
constexpr std::size_t kMinBlocksPerThread = 1024;

std::atomic<unsigned> requestedThreads{0};
std::atomic<long> threadsStarted{0};

unsigned coreCount() {
    unsigned cores = std::thread::hardware_concurrency();
    return cores ? std::min(cores, kMaxThreads) : 1;
}

struct Job {
    D3DFORMAT format;
    const std::uint8_t* rgba;
    unsigned blocksPerRow, rows;
    std::uint8_t* out;
    long pitch;
    unsigned blockBytes;
    std::atomic<unsigned> nextRow{0};
};

// Atlas pages repeat blocks: tiles, outlines, a sprite's flat parts. A block
// met again by the same thread in one call takes the bytes it was given
// before, which the encoder would give it anyway (a block's bytes depend on
// its texels alone). On freeciv + minetest pages, 1,024 places find a
// quarter of the blocks that are not of one colour; more find little more.
class BlockMemo {
public:
    const std::uint8_t* find(const std::uint8_t rgba[64], std::size_t& slot) const {
        std::uint64_t hash = 0;
        for (int i = 0; i < 8; ++i) {
            std::uint64_t word;
            std::memcpy(&word, rgba + 8 * i, 8);
            hash = (hash ^ word) * 0x9e3779b97f4a7c15ull;
        }
        slot = std::size_t(hash >> 54);  // kSlots = 1024
        return used_[slot] && std::memcmp(texels_[slot], rgba, 64) == 0 ? encoded_[slot] : nullptr;
    }

    void keep(std::size_t slot, const std::uint8_t rgba[64], const std::uint8_t* block, unsigned bytes) {
        std::memcpy(texels_[slot], rgba, 64);
        std::memcpy(encoded_[slot], block, bytes);
        used_[slot] = true;
    }

private:
    static constexpr std::size_t kSlots = 1024;
    bool used_[kSlots] = {};
    std::uint8_t texels_[kSlots][64];
    std::uint8_t encoded_[kSlots][16];
};

// Rows go one at a time to whichever thread is free rather than in fixed
// bands: atlas pages are often dense at the top and empty below, and empty
// blocks compress much faster.
void work(Job& job) {
    // 80 KiB, not worth it for a few blocks; without it every block is encoded.
    const bool worthIt = std::size_t(job.blocksPerRow) * job.rows >= kMinBlocksPerThread;
    const std::unique_ptr<BlockMemo> memo(worthIt ? new (std::nothrow) BlockMemo : nullptr);
    for (unsigned row; (row = job.nextRow.fetch_add(1, std::memory_order_relaxed)) < job.rows;) {
        const std::uint8_t* in = job.rgba + std::size_t(row) * job.blocksPerRow * 64;
        std::uint8_t* out = job.out + long(row) * job.pitch;
        for (unsigned b = 0; b < job.blocksPerRow; ++b) {
            const std::uint8_t* texels = in + std::size_t(b) * 64;
            std::uint8_t* block = out + std::size_t(b) * job.blockBytes;
            std::size_t slot = 0;
            if (const std::uint8_t* known = memo ? memo->find(texels, slot) : nullptr) {
                std::memcpy(block, known, job.blockBytes);
                continue;
            }
            encodeDxtBlock(job.format, texels, block);
            if (memo) memo->keep(slot, texels, block, job.blockBytes);
        }
    }
}

}  // namespace

void encodeBlockRows(D3DFORMAT format, const std::uint8_t* rgba, unsigned blocksPerRow, unsigned rows,
                     std::uint8_t* out, long pitch) {
    Job job{format, rgba, blocksPerRow, rows, out, pitch, format == D3DFMT_DXT1 ? 8u : 16u};
    std::size_t byWork = std::size_t(blocksPerRow) * rows / kMinBlocksPerThread;
    unsigned threads = unsigned(std::min<std::size_t>({D3D9SoftGetThreadCount(), rows, byWork}));
    if (onDecodeThread()) threads = 1;
    // Threads decoding ahead for the device are part of the count: they join
    // rather than more being started.
    BorrowedThreads borrowed([](void* j) { work(*static_cast<Job*>(j)); }, &job, threads > 1 ? threads - 1 : 0);
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(threads > 1 ? threads - 1 : 0);
        while (helpers.size() + borrowed.count() + 1 < threads) {
            helpers.emplace_back(work, std::ref(job));
            ++threadsStarted;
        }
    } catch (const std::exception&) {
        // No more threads to be had: the ones running and this one finish the rows.
    }
    work(job);
    for (std::thread& helper : helpers) helper.join();
}

long compressionThreadsStarted() { return threadsStarted.load(); }

}  // namespace d3d9soft

extern "C" void D3D9SoftSetThreadCount(unsigned count) {
    d3d9soft::requestedThreads.store(std::min(count, d3d9soft::kMaxThreads));
}

extern "C" unsigned D3D9SoftGetThreadCount(void) {
    unsigned count = d3d9soft::requestedThreads.load();
    return count ? count : d3d9soft::coreCount();
}
