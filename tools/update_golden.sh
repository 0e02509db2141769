#!/bin/sh
# Rewrites tests/demo/golden_frames.txt from a fresh capture of the default data.
# Usage: tools/update_golden.sh [build dir]   (default: build)
# Run it only after an intended change of the content or of the drawing, and look
# at the captured frames before committing the new hashes.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
ninja -C "$build" tivrel content test_demo
TIVREL_UPDATE_GOLDEN=1 "$build/tests/test_demo" --gtest_filter='GoldenFrames.*'
echo "updated $here/tests/demo/golden_frames.txt"
