#!/usr/bin/env bash
# Demo of the service as far as it is built: the program prjSrvVarenta runs in a directory of its
# own, in fast motion, and its log is shown.
#
# What it shows today: the service's lifecycle (start, pause, continue, stop) and its sync cycle
# up to the database step. Each tick probes the internet, and while the store database step is
# not part of the build yet, every tick that finds the internet ends with
# "DB: desconectado -> IniConn"; no task runs and nothing is sent anywhere.
#
# The probe asks the compiled-in public hosts unless VARENTA_PROBE_HOSTS says otherwise
# ("host[:port],..."); on a machine without internet access the log shows the probe failing and
# the fifteen-minute pause (nine seconds in fast motion) instead.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target prjSrvVarenta >/dev/null

demo="$root/build/demo"
rm -rf "$demo" && mkdir -p "$demo"
cp "$root/build/service/prjSrvVarenta" "$demo/"

echo "== Running $demo/prjSrvVarenta at 1/100 of real time (VARENTA_TIME_SCALE=0.01):"
echo "   first tick after 1.8 s instead of 3 minutes, then a tick every 0.3 s instead of 30 s."
export VARENTA_TIME_SCALE=0.01
"$demo/prjSrvVarenta" &
pid=$!
sleep 4
echo "== SIGUSR1 (pause): the service reports itself paused; the cycle keeps ticking"
kill -USR1 "$pid"
sleep 1
echo "== SIGUSR2 (continue)"
kill -USR2 "$pid"
sleep 1
echo "== SIGTERM (stop): the stop waits for a running tick, then the process ends"
kill -TERM "$pid"
wait "$pid"

echo "== $demo/Varenta.log (Windows-1252 with CR LF, shown here as UTF-8):"
iconv -f WINDOWS-1252 -t UTF-8 "$demo/Varenta.log" | tr -d '\r'
