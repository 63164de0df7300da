// The library's objects, owned: what a create made, the host deletes.
#pragma once

#include <textureatlas/textureatlas.h>

#include <memory>

using ConfigurationPointer = std::unique_ptr<textureatlas::ITextureAtlasConfiguration>;
using AtlasPointer = std::unique_ptr<textureatlas::ITextureAtlas>;
