#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, under AddressSanitizer and UndefinedBehaviorSanitizer (in
# build-fuzz/), and runs them for a bounded time:
#   scripts/fuzz.sh <target> [seconds]     one target, e.g. scripts/fuzz.sh verdict_fuzz 600
#   scripts/fuzz.sh --all [seconds]        every target, one after another (CI: 60 seconds each)
# A target is a reader of outside input; its committed inputs are <subsystem>/corpus/<target>/ (seeds,
# and what earlier runs found), which a run replays first and then mutates, with the words of
# <subsystem>/corpus/<target>.dict where there is one. What a run adds stays in build-fuzz/.
#
# A crash, a leak, an input that takes longer than 10 seconds, a broken invariant of the target, or any
# report of undefined behaviour (UBSan halts on its first, but for the known ones inside libraries
# listed in scripts/fuzz-ubsan.supp) is a finding: the run fails, prints the input in base64, and
# copies it into the target's corpus directory as found-<hash>, where it becomes a regression case
# once the fault is fixed and the file committed (the normal suite replays every file there).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: scripts/fuzz.sh <target>|--all [seconds]"
what=${1:?$usage}
seconds=${2:-60}
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || { echo "$usage" >&2; exit 2; }

declare -A corpus
for dir in "$root"/*/corpus/*_fuzz; do
  [ -d "$dir" ] && corpus[$(basename "$dir")]=$dir
done
if [ "$what" = --all ]; then
  mapfile -t targets < <(printf '%s\n' "${!corpus[@]}" | sort)
elif [ -n "${corpus[$what]:-}" ]; then
  targets=("$what")
else
  echo "fuzz: no target $what (targets: ${!corpus[*]})" >&2
  exit 2
fi

"$root/scripts/install-deps.sh"
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARENTA_FUZZ=ON -DVARENTA_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

# UBSan's checks stay recoverable in the build, so that a suppressed report does not stop the run;
# halting here makes every other report a crash that libFuzzer saves.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/scripts/fuzz-ubsan.supp${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

failed=()
for target in "${targets[@]}"; do
  seeds=${corpus[$target]}
  program=$(find "$build" -name "$target" -type f -executable | head -n 1)
  work="$build/corpus-$target"
  findings="$build/findings-$target"
  rm -rf "$findings"
  mkdir -p "$work" "$findings"
  options=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$findings/")
  [ -f "$seeds.dict" ] && options+=(-dict="$seeds.dict")
  echo "== $target: $seconds s"
  if "$program" "${options[@]}" "$work" "$seeds"; then
    echo "== $target: no finding"
    continue
  fi
  failed+=("$target")
  for input in "$findings"/*; do
    [ -f "$input" ] || continue
    name=$(basename "$input")
    [[ "$name" == slow-unit-* ]] && continue
    cp "$input" "$seeds/found-${name#*-}"
    echo "== $target: finding $name, copied to ${seeds#"$root"/}/found-${name#*-}; its bytes in base64:"
    base64 "$input"
  done
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets, $seconds s each, no finding"
