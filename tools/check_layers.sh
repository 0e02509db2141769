#!/usr/bin/env bash
# Include layering of src/ and tools/: each src/ folder may include its own headers
# and those of the folders listed for it, all of them lower; anything else (an include
# that runs upward or sideways) fails the check. Each tools/ folder may include the
# src/ libraries it links and the headers of the tool libraries it links (contentgen
# is gencontent/ but its main.cpp, ovltool_commands is ovltool/ but its main.cpp);
# another tool's code reached any other way (genmusic/ from ovltool, a .cpp file of
# another folder, gencontent/main.cpp) fails it too.
#   tools/check_layers.sh [ROOT]   ROOT: the tree to check (default: this checkout)
set -u
root=${1:-"$(cd "$(dirname "$0")/.." && pwd)"}
declare -A allowed=(
    [core]="core"
    [archive]="core archive"
    [effects]="core archive effects"
    [engine3d]="core archive engine3d"
    [clock]="core clock"
    [audio]="core clock audio"
    [video]="core video"
    [demo]="core archive effects engine3d clock audio video demo"
    [shell]="core archive effects engine3d clock audio video demo shell"
    [web]="core archive effects engine3d clock audio video demo shell web"
)
status=0
for dir in "$root"/src/*/; do
    folder=$(basename "$dir")
    if [ -z "${allowed[$folder]+x}" ]; then
        echo "layers: src/$folder has no place in the layer table (tools/check_layers.sh)" >&2
        status=1
        continue
    fi
    while IFS=: read -r file line text; do
        target=$(sed -E 's/.*#\s*include\s*"([^/"]+)\/.*/\1/' <<<"$text")
        case " ${allowed[$folder]} " in
        *" $target "*) ;;
        *)
            echo "layers: ${file#"$root"/}:$line includes $target/ (src/$folder may include: ${allowed[$folder]})" >&2
            status=1
            ;;
        esac
    done < <(grep -nE '^\s*#\s*include\s*"[^/"]+/' -r "$dir" --include='*.h' --include='*.cpp' || true)
done
# tools/: what each tool links, as folders or single headers (audio/module_info.h is
# the audio_inspect library).
declare -A tool_allowed=(
    [ovltool]="core archive effects engine3d audio/module_info.h gencontent ovltool"
    [gencontent]="core archive effects engine3d gencontent"
    [genmusic]="core genmusic"
)
for dir in "$root"/tools/*/; do
    [ -d "$dir" ] || continue
    folder=$(basename "$dir")
    if [ -z "${tool_allowed[$folder]+x}" ]; then
        if [ -n "$(find "$dir" \( -name '*.h' -o -name '*.cpp' \) -print -quit)" ]; then
            echo "layers: tools/$folder has no place in the tools table (tools/check_layers.sh)" >&2
            status=1
        fi
        continue
    fi
    while IFS=: read -r file line text; do
        header=$(sed -E 's/.*#\s*include\s*"([^"]+)".*/\1/' <<<"$text")
        target=${header%%/*}
        refused=""
        case " ${tool_allowed[$folder]} " in
        *" $target "* | *" $header "*) ;;
        *) refused="tools/$folder may include: ${tool_allowed[$folder]}" ;;
        esac
        if [ -z "$refused" ] && [ "$target" != "$folder" ] && [[ $header != *.h ]]; then
            refused="only headers of another folder"
        fi
        if [ -n "$refused" ]; then
            echo "layers: ${file#"$root"/}:$line includes $header ($refused)" >&2
            status=1
        fi
    done < <(grep -nE '^\s*#\s*include\s*"[^/"]+/' -r "$dir" --include='*.h' --include='*.cpp' || true)
done
[ $status -eq 0 ] && echo "layers: every include in src/ runs downward, every include in tools/ reaches a library it links"
exit $status
