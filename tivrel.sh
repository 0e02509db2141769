#!/usr/bin/env bash
# tivrel's one entry point for people and CI.
#   ./tivrel.sh [demo options]   install what is missing, build the program, its tools
#                                and data (no tests), run the demo
#   ./tivrel.sh test             install what is missing, build everything, run every test
#   ./tivrel.sh build            install what is missing, build the program, tools and data
#   ./tivrel.sh install [PREFIX] build, then cmake --install (default prefix /usr/local)
#   ./tivrel.sh web [--port N] [--build-only]
#                                build the page and the node player into build-web/ with
#                                Debian's emscripten, then serve it on http://localhost:8000/
# Runs on Debian 12 as root (or with sudo for the package step).
set -euo pipefail
cd "$(dirname "$0")"

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config libsdl2-dev libopenmpt-dev libimgui-dev
                libfreetype-dev fonts-dejavu-core libpng-dev zlib1g-dev libassimp-dev libmeshoptimizer-dev
                libimagequant-dev libtoml11-dev)
WEB_PACKAGES=(emscripten nodejs)   # the WebAssembly player; its page test adds npm and chromium
TEST_PACKAGES=(npm chromium libgtest-dev openmpt123 clang libclang-rt-14-dev ffmpeg)   # clang and its libFuzzer runtime: tools/fuzz.sh; ffmpeg: capture video tests

install_missing() {
    local missing=()
    for p in "$@"; do
        # A Node.js that is not Debian's own package brings its own npm (and conflicts
        # with Debian's): a working command is enough.
        [ "$p" = npm ] && command -v npm >/dev/null && continue
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "tivrel.sh: installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
}

build_web() {  # the native build's data file is the page's default data
    install_missing "${BUILD_PACKAGES[@]}" "${WEB_PACKAGES[@]}"
    build build -DTIVREL_TESTS=OFF
    bash tools/web/build.sh build-web build/tivrel.ovl
}

build() {  # build DIR [cmake options...]
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$dir"
}

case "${1:-}" in
test)
    install_missing "${BUILD_PACKAGES[@]}" "${WEB_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    bash tools/check_platform_includes.sh
    bash tools/check_layers.sh
    build build -DTIVREL_TESTS=ON
    export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
    ctest --test-dir build --output-on-failure -j2
    # The WebAssembly player: node captures against the golden run and the native
    # program, the page in Debian's chromium (playwright-core as locked, no browser download).
    bash tools/web/build.sh build-web build/tivrel.ovl
    (cd tests/web && npm ci --no-audit --no-fund --silent)
    node --test tests/web/worklet_test.js tests/web/node_capture_test.js tests/web/page_test.js
    # The same tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
    build build-asan -DTIVREL_TESTS=ON -DTIVREL_SANITIZE=ON
    ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan --output-on-failure -j2
    # A whole capture run under LeakSanitizer: nothing may leak.
    capture=$(mktemp -d)
    ASAN_OPTIONS=detect_leaks=1 ./build-asan/tivrel --data build-asan/tivrel.ovl --capture "$capture/run" \
        --frames 0 >/dev/null
    rm -rf "$capture"
    echo "leaks: a whole capture run under LeakSanitizer leaks nothing"
    # Every fuzz target for a few seconds (clang, build-fuzz/).
    bash tools/fuzz.sh short
    ;;
build)
    install_missing "${BUILD_PACKAGES[@]}"
    build build -DTIVREL_TESTS=OFF
    ;;
web)
    shift
    port=8000 build_only=0
    while [ $# -gt 0 ]; do
        case "$1" in
        --port) port=${2:?--port takes a number}; shift 2 ;;
        --build-only) build_only=1; shift ;;
        *) echo "tivrel.sh web: unknown option $1 (--port N, --build-only)" >&2; exit 2 ;;
        esac
    done
    build_web
    [ "$build_only" -eq 1 ] && exit 0
    exec node tools/web/serve.js build-web "$port"
    ;;
install)
    install_missing "${BUILD_PACKAGES[@]}"
    build build -DTIVREL_TESTS=OFF
    cmake --install build --prefix "${2:-/usr/local}"
    ;;
*)
    install_missing "${BUILD_PACKAGES[@]}"
    build build -DTIVREL_TESTS=OFF
    exec ./build/tivrel --data build/tivrel.ovl "$@"
    ;;
esac
