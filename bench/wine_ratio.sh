#!/usr/bin/env bash
# One sale's export by the Windows program under wine against the Linux program's, on the same store:
# build/bench/sale_export_timing and build-windows/bench/sale_export_timing.exe (one source,
# bench/sale_export_timing.cpp) are run in turns against one generated store (the demo's,
# scripts/demo-store.sh) on the local Firebird server and one cloud stand-in. Each run exports the
# same waiting sales with the real sale export, one after another, and puts the sale mark back. It
# prints every run's time a sale, the mean of each platform's runs and their ratio, wine's own cost
# (and the wine bridge to the Linux Firebird client) included; and the same split into the post to
# the cloud (libcurl against wine's WinHTTP) and the rest (the database, the document, the log).
# A measurement, not a test.
#
#   bench/wine_ratio.sh              3 rounds of 200 sales each way
#   bench/wine_ratio.sh 5 500        5 rounds of 500 sales
#
# Needs the Windows build (scripts/windows.sh makes build-windows/); the Windows program runs in the
# wine prefix WINEPREFIX names, else build-windows/wine. Files in build-windows/wine-ratio; the store
# in /var/lib/srvvarenta-demo/<clone>/wine-ratio (scripts/store-dir.sh).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-3}
sales=${2:-200}
[ -f "$root/build-windows/CMakeCache.txt" ] ||
  { echo "wine_ratio: no Windows build in build-windows (scripts/windows.sh makes it)" >&2; exit 1; }
"$root/scripts/firebird-up.sh" >/dev/null
cmake --build "$root/build" -j "$(nproc)" \
  --target varenta-standin varenta-store varenta_wine_fbclient sale_export_timing >/dev/null
cmake --build "$root/build-windows" -j "$(nproc)" --target sale_export_timing >/dev/null

standin=
trap '[ -n "$standin" ] && kill "$standin" 2>/dev/null; true' EXIT
source "$root/scripts/demo-store.sh"
dir="$root/build-windows/wine-ratio"
demo_store "$dir" wine-ratio "$sales" >/dev/null
mkdir -p "$dir/linux" "$dir/windows"
cp "$dir/Tolvane.ini" "$root/build/bench/sale_export_timing" "$dir/linux/"
cp "$dir/Tolvane.ini" "$root/build-windows/bench/sale_export_timing.exe" "$dir/windows/"
cp "$root/build/tests/wine_fbclient/fbclient.dll.so" "$dir/windows/fbclient.dll"

echo "One sale's export, $sales sales a run, on the same store (Linux, then Windows under wine, $rounds times):"
run_linux() { "$dir/linux/sale_export_timing" "$sales"; }
run_windows() {
  WINEDEBUG=-all "$root/scripts/wine-run" "$root/build-windows/wine" "$dir/windows/sale_export_timing.exe" \
    "$sales" </dev/null | tr -d '\r'
}
# A first run of each, not counted, warms the server's cache and the wine prefix.
run_linux >/dev/null
run_windows >/dev/null
results=()
for round in $(seq 1 "$rounds"); do
  linux=$(run_linux)
  windows=$(run_windows)
  results+=("$linux" "$windows")
  echo "  round $round: Linux   $linux"
  echo "           Windows $windows"
done
printf '%s\n' "${results[@]}" | awk -v rounds="$rounds" '
  { for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] } }
  NR % 2 == 1 { lm += v["mean_ms"]; lmed += v["median_ms"]; lp += v["post_ms"] }
  NR % 2 == 0 { wm += v["mean_ms"]; wmed += v["median_ms"]; wp += v["post_ms"] }
  END {
    printf "Mean of the runs, a sale: Linux %.2f ms (median %.2f, the post %.2f of it),", lm / rounds, lmed / rounds, lp / rounds
    printf " Windows under wine %.2f ms (median %.2f, the post %.2f of it)\n", wm / rounds, wmed / rounds, wp / rounds
    printf "Windows under wine / Linux: %.2f a sale (medians %.2f); without the post %.2f, the post alone %.2f\n",
      wm / lm, wmed / lmed, (wm - wp) / (lm - lp), wp / lp
  }'
