#!/bin/sh
# The shared library exports the two interfaces (with their constructors and
# copy assignment) and nothing else: no allocation functions, no
# implementation classes, no libstdc++.
set -eu
lib=$1
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}' | c++filt)
unexpected=$(printf '%s\n' "$symbols" | grep -v -E '^textureatlas::ITextureAtlas(Configuration)?::|^(vtable|typeinfo|typeinfo name) for textureatlas::ITextureAtlas(Configuration)?$' | grep -v -E '^$' || true)
if [ -n "$unexpected" ]; then
  echo "unexpected exported symbols:"; printf '%s\n' "$unexpected"; exit 1
fi
for wanted in 'textureatlas::ITextureAtlas::create(IDirect3DDevice9*)' \
              'textureatlas::ITextureAtlasConfiguration::create()' \
              'vtable for textureatlas::ITextureAtlas' \
              'vtable for textureatlas::ITextureAtlasConfiguration' \
              'typeinfo for textureatlas::ITextureAtlas' \
              'typeinfo for textureatlas::ITextureAtlasConfiguration' \
              'textureatlas::ITextureAtlas::ITextureAtlas()' \
              'textureatlas::ITextureAtlas::ITextureAtlas(textureatlas::ITextureAtlas const&)' \
              'textureatlas::ITextureAtlas::operator=(textureatlas::ITextureAtlas const&)' \
              'textureatlas::ITextureAtlasConfiguration::ITextureAtlasConfiguration()' \
              'textureatlas::ITextureAtlasConfiguration::ITextureAtlasConfiguration(textureatlas::ITextureAtlasConfiguration const&)' \
              'textureatlas::ITextureAtlasConfiguration::operator=(textureatlas::ITextureAtlasConfiguration const&)'; do
  printf '%s\n' "$symbols" | grep -qxF "$wanted" || { echo "missing export: $wanted"; exit 1; }
done
# The host's memory library must supply these; the library must not define them.
undefined=$(nm -D --undefined-only "$lib" | c++filt)
for needed in 'tarn::vek::memory::ql_malloc' 'tarn::vek::memory::ql_free'; do
  printf '%s\n' "$undefined" | grep -qF "$needed" || { echo "not taken from the host: $needed"; exit 1; }
done
echo "exports ok: $(printf '%s\n' "$symbols" | wc -l) symbols"
