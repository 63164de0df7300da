#pragma once

// Everything a host needs to pack textures into atlas pages.
#include <textureatlas/ITextureAtlas.h>
#include <textureatlas/ITextureAtlasConfiguration.h>
#include <textureatlas/types.h>
