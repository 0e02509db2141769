#!/usr/bin/env bash
# Include layering of src/: each folder may include its own headers and those of
# the folders listed for it, all of them lower; anything else (an include that runs
# upward or sideways) fails the check.
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
[ $status -eq 0 ] && echo "layers: every include in src/ runs downward"
exit $status
