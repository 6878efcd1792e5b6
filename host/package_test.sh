#!/usr/bin/env bash
# The Debian package: made by cpack from a build directory, it holds the program in /opt/srvvarenta,
# a link to it on the PATH and the log's rotation rule, nothing else, depends on the libraries the
# program links, carries its maintainer scripts, and the program it installs runs from there and
# writes a unit that systemd accepts; the rotation rule rotates that program's log.
#   host/package_test.sh <build-dir> <cpack>
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
expected=$(printf '%s\n' ./etc/ ./etc/logrotate.d/ ./etc/logrotate.d/srvvarenta ./opt/ ./opt/srvvarenta/ \
  ./opt/srvvarenta/prjSrvVarenta ./usr/ ./usr/bin/ './usr/bin/prjSrvVarenta -> /opt/srvvarenta/prjSrvVarenta' |
  sort)
[ "$contents" = "$expected" ] || fail "contents:"$'\n'"$contents"
grep -q '^-rwxr-xr-x .* ./opt/srvvarenta/prjSrvVarenta$' <<<"$listing" || fail "the program is not executable"
grep -q '^-rw-r--r-- .* ./etc/logrotate.d/srvvarenta$' <<<"$listing" || fail "the rotation rule's mode"

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
# The rule is the store's to change: an upgrade asks before replacing a changed one.
[ "$(dpkg-deb -I "$deb" conffiles)" = /etc/logrotate.d/srvvarenta ] || fail "conffiles"

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

# The rotation rule, on the log of the program installed here and as this user (the machine need
# not have the service's account): it parses; while the program writes, renames lose no line;
# twelve weeks are kept, all but the newest compressed; a log is rotated once a week, and a missing
# or empty one not at all.
if command -v logrotate >/dev/null; then
  log="$work/root/opt/srvvarenta/Varenta.log"
  rule="$work/logrotate.conf"
  state="$work/logrotate.state"
  sed -e "s|^/opt/srvvarenta/Varenta.log |$log |" -e "s|^\(\s*\)su srvvarenta srvvarenta$|\1su $(id -un) $(id -gn)|" \
    "$work/root/etc/logrotate.d/srvvarenta" >"$rule"
  [ "$(grep -c "^$log {\|su $(id -un) $(id -gn)$" "$rule")" = 2 ] || fail "the rule's log and account:"$'\n'"$(cat "$rule")"
  rotate() { logrotate "$@" -s "$state" "$rule" || fail "logrotate $*"; }
  # Every line of the log and of its rotations, uncompressed, in no particular order.
  all_lines() { for f in "$log"*; do if [[ "$f" == *.gz ]]; then gzip -dc "$f"; else cat "$f"; fi; done; }

  runs=20  # each logs four lines, as the /INSTALL above did
  (for _ in $(seq "$runs"); do VARENTA_UNIT_DIR="$work/units" "$program" /INSTALL /SILENT || exit 1; done) &
  writer=$!
  for _ in 1 2 3 4 5; do
    rotate -f
    sleep 0.05
  done
  wait "$writer" || fail "the program failed while its log was rotated"
  [ "$(all_lines | grep -c $'\r$')" = $((4 * (runs + 1))) ] || fail "lines lost in a rotation:"$'\n'"$(all_lines)"
  [ "$(all_lines | grep -c "criado"$'\r$')" = $((runs + 1)) ] || fail "runs lost in a rotation"
  [ -f "$log.1" ] && gzip -t "$log".*.gz 2>/dev/null || fail "rotations:"$'\n'"$(ls "$log"*)"
  ! gzip -t "$log.1" 2>/dev/null || fail "the newest rotation is compressed"

  for week in $(seq 14); do
    printf 'semana %d\r\n' "$week" >>"$log"
    rotate -f
  done
  [ -f "$log.12.gz" ] && [ ! -e "$log.13.gz" ] || fail "not twelve rotations kept:"$'\n'"$(ls "$log"*)"

  printf 'linha\r\n' >"$log"
  rotate
  [ -f "$log" ] || fail "rotated again within the week"
  printf 'logrotate state -- version 2\n"%s" %s\n' "$log" "$(date -d '8 days ago' +%Y-%m-%d-%H:%M:%S)" >"$state"
  rotate
  [ ! -e "$log" ] && [ "$(cat "$log.1")" = $'linha\r' ] || fail "not rotated after a week"

  before=$(ls -l "$log".*)
  rotate -f
  : >"$log"
  rotate -f
  [ -f "$log" ] && [ "$(ls -l "$log".*)" = "$before" ] || fail "a missing or empty log was rotated"
else
  echo "note: logrotate is not installed; the rotation rule was not tried"
fi

if [ "$failures" -eq 0 ]; then
  echo "package: $(basename "$deb") holds what it should"
else
  exit 1
fi
