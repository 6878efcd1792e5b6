#!/usr/bin/env bash
# Installs what the project needs, starts the local Firebird server, builds and runs every test.
#   scripts/test.sh             the normal build, in build/
#   scripts/test.sh --sanitize  the same suite under AddressSanitizer and UBSan, in build-asan/
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
  build="$root/build-asan"
  options=(-DCMAKE_BUILD_TYPE=Debug -DVARENTA_SANITIZE=ON -DVARENTA_BENCH=OFF)
fi

"$root/scripts/install-deps.sh"
"$root/scripts/firebird-up.sh"

cmake -S "$root" -B "$build" "${options[@]}"
cmake --build "$build" -j "$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
