#!/usr/bin/env bash
# A staged install (DESTDIR) puts every file where a desktop expects it, and the
# installed program, started from an unrelated folder, finds its data by its own
# location. Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" --prefix /opt/tivrel >/dev/null
root="$stage/opt/tivrel"
for f in bin/tivrel bin/ovltool share/tivrel/tivrel.ovl share/man/man6/tivrel.6 share/man/man1/ovltool.1 \
         share/applications/tivrel.desktop share/icons/hicolor/128x128/apps/tivrel.png; do
    [ -f "$root/$f" ] || { echo "missing after install: $f"; exit 1; }
done
grep -q '^Exec=tivrel$' "$root/share/applications/tivrel.desktop"
mkdir "$stage/elsewhere"
cd "$stage/elsewhere"
"$root/bin/tivrel" --capture run --until-scene 1 --frames 0 >"$stage/out.txt" 2>&1 || {
    cat "$stage/out.txt"; exit 1; }
[ -s run/frames/000000.png ] && [ "$(wc -l <run/timeline.csv)" -gt 100 ]
"$root/bin/ovltool" verify "$root/share/tivrel/tivrel.ovl" >/dev/null
echo "installed into DESTDIR: every file present; the installed program found its data from $PWD"
