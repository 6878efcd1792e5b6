#!/usr/bin/env bash
# Memory and soak: the real program, at 1/1000 of real time against the cloud stand-in, first busy
# (a generated store of many sales to send, one per tick) and then idle (nothing left to send) for
# 10,000 ticks in all. It reports the resident memory at the start, along the way and at the end,
# and then lets valgrind's leak checker watch a shorter busy and idle run of the same program.
#
#   scripts/soak.sh            10,000 ticks, half of them busy
#   scripts/soak.sh 2000       a shorter soak
#   SOAK_SALES=8000 scripts/soak.sh
#
# Not a test: it asserts nothing and takes several minutes. Files stay in build/soak and
# build/soak-leaks; their store databases in /var/lib/srvvarenta-demo/<clone>/ (scripts/store-dir.sh),
# where the Firebird server's account may write, each directory's store/ leading there.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
ticks=${1:-10000}
sales=${SOAK_SALES:-$((ticks / 2))}
"$root/scripts/install-deps.sh"
"$root/scripts/firebird-up.sh"
command -v valgrind >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq valgrind >/dev/null
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target prjSrvVarenta varenta-standin varenta-store >/dev/null
soak="$root/build/soak"

standin=
service=
cleanup() {
  [ -n "$service" ] && kill -KILL "$service" 2>/dev/null
  [ -n "$standin" ] && kill "$standin" 2>/dev/null
  true
}
trap cleanup EXIT

source "$root/scripts/demo-store.sh"
# A fresh store of `$2` sales in directory `$1`, its stand-in started; sets port and database.
prepare() {
  demo_store "$1" "$(basename "$1")" "$2" >/dev/null
  cp "$root/build/host/prjSrvVarenta" "$1/"
}

ticks_so_far() {
  if [ -f "$1/cloud/journal.jsonl" ]; then grep -c '"method":"HEAD"' "$1/cloud/journal.jsonl" || true; else echo 0; fi
}
mb() { awk -v kb="$1" 'BEGIN { printf "%.1f MB", kb / 1024 }'; }
# Resident memory in kB, all of it and the part that is the program's own (RssAnon: heap and
# stacks, without the pages of the shared libraries it maps).
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
anon_kb() { awk '/^RssAnon:/ { print $2 }' "/proc/$1/status"; }
memory() { echo "$(mb "$(rss_kb "$1")") resident, $(mb "$(anon_kb "$1")") of it the program's own"; }

stop_standin() {
  kill "$standin" && wait "$standin" || true
  standin=
}

echo "== Soak: $ticks ticks at 1/1000 of real time, the first ones busy with $sales sales"
prepare "$soak" "$sales"
VARENTA_TIME_SCALE=0.001 VARENTA_PROBE_HOSTS="127.0.0.1:$port" "$soak/prjSrvVarenta" >"$soak/stdout" 2>&1 &
service=$!
until [ "$(ticks_so_far "$soak")" -ge 20 ]; do sleep 0.1; done
start_memory=$(memory "$service")
echo "   after the first 20 ticks: $start_memory"
"$store_tool" await --database "$database" --sales "$sales" --pid "$service" --timeout 7200 >/dev/null
busy_memory=$(memory "$service")
busy_ticks=$(ticks_so_far "$soak")
echo "   busy part done (all $sales sales, their cancellations and closings sent) after $busy_ticks ticks: $busy_memory"
next=$(((busy_ticks / 1000 + 1) * 1000))
while :; do
  now=$(ticks_so_far "$soak")
  if [ "$now" -ge "$next" ]; then
    echo "   idle, $now ticks: $(memory "$service")"
    next=$((next + 1000))
  fi
  [ "$now" -ge "$ticks" ] && break
  sleep 0.2
done
end_memory=$(memory "$service")
hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$service/status")
kill -TERM "$service"
status=0
wait "$service" || status=$?
service=
stop_standin
"$store_tool" report --database "$database" --sales "$sales" --journal "$soak/cloud/journal.jsonl" \
  --log "$soak/Varenta.log" | tail -n 3 || true
echo "   at the start: $start_memory"
echo "   after the busy part: $busy_memory"
echo "   at the end: $end_memory (peak $(mb "$hwm")); the program ended with status $status"

leak="$root/build/soak-leaks"
leak_sales=${SOAK_LEAK_SALES:-150}
echo "== Leak check: valgrind --leak-check=full over $leak_sales sales and some idle ticks (at 1/100 of real time)"
prepare "$leak" "$leak_sales"
VARENTA_TIME_SCALE=0.01 VARENTA_PROBE_HOSTS="127.0.0.1:$port" valgrind --leak-check=full \
  --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect --error-exitcode=99 \
  --log-file="$leak/valgrind.txt" "$leak/prjSrvVarenta" >"$leak/stdout" 2>&1 &
service=$!
"$store_tool" await --database "$database" --sales "$leak_sales" --pid "$service" --timeout 3600 >/dev/null
idle_until=$(($(ticks_so_far "$leak") + 100))
until [ "$(ticks_so_far "$leak")" -ge "$idle_until" ]; do sleep 0.2; done
kill -TERM "$service"
status=0
wait "$service" || status=$?
service=
stop_standin
grep -E "in use at exit|total heap usage|All heap blocks|definitely lost|indirectly lost|possibly lost|ERROR SUMMARY" "$leak/valgrind.txt" |
  sed 's/^==[0-9]*== /   /'
if [ "$status" -eq 0 ]; then
  echo "   verdict: no leak and no memory error ($(ticks_so_far "$leak") ticks; full report in $leak/valgrind.txt)"
else
  echo "   verdict: valgrind found errors (status $status); see $leak/valgrind.txt"
fi
