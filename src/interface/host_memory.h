#pragma once

#include <textureatlas/types.h>

#include <vector>

namespace textureatlas {

// The library's own working vectors take their storage from the host memory
// library too.
template <class T>
using HostVector = std::vector<T, HostMemoryAllocator<T>>;

}  // namespace textureatlas
