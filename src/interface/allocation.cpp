// Every allocation the library makes goes to the host memory library.
//
// On Linux the whole process shares one set of allocation functions, so these
// definitions must stay inside the library: the version script keeps them
// local (calls from our own code bind to them at link time and nothing else
// sees them), and libstdc++ is linked statically with its symbols hidden, so
// that string and container code compiled into the library allocates and
// frees through the same pair. Allocation failure yields null, never throws.
#include <tarn/vek/memory.h>

#include <cstddef>
#include <new>

using tarn::vek::memory::ql_free;
using tarn::vek::memory::ql_malloc;

void* operator new(std::size_t size) { return ql_malloc(size, 0); }
void* operator new[](std::size_t size) { return ql_malloc(size, 0); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return ql_malloc(size, 0); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return ql_malloc(size, 0); }

void operator delete(void* pointer) noexcept { ql_free(pointer); }
void operator delete[](void* pointer) noexcept { ql_free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { ql_free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { ql_free(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { ql_free(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { ql_free(pointer); }
