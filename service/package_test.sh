#!/usr/bin/env bash
# The Debian package: made by cpack from a build directory, it holds the program in /opt/srvvarenta
# and a link to it on the PATH, nothing else, depends on the libraries the program links, carries
# its maintainer scripts, and the program it installs runs from there and writes a unit that
# systemd accepts.
#   service/package_test.sh <build-dir> <cpack>
set -euo pipefail
build=${1:?usage: package_test.sh <build-dir> <cpack>}
cpack=${2:-cpack}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

(cd "$build" && "$cpack" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  fail "cpack"
  exit 1
}
deb=$(ls "$work"/out/srvvarenta_*.deb)

# Contents: the program and the link, with their directories, and nothing more.
listing=$(dpkg-deb -c "$deb")
contents=$(awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' <<<"$listing" | sort)
expected=$(printf '%s\n' ./opt/ ./opt/srvvarenta/ ./opt/srvvarenta/prjSrvVarenta ./usr/ ./usr/bin/ \
  './usr/bin/prjSrvVarenta -> /opt/srvvarenta/prjSrvVarenta' | sort)
[ "$contents" = "$expected" ] || fail "contents:"$'\n'"$contents"
grep -q '^-rwxr-xr-x .* ./opt/srvvarenta/prjSrvVarenta$' <<<"$listing" || fail "the program is not executable"

# Control: name, the runtime libraries, the maintainer scripts.
info=$(dpkg-deb -I "$deb")
[ "$(dpkg-deb -f "$deb" Package)" = srvvarenta ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libfbclient2 libcurl4 libsystemd0 adduser; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
for script in postinst prerm postrm; do
  grep -Eq "^ +[0-9]+ bytes, +[0-9]+ lines +\* +$script " <<<"$info" || fail "no executable $script"$'\n'"$info"
done

# The installed program, run through a link as /usr/bin/prjSrvVarenta would be, finds its own
# directory: the log goes there, and the unit it writes starts it from there.
dpkg-deb -x "$deb" "$work/root"
program="$work/root/opt/srvvarenta/prjSrvVarenta"
mkdir "$work/bin" "$work/units"
ln -s "$program" "$work/bin/prjSrvVarenta"
VARENTA_UNIT_DIR="$work/units" "$work/bin/prjSrvVarenta" /INSTALL /SILENT || fail "/INSTALL"
[ -f "$work/root/opt/srvvarenta/Varenta.log" ] || fail "no Varenta.log beside the program"
[ ! -e "$work/bin/Varenta.log" ] || fail "Varenta.log beside the link"
unit="$work/units/SrvVarenta.service"
grep -qxF "ExecStart=\"$program\"" "$unit" || fail "ExecStart:"$'\n'"$(cat "$unit")"
if command -v systemd-analyze >/dev/null; then
  said=$(systemd-analyze verify "$unit" 2>&1) || fail "systemd-analyze verify: $said"
  [ -z "$said" ] || fail "systemd-analyze verify warns: $said"
else
  echo "note: systemd-analyze is not installed; the unit was not verified"
fi

if [ "$failures" -eq 0 ]; then
  echo "package: $(basename "$deb") holds what it should"
else
  exit 1
fi
