#!/bin/sh
# Cross-compiles textureatlas.dll and the host memory stand-in DLL with
# MinGW-w64 against the platform's own Direct3D 9 / D3DX 9 headers and import
# libraries, then checks what the DLL exports and imports.
# With --wine, also runs a small host against the DLL under Wine (Debian's
# wine64, installed if missing), with Wine's own D3DX.
# Usage: scripts/windows-build.sh [--wine] [build-dir]   (default build-windows)
set -eu
cd "$(dirname "$0")/.."
wine=0
[ "${1:-}" = "--wine" ] && { wine=1; shift; }
build=${1:-build-windows}
prefix=x86_64-w64-mingw32

scripts/install-deps.sh --packages g++-mingw-w64-x86-64 mingw-w64-x86-64-dev

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DTEXTUREATLAS_WERROR=ON \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo --no-warn-unused-cli >/dev/null
cmake --build "$build" -j "$(nproc)"

dll="$build/src/textureatlas.dll"
[ -f "$dll" ] || { echo "no $dll"; exit 1; }
exports=$($prefix-objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^[[:space:]]*\[ *[0-9]+\]/ {print $NF}')
imports=$($prefix-objdump -p "$dll" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)

# Only the two interface classes leave the DLL.
unexpected=$(printf '%s\n' "$exports" | grep -v -E '^_ZN12textureatlas(26ITextureAtlasConfiguration|13ITextureAtlas)|^_Z(TV|TI|TS)N12textureatlas(26ITextureAtlasConfiguration|13ITextureAtlas)E$' | grep -v '^$' || true)
[ -z "$unexpected" ] || { echo "unexpected exports:"; printf '%s\n' "$unexpected"; exit 1; }
for wanted in _ZN12textureatlas26ITextureAtlasConfiguration6createEv \
              _ZN12textureatlas13ITextureAtlas6createEP16IDirect3DDevice9 \
              _ZTVN12textureatlas26ITextureAtlasConfigurationE _ZTVN12textureatlas13ITextureAtlasE \
              _ZN12textureatlas26ITextureAtlasConfigurationC1Ev _ZN12textureatlas26ITextureAtlasConfigurationC2Ev \
              _ZN12textureatlas26ITextureAtlasConfigurationC1ERKS0_ _ZN12textureatlas26ITextureAtlasConfigurationC2ERKS0_ \
              _ZN12textureatlas26ITextureAtlasConfigurationaSERKS0_ \
              _ZN12textureatlas13ITextureAtlasC1Ev _ZN12textureatlas13ITextureAtlasC2Ev \
              _ZN12textureatlas13ITextureAtlasC1ERKS0_ _ZN12textureatlas13ITextureAtlasC2ERKS0_ \
              _ZN12textureatlas13ITextureAtlasaSERKS0_; do
  printf '%s\n' "$exports" | grep -qx "$wanted" || { echo "missing export: $wanted"; exit 1; }
done
# D3DX and allocation come from outside (Direct3D itself only through the
# host's device); no MinGW runtime DLL is needed.
printf '%s\n' "$imports" | grep -qx libhostmemory.dll || { echo "does not import libhostmemory.dll"; exit 1; }
printf '%s\n' "$imports" | grep -q '^d3dx9_[0-9]*\.dll$' || { echo "does not import a d3dx9 DLL"; exit 1; }
if printf '%s\n' "$imports" | grep -qE '^(libstdc\+\+|libgcc|libwinpthread)'; then
  echo "depends on a MinGW runtime DLL:"; printf '%s\n' "$imports"; exit 1
fi
$prefix-objdump -p "$dll" | grep -q 'ql_malloc' || { echo "ql_malloc not imported from the host memory library"; exit 1; }
echo "windows build ok: $dll ($(printf '%s\n' "$exports" | wc -l) exports; imports: $(echo $imports))"

[ $wine = 1 ] || exit 0
if ! command -v wine64 >/dev/null && [ ! -x /usr/lib/wine/wine64 ]; then
  echo "installing: wine64"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wine64 >/dev/null
fi
winebin=$(command -v wine64 || echo /usr/lib/wine/wine64)
run=$build/wine-smoke
rm -rf "$run" && mkdir -p "$run"
cp "$dll" "$build/platform/hostmemory/libhostmemory.dll" "$build/wine_smoke.exe" "$run/"
(cd "$run" && WINEPREFIX="$PWD/../wineprefix" WINEDEBUG=-all timeout 300 "$winebin" wine_smoke.exe)
