#!/usr/bin/env bash
# Demo of the service's main job: a generated pharmacy (a week of sales over three registers, with
# cancellations, promotions and the cloud's resend requests) is brought in step with the local cloud
# stand-in by the real program, in fast motion, and what reached the cloud is summed up.
#
#   scripts/demo.sh            250 sales over the week, by the Linux program
#   DEMO_SALES=1000 scripts/demo.sh
#   scripts/demo.sh --windows  the same job by the Windows program under wine (scripts/windows.sh
#                              runs it after its tests, with --brief: a shorter excerpt of the log)
#
# Everything lands in build/demo (build-windows/demo with --windows): the program and its
# Tolvane.ini, its log Varenta.log and the stand-in's data and journal (cloud/). The store database is
# where the Firebird server's account may write whatever the clone's place (a home or mktemp -d
# directory is closed to it): /var/lib/srvvarenta-demo/<clone>/demo/TOLVANE.FDB (demo-windows with
# --windows; see scripts/store-dir.sh), <demo>/store leading there.
#
# The Windows program is build-windows/host/prjSrvVarenta.exe, which scripts/windows.sh builds. It
# runs in the wine prefix WINEPREFIX names, else build-windows/wine (made when missing), with the wine
# bridge to the Linux Firebird client beside it as fbclient.dll (tests/wine_fbclient/), and /CONSOLE;
# it is stopped with a console Ctrl+C: wine turns a SIGINT to its process into one.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
sales=${DEMO_SALES:-250}
windows=no
log_head=12
log_tail=8
for option in "$@"; do
  case $option in
    --windows) windows=yes ;;
    --brief) log_head=4 log_tail=4 ;;
    *) echo "usage: scripts/demo.sh [--windows] [--brief]" >&2; exit 2 ;;
  esac
done
"$root/scripts/install-deps.sh"
"$root/scripts/firebird-up.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if [ "$windows" = yes ]; then
  [ -f "$root/build-windows/CMakeCache.txt" ] ||
    { echo "demo: no Windows build in build-windows (scripts/windows.sh makes it)" >&2; exit 1; }
  cmake --build "$root/build" -j "$(nproc)" --target varenta-standin varenta-store varenta_wine_fbclient >/dev/null
  cmake --build "$root/build-windows" -j "$(nproc)" --target prjSrvVarenta >/dev/null
  demo="$root/build-windows/demo"
  store_name=demo-windows
else
  cmake --build "$root/build" -j "$(nproc)" --target prjSrvVarenta varenta-standin varenta-store >/dev/null
  demo="$root/build/demo"
  store_name=demo
fi

standin=
service=
cleanup() {
  [ -n "$service" ] && kill -KILL "$service" 2>/dev/null
  [ -n "$standin" ] && kill "$standin" 2>/dev/null
  true
}
trap cleanup EXIT
source "$root/scripts/demo-store.sh"
echo "== The store:"
demo_store "$demo" "$store_name" "$sales"
store=(--database "$database" --sales "$sales")
before=$("$store_tool" marks "${store[@]}")

if [ "$windows" = yes ]; then
  cp "$root/build-windows/host/prjSrvVarenta.exe" "$demo/"
  cp "$root/build/tests/wine_fbclient/fbclient.dll.so" "$demo/fbclient.dll"
  program=("$root/scripts/wine-run" "$root/build-windows/wine" "$demo/prjSrvVarenta.exe" /CONSOLE)
  echo "== Running $demo/prjSrvVarenta.exe /CONSOLE under wine (prefix ${WINEPREFIX:-$root/build-windows/wine}),"
  echo "   the Firebird client being the wine bridge to the Linux one (fbclient.dll beside it),"
else
  cp "$root/build/host/prjSrvVarenta" "$demo/"
  program=("$demo/prjSrvVarenta")
  echo "== Running $demo/prjSrvVarenta"
fi
echo "   at 1/1000 of real time (VARENTA_TIME_SCALE=0.001): the first tick after 0.18 s instead of 3"
echo "   minutes, then a task every 10 ms instead of 10 s; the probe asks the stand-in at"
echo "   127.0.0.1:$port (VARENTA_PROBE_HOSTS). Waiting until the store is in step:"
VARENTA_TIME_SCALE=0.001 VARENTA_PROBE_HOSTS="127.0.0.1:$port" "${program[@]}" >"$demo/stdout" 2>&1 &
service=$!
in_step=yes
"$store_tool" await "${store[@]}" --pid "$service" --timeout 300 || in_step=no

if [ "$windows" = yes ]; then
  echo "== Ctrl+C (a console's stop): the stop waits for a running tick"
  kill -INT "$service"
  for _ in $(seq 1 300); do kill -0 "$service" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$service" 2>/dev/null && echo "   still running 30 s after Ctrl+C: killed" && kill -KILL "$service"
  status=0
  wait "$service" || status=$?
  [ "$status" -eq 0 ] || { echo "   the program ended with status $status"; in_step=no; }
else
  echo "== SIGUSR1 (pause), SIGUSR2 (continue), SIGTERM (stop): the stop waits for a running tick"
  kill -USR1 "$service" && sleep 0.2 && kill -USR2 "$service" && sleep 0.2
  kill -TERM "$service"
  wait "$service" || true
fi
service=

echo "== What happened"
"$store_tool" report "${store[@]}" --journal "$demo/cloud/journal.jsonl" --log "$demo/Varenta.log" \
  --before "$before" || in_step=no
echo "== The log, $demo/Varenta.log (Windows-1252 with CR LF, shown as UTF-8), first and last lines:"
iconv -f WINDOWS-1252 -t UTF-8 "$demo/Varenta.log" | tr -d '\r' | sed -n "1,${log_head}p"
echo "   ..."
iconv -f WINDOWS-1252 -t UTF-8 "$demo/Varenta.log" | tr -d '\r' | tail -n "$log_tail"
echo "== The stand-in's journal of every request: $demo/cloud/journal.jsonl"
echo "== The store database: $database (on the local Firebird server, in a directory its account"
echo "   owns; $demo/store leads there)"
[ "$in_step" = yes ]
