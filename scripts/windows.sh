#!/usr/bin/env bash
# The Windows build, cross-built on this Debian machine and tested under wine:
#   scripts/windows.sh
# installs what it needs (mingw-w64, wine, winegcc, NSIS, GoogleTest's sources), builds the Linux pieces
# the Windows tests use in build/ (the cloud stand-in, the resolver preloaded into wine, the wine bridge
# to the Firebird client, tests/wine_fbclient/, and the Linux program the Windows one is compared with), builds
# build-windows/ through cmake/mingw-w64.cmake (host/prjSrvVarenta.exe, the installer
# SrvVarenta-<version>-win64.exe and the test programs) and runs the Windows tests with ctest under
# wine, in a wine prefix made afresh for the run (build-windows/wine); then the demo's job by the
# Windows program in the same prefix (scripts/demo.sh --windows). It fails when a test fails or the
# demo does not end with the store in step.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-windows"
linux="$root/build"
jobs=$(nproc)

packages=(g++-mingw-w64-x86-64 wine wine64 wine64-tools nsis googletest)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "windows: missing packages (${missing[*]}) and not root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
"$root/scripts/install-deps.sh"
# The Windows database tests work against the same local server as the Linux ones.
"$root/scripts/firebird-up.sh"

cmake -S "$root" -B "$linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARENTA_WERROR=ON
cmake --build "$linux" -j "$jobs" --target varenta-standin varenta_silent_dns varenta_wine_fbclient prjSrvVarenta \
  varenta-store

cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVARENTA_WERROR=ON -DVARENTA_LINUX_STANDIN="$linux/tools/varenta-standin" \
  -DVARENTA_WINE_FBCLIENT="$linux/tests/wine_fbclient/fbclient.dll.so" \
  -DVARENTA_LINUX_SERVICE="$linux/host/prjSrvVarenta"
cmake --build "$build" -j "$jobs"

# A fresh prefix: the tests register the service and install into its Program Files, and nothing of an
# earlier run may be found there. It is made, and the wine server let settle, before anything runs in
# it. The server then stays up for the whole run (-p), which keeps a started service alive between
# one test program and the next; wine's own processes (the service manager among them) are started
# here, away from the output ctest reads, which would otherwise stay open until they end.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX="$build/wine"
wineserver -k 2>/dev/null || true  # a server left from an earlier run of this prefix
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
wineserver -w
trap 'wineserver -k 2>/dev/null || true' EXIT
wineserver -p
wine cmd /c exit </dev/null >/dev/null 2>&1

# Wine resolves names in its own Linux process: the silent resolver goes in there (see
# tests/support/silent_dns_preload.cpp).
status=0
LD_PRELOAD="$linux/tests/support/libvarenta_silent_dns.so" \
  ctest --test-dir "$build" --output-on-failure -j "$jobs" || status=1

# The demo's job done by the Windows program, so that the log shows the Windows build at its work:
# its summary and a few lines of its log.
started=$SECONDS
"$root/scripts/demo.sh" --windows --brief || status=1
echo "windows: the demo under wine took $((SECONDS - started)) s"
exit "$status"
