#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build-fuzz/) and runs one of them.
#   scripts/fuzz.sh <target> [seconds]     e.g. scripts/fuzz.sh verdict_fuzz 60
# libFuzzer prints the number of executions it ran ("Done N runs"); a crash stops it with a report
# and saves the input that caused it (build-fuzz/crash-<hash>). So does undefined behaviour: UBSan halts on
# its first report, but for the known ones in libraries listed in scripts/fuzz-ubsan.supp.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: scripts/fuzz.sh <target> [seconds]}
seconds=${2:-60}
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARENTA_FUZZ=ON -DVARENTA_BENCH=OFF >/dev/null
cmake --build "$root/build-fuzz" -j "$(nproc)" --target "$target"
corpus="$root/build-fuzz/corpus-$target"
mkdir -p "$corpus"
# UBSan's checks stay recoverable in the build, so that a suppressed report does not stop the run;
# halting here makes every other report a crash that libFuzzer saves.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/scripts/fuzz-ubsan.supp${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
exec "$root/build-fuzz/$(cd "$root/build-fuzz" && find . -name "$target" -type f -executable | head -n 1)" \
  -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$root/build-fuzz/" "$corpus"
