// The host memory library's two entry points. The atlas library allocates
// everything through them; the host links the real library, our tests and
// tools link the stand-in beside this header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn {
namespace vek {
namespace memory {

void* ql_malloc(std::size_t size, std::uint32_t flags);
void ql_free(void* pointer);

}  // namespace memory
}  // namespace vek
}  // namespace tarn
