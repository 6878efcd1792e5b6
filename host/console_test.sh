#!/bin/sh
# console_test.sh PROGRAM: the inspections' text in a Windows console shows as written whatever the
# console's code page. Under wine a console appears only on a terminal: the program runs in a pseudo-
# terminal (script), where wine's console shows its text in the terminal's UTF-8. Text handed to the
# console as UTF-16 reads "conexão" there; UTF-8 bytes written into the console's code page would read
# "conexÃ£o". Without a database or a client, /MARCAS says so on standard error.
set -eu
program=$1
shown=$(mktemp)
trap 'rm -f "$shown"' EXIT
status=0
LC_ALL=C.UTF-8 script -qec "wine '$program' /MARCAS" "$shown" </dev/null >/dev/null 2>&1 || status=$?
[ "$status" -eq 1 ] || { echo "status $status, 1 expected" >&2; cat -v "$shown" >&2; exit 1; }
# The console's cursor and erasing sequences and the line ends' CRs go before comparing.
if ! sed 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/\r//g' "$shown" |
  grep -qx 'Falha na conexão com o banco de dados do Olvessa'; then
  echo "the console did not show the line as written:" >&2
  cat -v "$shown" >&2
  exit 1
fi
