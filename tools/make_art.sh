#!/usr/bin/env bash
# Makes the committed pictures from a capture of the default data:
#   data/tivrel.png          the program's icon (128x128 RGBA): the star of scene 11
#   data/contact-sheet.png   the README's first picture: twelve frames, one per look
# Usage: tools/make_art.sh [BUILD_DIR]   (needs ImageMagick: apt-get install imagemagick)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
frames=480,1440,2400,3120,3840,5520,6480,7200,8160,9120,10560,11520
"$build/tivrel" --data "$build/tivrel.ovl" --capture "$work/run" --frames "$frames,6480" >/dev/null
f="$work/run/frames"
convert "$f/006480.png" -crop 120x120+100+35 +repage -filter Lanczos -resize 128x128 \
    -define png:color-type=6 data/tivrel.png
list=()
for n in ${frames//,/ }; do list+=("$f/$(printf %06d "$n").png"); done
montage "${list[@]}" -tile 4x3 -geometry 240x150+2+2 -background black -colors 256 PNG8:data/contact-sheet.png
echo "wrote data/tivrel.png and data/contact-sheet.png"
