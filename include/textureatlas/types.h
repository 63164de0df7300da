#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

// The host memory library, which the host links.
namespace tarn {
namespace vek {
namespace memory {
void* ql_malloc(std::size_t size, std::uint32_t flags);
void ql_free(void* pointer);
}  // namespace memory
}  // namespace vek
}  // namespace tarn

namespace textureatlas {

// Storage from the host memory library. The vectors of records below use it
// whichever module grows, copies or destroys them, so the library and the
// host can both do so. When the host memory library returns null it throws
// std::bad_alloc, like the default allocator (aborts without exceptions).
template <class T>
struct HostMemoryAllocator {
    typedef T value_type;
    typedef T* pointer;
    typedef const T* const_pointer;
    typedef T& reference;
    typedef const T& const_reference;
    typedef std::size_t size_type;
    typedef std::ptrdiff_t difference_type;
    typedef std::true_type propagate_on_container_move_assignment;
    typedef std::true_type is_always_equal;
    template <class U>
    struct rebind {
        typedef HostMemoryAllocator<U> other;
    };

    HostMemoryAllocator() noexcept {}
    template <class U>
    HostMemoryAllocator(const HostMemoryAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        void* storage = count <= max_size() ? tarn::vek::memory::ql_malloc(count * sizeof(T), 0) : nullptr;
        if (!storage) outOfMemory();
        return static_cast<T*>(storage);
    }
    T* allocate(std::size_t count, const void*) { return allocate(count); }
    void deallocate(T* storage, std::size_t) noexcept { tarn::vek::memory::ql_free(storage); }
    std::size_t max_size() const noexcept { return static_cast<std::size_t>(-1) / sizeof(T); }
    // libstdc++ calls these members of std::allocator directly before C++20.
    template <class U, class... Args>
    void construct(U* where, Args&&... args) {
        ::new (static_cast<void*>(where)) U(static_cast<Args&&>(args)...);
    }
    template <class U>
    void destroy(U* where) {
        where->~U();
    }

    friend bool operator==(const HostMemoryAllocator&, const HostMemoryAllocator&) noexcept { return true; }
    friend bool operator!=(const HostMemoryAllocator&, const HostMemoryAllocator&) noexcept { return false; }

private:
    [[noreturn]] static void outOfMemory() {
#if defined(__cpp_exceptions) || defined(_CPPUNWIND)
        throw std::bad_alloc();
#else
        std::abort();
#endif
    }
};

}  // namespace textureatlas

namespace textureatlas {

// Receives one complete message, without line end. The string lives only
// for the duration of the call.
typedef void (*MessageCallback)(const std::string& message);

// Every callback's initial value. Inline so that it needs no export.
inline void nullMessageHandler(const std::string&) {}

// One image file held in memory by the host.
struct MemoryImage {
    const void* data;
    unsigned int size;
};

// A rectangle in texels.
struct Rect {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// One source texture; on a page, rect.x and rect.y hold its position.
struct TextureEntry {
    std::string name;    // as given, backslashes turned into forward slashes
    std::string path;    // texture directory + name as given
    Rect rect;           // image size, grown by twice the group's border when `border`
    std::string format;  // pixel format name, e.g. "A8R8G8B8"
    bool border = false;
    int mipLevels = 0;
};

}  // namespace textureatlas

namespace std {
// std::allocator of a record type is the host memory allocator, so that
// every std::vector of records takes its storage from the host memory library.
template <>
class allocator<textureatlas::TextureEntry> : public textureatlas::HostMemoryAllocator<textureatlas::TextureEntry> {
public:
    template <class U>
    struct rebind {
        typedef allocator<U> other;
    };
    allocator() noexcept {}
    template <class U>
    allocator(const allocator<U>&) noexcept {}
};
}  // namespace std

namespace textureatlas {

// One configuration group and, with the same fields, one atlas page.
struct AtlasGroup {
    std::string name;
    std::vector<TextureEntry> textures;
    std::string format;  // empty: taken from the textures by the layout
    Rect rect;           // requested size; on a page its actual size
    int mipLevels = 0;
    int border = 0;
    int index = -1;      // page number within its group; -1 in a configuration
};

}  // namespace textureatlas

namespace std {
template <>
class allocator<textureatlas::AtlasGroup> : public textureatlas::HostMemoryAllocator<textureatlas::AtlasGroup> {
public:
    template <class U>
    struct rebind {
        typedef allocator<U> other;
    };
    allocator() noexcept {}
    template <class U>
    allocator(const allocator<U>&) noexcept {}
};
}  // namespace std

namespace textureatlas {

typedef std::vector<AtlasGroup>::iterator GroupIterator;

}  // namespace textureatlas
