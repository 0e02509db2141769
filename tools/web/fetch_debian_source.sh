#!/usr/bin/env bash
# Fetches and unpacks the Debian source package of an installed binary package, the
# version installed:  tools/web/fetch_debian_source.sh BINARY_PACKAGE DEST_DIR
# leaves DEST_DIR/tree (the unpacked source, Debian's patches applied). The source list
# is a private one in DEST_DIR/apt with the same URIs, suites and keys as the system's
# list (/etc/apt/sources.list.d/debian.sources) as source indexes; the system's apt
# sources are never changed. apt checks the files against the signed index.
# When the installed version's source is not on the mirror (a security update whose
# source pool is out of reach), the suite's own version is taken and named on stderr.
# Nothing is fetched again once DEST_DIR/tree exists.
set -euo pipefail
package=${1:?usage: fetch_debian_source.sh BINARY_PACKAGE DEST_DIR}
dest=$(realpath -m "${2:?usage: fetch_debian_source.sh BINARY_PACKAGE DEST_DIR}")
[ -d "$dest/tree" ] && exit 0
source=$(dpkg-query -W -f='${source:Package}' "$package")
version=$(dpkg-query -W -f='${source:Version}' "$package")
apt_dir=$dest/apt
mkdir -p "$apt_dir/sources" "$apt_dir/lists/partial"
sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$apt_dir/sources/debian-src.sources"
apt_options=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt_dir/sources"
             -o "Dir::State::Lists=$apt_dir/lists" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
if ! ls "$dest"/*.dsc >/dev/null 2>&1; then
    apt-get "${apt_options[@]}" update >/dev/null
    fetch() { (cd "$dest" && apt-get "${apt_options[@]}" source --download-only "$1" >/dev/null 2>&1); }
    if ! fetch "$source=$version"; then
        rm -f "$dest"/*.dsc "$dest"/*.tar.* "$dest"/*.diff.*
        fetch "$source/bookworm" || { echo "fetch_debian_source.sh: cannot fetch the source of $source" >&2; exit 1; }
        echo "fetch_debian_source.sh: $source $version is not on the mirror; took $(basename "$dest"/*.dsc .dsc)" >&2
    fi
fi
rm -rf "$dest/tree.tmp"
dpkg-source --no-check -x "$dest"/*.dsc "$dest/tree.tmp" >/dev/null
mv "$dest/tree.tmp" "$dest/tree"
echo "$(basename "$dest"/*.dsc .dsc) unpacked in $dest/tree" >&2
