#!/usr/bin/env bash
# Builds libopenmpt for WebAssembly once and keeps it:
#   tools/web/build_libopenmpt.sh OUT_DIR
# leaves OUT_DIR/libopenmpt/libopenmpt.a and OUT_DIR/libopenmpt/include/libopenmpt/*.h,
# from Debian's source package of the version the native build uses (libopenmpt-dev),
# fetched by fetch_debian_source.sh into OUT_DIR/sources. The tarball's configure
# knows no emscripten host: the library's sources are compiled directly (no zlib,
# mpg123 or vorbis), two at a time; a rerun compiles only what is missing. With
# WebAssembly exceptions: the library reports a module it cannot load by throwing.
set -euo pipefail
root=$(realpath -m "${1:?usage: build_libopenmpt.sh OUT_DIR}")
out=$root/libopenmpt
flags="-std=c++17 -O2 -fwasm-exceptions -DLIBOPENMPT_BUILD"
# Built with other flags: built again (an interrupted build with these flags goes on).
[ -f "$out/flags" ] && [ "$(cat "$out/flags")" = "$flags" ] && [ -f "$out/libopenmpt.a" ] && exit 0
if [ "$(cat "$out/flags.wanted" 2>/dev/null)" != "$flags" ]; then
    rm -rf "$out"
    mkdir -p "$out"
    echo "$flags" >"$out/flags.wanted"
fi
bash "$(dirname "$0")/fetch_debian_source.sh" libopenmpt-dev "$root/sources/libopenmpt-dev"
cd "$root/sources/libopenmpt-dev/tree"
export NODE_PATH=/usr/share/nodejs
objects=$out/obj
mkdir -p "$objects"
echo "build_libopenmpt.sh: compiling libopenmpt for WebAssembly (about 5 minutes on 2 cores)" >&2
ls common/*.cpp soundlib/*.cpp soundlib/plugins/*.cpp soundlib/plugins/dmo/*.cpp sounddsp/*.cpp \
   libopenmpt/libopenmpt_c.cpp libopenmpt/libopenmpt_cxx.cpp libopenmpt/libopenmpt_impl.cpp \
   libopenmpt/libopenmpt_ext_impl.cpp |
    xargs -P 2 -I{} sh -c '
        o="$0/$(echo "{}" | tr / _).o"
        [ -f "$o" ] || { em++ $1 -I build/svn_version -I . -I src -I common \
                             -w -c "{}" -o "$o.tmp" && mv "$o.tmp" "$o"; }
    ' "$objects" "$flags"
rm -f "$out/libopenmpt.a.tmp"
emar rcs "$out/libopenmpt.a.tmp" "$objects"/*.o
mkdir -p "$out/include/libopenmpt"
cp libopenmpt/libopenmpt.h libopenmpt/libopenmpt_config.h libopenmpt/libopenmpt_version.h "$out/include/libopenmpt/"
mv "$out/libopenmpt.a.tmp" "$out/libopenmpt.a"
mv "$out/flags.wanted" "$out/flags"
echo "build_libopenmpt.sh: $out/libopenmpt.a" >&2
