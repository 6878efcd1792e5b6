#!/usr/bin/env bash
# Installs what the project needs, starts the local Firebird server, builds and runs every test.
#   scripts/test.sh             the normal build, in build/
#   scripts/test.sh --sanitize  the same suite under AddressSanitizer and UBSan, in build-asan/
#   scripts/test.sh --release   the same suite built as a Release, in build-release/
# Warnings are errors here (and in CI), not in a build of one's own.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARENTA_WERROR=ON)
case "${1:-}" in
  --sanitize)
    build="$root/build-asan"
    options=(-DCMAKE_BUILD_TYPE=Debug -DVARENTA_SANITIZE=ON -DVARENTA_BENCH=OFF -DVARENTA_WERROR=ON)
    ;;
  --release)
    build="$root/build-release"
    options=(-DCMAKE_BUILD_TYPE=Release -DVARENTA_WERROR=ON)
    ;;
  "") ;;
  *)
    echo "usage: scripts/test.sh [--sanitize|--release]" >&2
    exit 2
    ;;
esac

"$root/scripts/install-deps.sh"
"$root/scripts/firebird-up.sh"

cmake -S "$root" -B "$build" "${options[@]}"
cmake --build "$build" -j "$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
