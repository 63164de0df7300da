// Counters of the host memory stand-in, for tests and tools.
#pragma once

#include <cstddef>

namespace tarn {
namespace vek {
namespace memory {

struct Stats {
    std::size_t mallocCalls;
    std::size_t freeCalls;
    std::size_t liveBytes;
    std::size_t liveBlocks;
};

Stats stats();

// Makes the nth ql_malloc from now (1 = the next one) return null.
void failMalloc(int nth);

}  // namespace memory
}  // namespace vek
}  // namespace tarn
