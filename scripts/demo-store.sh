# Sourced by the scripts that run a program on the demo's generated store against the cloud stand-in
# (scripts/demo.sh, scripts/soak.sh, bench/wine_ratio.sh); they set root (the repository's root) and have built
# build/tools/varenta-standin and build/tests/e2e/varenta-store.
#
#   demo_store DIR NAME SALES
#
# makes DIR afresh and starts the stand-in with its data and journal in DIR/cloud (sets standin, its
# pid, and port); creates the store database in the directory scripts/store-dir.sh gives NAME (sets
# database; DIR/store leads there) from storedb/schema.sql, writes DIR/Tolvane.ini naming it, and
# fills it with SALES generated sales and the stand-in's files with the cloud's side of the same
# store, printing the store tool's summary. The caller stops the stand-in.

store_tool="$root/build/tests/e2e/varenta-store"

demo_store() {
  local dir=$1 name=$2 sales=$3 store_dir
  rm -rf "$dir" && mkdir -p "$dir/cloud"
  store_dir=$("$root/scripts/store-dir.sh" "$root" "$name")
  ln -s "$store_dir" "$dir/store"
  "$root/build/tools/varenta-standin" --data "$dir/cloud" --journal "$dir/cloud/journal.jsonl" \
    --port-file "$dir/cloud/port" >/dev/null &
  standin=$!
  for _ in $(seq 1 100); do [ -s "$dir/cloud/port" ] && break; sleep 0.05; done
  port=$(cat "$dir/cloud/port")
  database="$store_dir/TOLVANE.FDB"
  {
    echo "CREATE DATABASE '127.0.0.1/3050:$database' USER 'SYSDBA' PASSWORD 'quenbolix' DEFAULT CHARACTER SET WIN1252;"
    cat "$root/storedb/schema.sql"
    echo "COMMIT;"
  } | isql-fb -q -bail >/dev/null
  printf '[Tolvane]\r\nServidor=127.0.0.1\r\nCaminho=%s\r\n' "$database" >"$dir/Tolvane.ini"
  "$store_tool" create --database "$database" --sales "$sales" --standin "http://127.0.0.1:$port" \
    --data "$dir/cloud"
}
