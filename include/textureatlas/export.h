#pragma once

// Only the two interface classes leave the library; everything else is hidden.
#if defined(_WIN32)
#  if defined(TEXTUREATLAS_BUILDING)
#    define TEXTUREATLAS_API __declspec(dllexport)
#  else
#    define TEXTUREATLAS_API __declspec(dllimport)
#  endif
#else
#  define TEXTUREATLAS_API __attribute__((visibility("default")))
#endif
