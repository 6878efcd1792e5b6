#!/usr/bin/env bash
# Demo of the service as far as it is built: the program prjSrvVarenta runs in a directory of its
# own, in fast motion, with a small store database on the local Firebird server and the local
# cloud stand-in, and its log is shown.
#
# What it shows today: the service's lifecycle (start, pause, continue, stop) and its sync cycle.
# The first tick probes the internet (here the stand-in on loopback: any answer counts, its 401
# included), connects to the store database named by Tolvane.ini and loads the integration
# settings and sync marks; every later tick picks the task that is due. The four tasks are not
# part of the build yet: they run as operations that do nothing, so nothing is posted to the
# cloud and no further lines appear while the link is up. Near the end the stand-in is stopped,
# so the probe fails and the cycle takes its pause.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/firebird-up.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target prjSrvVarenta varenta-standin >/dev/null

demo="$root/build/demo"
rm -rf "$demo" && mkdir -p "$demo/cloud" "$demo/store"
chmod 0777 "$demo/store"  # the Firebird server writes the database file as its own user
cp "$root/build/service/prjSrvVarenta" "$demo/"

"$root/build/tools/varenta-standin" --data "$demo/cloud" --journal "$demo/cloud/journal.jsonl" \
  --port-file "$demo/cloud/port" >/dev/null &
standin=$!
trap 'kill "$standin" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do [ -s "$demo/cloud/port" ] && break; sleep 0.05; done
port=$(cat "$demo/cloud/port")

database="$demo/store/TOLVANE.FDB"
{
  echo "CREATE DATABASE '127.0.0.1/3050:$database' USER 'SYSDBA' PASSWORD 'quenbolix' DEFAULT CHARACTER SET WIN1252;"
  cat "$root/storedb/schema.sql"
  echo "INSERT INTO padrao (codigo, cgc, varenta_usuario, varenta_senha, varenta_url1, varenta_idempresa,"
  echo "  varenta_idlocal, varenta_datainicio) VALUES (1, '12.345.678/0001-95', 'varenta', 'varenta',"
  echo "  'http://127.0.0.1:$port/', '12', '1', CURRENT_DATE);"
  echo "COMMIT;"
} | isql-fb -q -bail >/dev/null
printf '[Tolvane]\r\nServidor=127.0.0.1\r\nCaminho=%s\r\n' "$database" >"$demo/Tolvane.ini"

echo "== Running $demo/prjSrvVarenta at 1/100 of real time (VARENTA_TIME_SCALE=0.01):"
echo "   first tick after 1.8 s instead of 3 minutes, then a tick every 0.1 s to 0.3 s instead of 10 s to 30 s;"
echo "   the probe asks the stand-in at 127.0.0.1:$port (VARENTA_PROBE_HOSTS) instead of public hosts;"
echo "   the store database is $database (Tolvane.ini beside the program)."
VARENTA_TIME_SCALE=0.01 VARENTA_PROBE_HOSTS="127.0.0.1:$port" "$demo/prjSrvVarenta" >"$demo/stdout" 2>&1 &
pid=$!
sleep 3
echo "== SIGUSR1 (pause): the service reports itself paused; the cycle keeps ticking"
kill -USR1 "$pid"
sleep 1
echo "== SIGUSR2 (continue)"
kill -USR2 "$pid"
sleep 1
echo "== The stand-in stops: the next probe fails and the cycle rests (15 minutes, here 9 s)"
kill "$standin"
wait "$standin" || true
sleep 1
echo "== SIGTERM (stop): the stop waits for a running tick, releases the database, and the process ends"
kill -TERM "$pid"
wait "$pid"

echo "== The stand-in received $(grep -c '"method":"HEAD"' "$demo/cloud/journal.jsonl") probe requests (HEAD /)."
echo "== $demo/Varenta.log (Windows-1252 with CR LF, shown here as UTF-8):"
iconv -f WINDOWS-1252 -t UTF-8 "$demo/Varenta.log" | tr -d '\r'
