#!/bin/sh
# Builds the bundled example atlas with texatlas and says where its output is.
set -eu
build=${1:-build}
[ $# -gt 0 ] && shift  # the rest goes to texatlas, e.g. --force
root=$(cd "$(dirname "$0")/.." && pwd)
demo="$build/demo"
# The system interpreter has the image library; a user-installed one may not.
python=/usr/bin/python3
[ -x "$python" ] || python=python3

"$python" "$root/examples/demo/make_textures.py" "$demo/textures"
"$build/tools/texatlas" build "$root/examples/demo/atlas.cfg" \
    --textures "$demo/textures" --output "$demo/out" --index "$demo/out/atlas.txt" \
    --json "$demo/out/atlas.json" --preview "$@"
echo
echo "pages:    $demo/out/*.dds"
echo "index:    $demo/out/atlas.txt (and atlas.json)"
echo "previews: $demo/out/preview/*.png, open $demo/out/preview/index.html in a browser"
