// Stand-in for the host memory library over the C heap. Each block carries
// its size in a header so that live bytes can be counted exactly.
#include <tarn/vek/memory.h>
#include <tarn/vek/memory_stats.h>

#include <atomic>
#include <cstdlib>

namespace tarn {
namespace vek {
namespace memory {

namespace {
constexpr std::size_t kHeader = alignof(std::max_align_t);  // keeps blocks aligned
std::atomic<std::size_t> mallocCalls{0}, freeCalls{0}, liveBytes{0}, liveBlocks{0};
std::atomic<int> failCountdown{0};
}  // namespace

void* ql_malloc(std::size_t size, std::uint32_t /*flags*/) {
    ++mallocCalls;
    int countdown = failCountdown.load();
    if (countdown > 0 && failCountdown.fetch_sub(1) == 1) return nullptr;
    if (size > SIZE_MAX - kHeader) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block) return nullptr;
    *reinterpret_cast<std::size_t*>(block) = size;
    liveBytes += size;
    ++liveBlocks;
    return block + kHeader;
}

void ql_free(void* pointer) {
    if (!pointer) return;
    ++freeCalls;
    auto* block = static_cast<unsigned char*>(pointer) - kHeader;
    liveBytes -= *reinterpret_cast<std::size_t*>(block);
    --liveBlocks;
    std::free(block);
}

Stats stats() { return Stats{mallocCalls.load(), freeCalls.load(), liveBytes.load(), liveBlocks.load()}; }

void failMalloc(int nth) { failCountdown = nth; }

}  // namespace memory
}  // namespace vek
}  // namespace tarn
