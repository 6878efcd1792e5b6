#!/usr/bin/env bash
# Prints, after making it anew and empty, a directory where the local Firebird server may create a
# demo's store database: the server runs as its own account (firebird), which cannot enter a clone
# kept in root's home or in a mktemp -d directory (both 0700). The directory is
# /var/lib/srvvarenta-demo/<clone>/<name>, owned by that account, mode 0770; <clone> tells apart the
# clones of one machine (a hash of the clone's path), so that two of them never share a store.
#
#   scripts/store-dir.sh CLONE NAME      e.g. scripts/store-dir.sh "$root" demo
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: scripts/store-dir.sh CLONE NAME" >&2; exit 2; }
clone=$(printf '%s' "$1" | sha256sum | cut -c1-12)
dir=/var/lib/srvvarenta-demo/$clone/$2
install -d -m 0755 /var/lib/srvvarenta-demo "/var/lib/srvvarenta-demo/$clone"
rm -rf "$dir"
install -d -o firebird -g firebird -m 0770 "$dir"
echo "$dir"
