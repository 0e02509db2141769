#!/usr/bin/env bash
# Only the platform folders may include SDL or libopenmpt, and only the page's own
# folder emscripten; everything else is portable code over plain buffers.
cd "$(dirname "$0")/.."
bad=$(grep -rlE '#\s*include\s*[<"](SDL|libopenmpt)' src tools tests bench 2>/dev/null |
      grep -vE '^src/(shell|video|audio)/' | grep -vE '^tests/(shell|video|audio|tools/genmusic)/' || true)
if [ -n "$bad" ]; then
    echo "platform includes outside src/shell, src/video, src/audio:" $bad >&2
    exit 1
fi
bad=$(grep -rlE '#\s*include\s*[<"]emscripten' src tools tests bench 2>/dev/null | grep -vE '^src/web/' || true)
if [ -n "$bad" ]; then
    echo "emscripten includes outside src/web:" $bad >&2
    exit 1
fi
echo "platform includes: SDL and libopenmpt only in src/shell, src/video, src/audio; emscripten only in src/web"
