#!/usr/bin/env bash
# Makes sure a Firebird server listens on 127.0.0.1:3050 with SYSDBA's password set to the store
# system's first password. Works on a fresh machine (no systemd) and on one where it already runs.
set -euo pipefail

PASSWORD=quenbolix
here=$(cd "$(dirname "$0")" && pwd)
"$here/install-deps.sh"

listening() { (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; }

start_server() {
  install -d -o firebird -g firebird -m 0770 /run/firebird3.0
  su -s /bin/sh firebird -c '/usr/sbin/fbguard -daemon -forever'
  for _ in $(seq 1 100); do listening && return 0; sleep 0.1; done
  echo "firebird-up: the server did not start listening on 3050" >&2
  return 1
}

stop_server() {
  pkill -x fbguard 2>/dev/null || true
  pkill -x firebird 2>/dev/null || true
  for _ in $(seq 1 100); do listening || return 0; sleep 0.1; done
}

# Tries the password over a remote attachment to a throw-away database. Answers 0 when it works,
# 1 when the server refuses the login, and stops the script on any other failure: the server is
# shared, and only a refused password is a reason to stop it.
password_works() {
  local dir db out rc=0
  dir=$(mktemp -d) && chmod 0777 "$dir"
  db="$dir/probe.fdb"
  out=$(printf "CREATE DATABASE '127.0.0.1/3050:%s' USER 'SYSDBA' PASSWORD '%s';\nDROP DATABASE;\n" "$db" "$PASSWORD" |
    isql-fb -q 2>&1) || rc=$?
  rm -rf "$dir"
  [ "$rc" -eq 0 ] && return 0
  case "$out" in
    *"SQLSTATE = 28000"*) return 1 ;;
  esac
  echo "firebird-up: the server fails for another reason than the password: $out" >&2
  exit 1
}

listening || start_server
if ! password_works; then
  # Unknown password: set it embedded while the server is down, then start again.
  stop_server
  dir=$(mktemp -d) && chmod 0777 "$dir"
  printf "CREATE DATABASE '%s/reset.fdb' USER 'SYSDBA';\nALTER USER SYSDBA PASSWORD '%s';\nDROP DATABASE;\n" "$dir" "$PASSWORD" |
    isql-fb -q
  rm -rf "$dir"
  start_server
  password_works || { echo "firebird-up: SYSDBA password could not be set" >&2; exit 1; }
fi
echo "firebird-up: server on 127.0.0.1:3050, SYSDBA ready"
