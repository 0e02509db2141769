#!/usr/bin/env bash
# The layer check passes on this checkout and fails on a tree with one include
# planted upward (engine3d -> demo), sideways in src/ (video -> audio), into another
# tool's program (ovltool -> gencontent/main.cpp) or into a tool that is no library
# of the includer (genmusic -> gencontent).
set -u
source_dir=$1
check="$source_dir/tools/check_layers.sh"
bash "$check" "$source_dir" >/dev/null || { echo "the checkout itself fails the layer check"; exit 1; }
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/src/core" "$tree/src/engine3d" "$tree/src/demo" "$tree/src/video" "$tree/src/audio" \
    "$tree/tools/ovltool" "$tree/tools/gencontent" "$tree/tools/genmusic"
echo '#include "core/shared.h"' > "$tree/src/engine3d/fine.cpp"
printf '#include "gencontent/content.h"\n#include "audio/module_info.h"\n' > "$tree/tools/ovltool/fine.cpp"
bash "$check" "$tree" >/dev/null || { echo "a downward include or a tool library's header was refused"; exit 1; }
for planted in "src/engine3d/planted.cpp:demo/demo.h" "src/video/planted.h:audio/audio.h" \
    "tools/ovltool/planted.cpp:gencontent/main.cpp" "tools/genmusic/planted.h:gencontent/content.h" \
    "tools/ovltool/planted.h:audio/audio.h"; do
    file=${planted%%:*}
    echo "#include \"${planted#*:}\"" > "$tree/$file"
    if out=$(bash "$check" "$tree" 2>&1); then
        echo "planted include in $file was not refused"
        exit 1
    fi
    grep -q "$file:1 includes" <<<"$out" || { echo "no line naming $file: $out"; exit 1; }
    rm "$tree/$file"
done
