#!/usr/bin/env bash
# Demo of the service's main job: a generated pharmacy (a week of sales over three registers, with
# cancellations, promotions and the cloud's resend requests) is brought in step with the local cloud
# stand-in by the real program, in fast motion, and what reached the cloud is summed up.
#
#   scripts/demo.sh            250 sales over the week
#   DEMO_SALES=1000 scripts/demo.sh
#
# Everything lands in build/demo: the program and its Tolvane.ini, its log Varenta.log and the
# stand-in's data and journal (cloud/). The store database is where the Firebird server's account may
# write whatever the clone's place (a home or mktemp -d directory is closed to it):
# /var/lib/srvvarenta-demo/<clone>/demo/TOLVANE.FDB (see scripts/store-dir.sh), build/demo/store
# leading there.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
sales=${DEMO_SALES:-250}
"$root/scripts/install-deps.sh"
"$root/scripts/firebird-up.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target prjSrvVarenta varenta-standin varenta-store >/dev/null
store_tool="$root/build/tests/e2e/varenta-store"

demo="$root/build/demo"
rm -rf "$demo" && mkdir -p "$demo/cloud"
store_dir=$("$root/scripts/store-dir.sh" "$root" demo)
ln -s "$store_dir" "$demo/store"
cp "$root/build/host/prjSrvVarenta" "$demo/"

"$root/build/tools/varenta-standin" --data "$demo/cloud" --journal "$demo/cloud/journal.jsonl" \
  --port-file "$demo/cloud/port" >/dev/null &
standin=$!
service=
cleanup() {
  [ -n "$service" ] && kill -KILL "$service" 2>/dev/null
  kill "$standin" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 1 100); do [ -s "$demo/cloud/port" ] && break; sleep 0.05; done
port=$(cat "$demo/cloud/port")

database="$store_dir/TOLVANE.FDB"
{
  echo "CREATE DATABASE '127.0.0.1/3050:$database' USER 'SYSDBA' PASSWORD 'quenbolix' DEFAULT CHARACTER SET WIN1252;"
  cat "$root/storedb/schema.sql"
  echo "COMMIT;"
} | isql-fb -q -bail >/dev/null
printf '[Tolvane]\r\nServidor=127.0.0.1\r\nCaminho=%s\r\n' "$database" >"$demo/Tolvane.ini"
store=(--database "$database" --sales "$sales")

echo "== The store ($database):"
"$store_tool" create "${store[@]}" --standin "http://127.0.0.1:$port" --data "$demo/cloud"
before=$("$store_tool" marks "${store[@]}")

echo "== Running $demo/prjSrvVarenta at 1/1000 of real time (VARENTA_TIME_SCALE=0.001): the first tick"
echo "   after 0.18 s instead of 3 minutes, then a task every 10 ms instead of 10 s; the probe asks the"
echo "   stand-in at 127.0.0.1:$port (VARENTA_PROBE_HOSTS). Waiting until the store is in step:"
VARENTA_TIME_SCALE=0.001 VARENTA_PROBE_HOSTS="127.0.0.1:$port" "$demo/prjSrvVarenta" >"$demo/stdout" 2>&1 &
service=$!
in_step=yes
"$store_tool" await "${store[@]}" --pid "$service" --timeout 300 || in_step=no

echo "== SIGUSR1 (pause), SIGUSR2 (continue), SIGTERM (stop): the stop waits for a running tick"
kill -USR1 "$service" && sleep 0.2 && kill -USR2 "$service" && sleep 0.2
kill -TERM "$service"
wait "$service" || true
service=

echo "== What happened"
"$store_tool" report "${store[@]}" --journal "$demo/cloud/journal.jsonl" --log "$demo/Varenta.log" \
  --before "$before" || in_step=no
echo "== The log, $demo/Varenta.log (Windows-1252 with CR LF, shown as UTF-8), first and last lines:"
iconv -f WINDOWS-1252 -t UTF-8 "$demo/Varenta.log" | tr -d '\r' | sed -n '1,12p'
echo "   ..."
iconv -f WINDOWS-1252 -t UTF-8 "$demo/Varenta.log" | tr -d '\r' | tail -n 8
echo "== The stand-in's journal of every request: $demo/cloud/journal.jsonl"
echo "== The store database: $database (on the local Firebird server, in a directory its account"
echo "   owns; $demo/store leads there)"
[ "$in_step" = yes ]
