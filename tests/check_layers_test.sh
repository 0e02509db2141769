#!/usr/bin/env bash
# The layer check passes on this checkout and fails on a tree with one include
# planted upward (engine3d -> demo) or sideways (video -> audio).
set -u
source_dir=$1
check="$source_dir/tools/check_layers.sh"
bash "$check" "$source_dir" >/dev/null || { echo "the checkout itself fails the layer check"; exit 1; }
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/src/core" "$tree/src/engine3d" "$tree/src/demo" "$tree/src/video" "$tree/src/audio"
echo '#include "core/shared.h"' > "$tree/src/engine3d/fine.cpp"
bash "$check" "$tree" >/dev/null || { echo "a downward include was refused"; exit 1; }
for planted in "engine3d/planted.cpp:demo/demo.h" "video/planted.h:audio/audio.h"; do
    file=${planted%%:*}
    echo "#include \"${planted#*:}\"" > "$tree/src/$file"
    if out=$(bash "$check" "$tree" 2>&1); then
        echo "planted include in src/$file was not refused"
        exit 1
    fi
    grep -q "src/$file:1 includes" <<<"$out" || { echo "no line naming src/$file: $out"; exit 1; }
    rm "$tree/src/$file"
done
