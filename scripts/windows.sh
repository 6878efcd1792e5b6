#!/usr/bin/env bash
# The Windows build, cross-built on this Debian machine and tested under wine:
#   scripts/windows.sh
# installs what it needs (mingw-w64, wine, NSIS), configures build-windows/ with
# cmake/mingw-w64.cmake, builds it and runs its tests with ctest under wine, in the build's own wine
# prefix (build-windows/wine). The Windows tests that talk to the cloud stand-in start the one of the
# Linux build (build/), which is built here first.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-windows"
linux="$root/build"

packages=(g++-mingw-w64-x86-64 wine wine64 nsis googletest)
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
# The Linux pieces the Windows tests use (the stand-in program, the resolver preloaded into wine).
"$root/scripts/install-deps.sh"

# Wine's own diagnostics stay off; a new prefix is made once, and the wine server let settle, before
# anything runs in it.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:-$build/wine}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

cmake -S "$root" -B "$linux" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARENTA_WERROR=ON
cmake --build "$linux" -j "$(nproc)" --target varenta-standin varenta_silent_dns

cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVARENTA_WERROR=ON -DVARENTA_LINUX_STANDIN="$linux/tools/varenta-standin"
cmake --build "$build" -j "$(nproc)"
# Wine resolves names in its own Linux process: the silent resolver goes in there (see
# tests/support/silent_dns_preload.cpp).
LD_PRELOAD="$linux/tests/support/libvarenta_silent_dns.so" \
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
