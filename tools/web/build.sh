#!/usr/bin/env bash
# Builds the WebAssembly player with Debian's emscripten:
#   tools/web/build.sh OUT_DIR DATA_FILE
# OUT_DIR (build-web) then holds the static page (index.html, tivrel-page.js,
# tivrel-worklet.js, tivrel.js, tivrel.wasm, tivrel.ovl = DATA_FILE) and the node
# player (tivrel-node.js, tivrel-node.wasm). libopenmpt, zlib and libpng come from
# Debian's source packages of the versions installed (built once, kept in OUT_DIR);
# the build itself is incremental (ninja in OUT_DIR/cmake).
set -euo pipefail
cd "$(dirname "$0")/../.."
out=$(realpath -m "${1:?usage: build.sh OUT_DIR DATA_FILE}")
data=${2:?usage: build.sh OUT_DIR DATA_FILE}
# Debian's emscripten finds its JavaScript packages (acorn) there.
export NODE_PATH=/usr/share/nodejs
mkdir -p "$out"
bash tools/web/fetch_debian_source.sh zlib1g-dev "$out/sources/zlib1g-dev"
bash tools/web/fetch_debian_source.sh libpng-dev "$out/sources/libpng-dev"
bash tools/web/build_libopenmpt.sh "$out"
if [ ! -f "$out/cmake/build.ninja" ]; then
    emcmake cmake -S tools/web -B "$out/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release -DWEB_OUT="$out" \
        -DWEB_SOURCES="$out/sources" -DLIBOPENMPT="$out/libopenmpt" >/dev/null
fi
cmake --build "$out/cmake"
cp src/web/page/index.html src/web/page/tivrel-page.js src/web/page/tivrel-worklet.js "$out/"
cp "$data" "$out/tivrel.ovl"
