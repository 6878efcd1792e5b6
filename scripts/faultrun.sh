#!/usr/bin/env bash
# Seeded end-to-end fault runs, one after another: for each seed the real program brings a generated
# store in step while database-link cuts, kills with a restart and phases of a failing cloud strike
# at moments drawn from the seed (tests/e2e/fault_run_e2e_test.cpp). Prints each seed's outcome and
# which seeds failed, with their first failure; exits 1 when any did.
#
#   scripts/faultrun.sh              20 seeds from a first one drawn from the clock
#   scripts/faultrun.sh 200          200 seeds
#   scripts/faultrun.sh 50 7000      50 seeds from 7000 on (the same seeds give the same faults at the
#                                    same moments; the program's pace, and so the run, may differ)
#   VARENTA_FAULT_ANSWERS=500,broken,list401 scripts/faultrun.sh 50
#                                    the cloud fails only in those ways (500, broken, 404, 405, 301, 413,
#                                    list401, listpage; all of them by default)
#
# A seed's output goes to build/faultrun/seed-<n>.txt; a failed seed's log, standard error and
# stand-in journal to build/faultrun/seed-<n>/. Run one again:
#   VARENTA_FAULT_SEED=<n> build/tests/e2e/e2e_fault_run_test --gtest_filter=FaultRun.*
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-20}
first=${2:-$((($(date +%s) % 100000) * 1000 + 1))}
"$root/scripts/install-deps.sh"
"$root/scripts/firebird-up.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target e2e_fault_run_test >/dev/null
test_program="$root/build/tests/e2e/e2e_fault_run_test"
out="$root/build/faultrun"
rm -rf "$out" && mkdir -p "$out"

echo "== $count fault runs, seeds $first to $((first + count - 1)); files in $out"
failed=()
for seed in $(seq "$first" $((first + count - 1))); do
  started=$(date +%s.%N)
  status=0
  VARENTA_FAULT_SEED=$seed VARENTA_FAULT_KEEP="$out" "$test_program" --gtest_filter='FaultRun.*' \
    >"$out/seed-$seed.txt" 2>&1 || status=$?
  took=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
  again=$(grep -o 'documents the cloud took more than once: .*' "$out/seed-$seed.txt" | head -n 1 || true)
  if [ "$status" -eq 0 ]; then
    echo "seed $seed: ok in $took s; ${again:-(no note)}"
  else
    failed+=("$seed")
    echo "seed $seed: FAILED in $took s; ${again:-(no note)}"
    # The first three failures' messages, without GoogleTest's "Value of", "Actual", "Expected".
    awk '/: Failure$/ { if (++failures > 3) exit; n = 0; next }
         failures && !/^(Value of|  Actual|Expected|Which is|Failed$|$)/ && n++ < 3 { print "    " $0 }' \
      "$out/seed-$seed.txt" | cut -c1-240
  fi
done
echo "== $count seeds, ${#failed[@]} failed${failed:+: ${failed[*]}}"
[ "${#failed[@]}" -eq 0 ]
