#!/usr/bin/env bash
# Runs every benchmark against a throwaway PostgreSQL seeded with a large department.
# Each benchmark prints its own figures and a ratio against a baseline measured in the same run.
# With --plant: seeds a whole plant once (6,000 workers, 10 million journal entries over two
# years, the history of changes of their last four months, every month but the last two closed;
# a few minutes) and runs the month-end
# and history benchmarks, the month's summary and the load of many clients at once on it instead (--clients N: that
# many clients, 100 unless said; the server then takes twice as many sessions and some more:
# each client's own and, at most, a background one).
# The benchmarks change and delete data: they work only in the database seeded here, which the
# seed marks, and refuse any other.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
plant=
clients=${TABEL_LOAD_CLIENTS:-100}
while [ $# -gt 0 ]; do
  case "$1" in
    --plant) plant=1; shift ;;
    --clients) clients=${2:-}; shift 2 ;;
    *) echo "usage: bash bench/run.sh [--plant [--clients N]]" >&2; exit 2 ;;
  esac
done
[[ "$clients" =~ ^[1-9][0-9]{0,3}$ ]] || { echo "bench: --clients takes a number from 1 to 9999, not '$clients'" >&2; exit 2; }
export TABEL_LOAD_CLIENTS=$clients
bash "$top/scripts/setup.sh"
pgdir="$top/build/pgbench"
port=${TABEL_BENCH_PORT:-55462}
limits=()
[ -z "$plant" ] || limits=(--max-connections $((2 * clients + 20)))
db() { bash "$top/db/localdb.sh" --dir "$pgdir" --port "$port" --throwaway "${limits[@]}" "$@"; }
sql() { PGPASSWORD=tabel_test psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U tabel_test "$@"; }
# The cluster is the benchmarks' own: started afresh, so that it has the limits asked for here
# whatever an earlier run left it with.
db stop >/dev/null 2>&1 || true
db start
trap 'db stop' EXIT
# Whatever is dropped or seeded below belongs to this script's own cluster, not to another
# server that happens to listen on the port.
datadir=$(sql -tA -d postgres -c "show data_directory")
if [ "$datadir" != "$pgdir/data" ]; then
  echo "bench: the server on port $port is not the benchmarks' own (its data lie in $datadir); choose another TABEL_BENCH_PORT" >&2
  exit 1
fi
# The schema and a seed that have changed since their databases were made are loaded anew.
schema_sum=$(cat "$top"/db/migrations/*.sql | sha256sum | cut -d' ' -f1)
if [ "$(cat "$pgdir/schema.sha256" 2>/dev/null)" != "$schema_sum" ]; then
  db load tabel_template --template --fresh
  echo "$schema_sum" > "$pgdir/schema.sha256"
else
  db load tabel_template --template
fi
seed() {
  local name=$1 sum file
  shift
  sum=$(cat "$@" "$top"/db/migrations/*.sql | sha256sum | cut -d' ' -f1)
  if [ "$(cat "$pgdir/$name.sha256" 2>/dev/null)" != "$sum" ]; then
    sql -d postgres -c "drop database if exists $name"
  fi
  if ! sql -tA -d postgres -c "select 1 from pg_database where datname='$name'" | grep -q 1; then
    echo "seeding $name (once)…"
    local started=$SECONDS
    sql -d postgres -c "create database $name template tabel_template"
    for file in "$@"; do sql -d "$name" -f "$file"; done
    echo "$sum" > "$pgdir/$name.sha256"
    echo "seeded in $((SECONDS - started)) s"
  fi
}
if [ -n "$plant" ]; then
  seed tabel_plant "$top/bench/seed_plant.sql" "$top/bench/seed_plant_history.sql" "$top/bench/seed_plant_closed.sql"
  benchdb=tabel_plant
  programs=$(find "$top/build/bench" -maxdepth 2 -type f -executable \( -name 'bench_monthend' -o -name 'bench_month_end_batch' \
             -o -name 'bench_journal' -o -name 'bench_load' -o -name 'bench_history' -o -name 'bench_summary' \) | sort)
  # A streaming standby of the benchmarks' cluster, made afresh from it, for the batch to read.
  standbydir="$top/build/pgbench-standby"
  standby_port=$((port + 1))
  standby() { bash "$top/db/localdb.sh" --dir "$standbydir" --port "$standby_port" --throwaway "$@"; }
  standby stop 2>/dev/null || true
  rm -rf "$standbydir"
  echo "making the standby…"
  standby standby "$pgdir" "$port"
  trap 'standby stop; db stop' EXIT
  export TABEL_BENCH_STANDBY_PORT=$standby_port
else
  seed tabel_large "$top/bench/seed_large.sql"
  benchdb=tabel_large
  # The month-end and history benchmarks and the load need the plant and its standby: they run
  # with --plant.
  programs=$(find "$top/build/bench" -maxdepth 2 -type f -executable -name 'bench_*' ! -name 'bench_monthend' \
             ! -name 'bench_month_end_batch' ! -name 'bench_load' ! -name 'bench_history' | sort)
fi
export TABEL_BENCH_PORT=$port TABEL_BENCH_DB=$benchdb TABEL_TEST_PORT=$port TABEL_TEST_TEMPLATE=tabel_template
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# Every benchmark listed runs, whatever one of them does; those that failed are named at the end.
failed=()
for b in $programs; do
  echo "== $(basename "$b")"
  "$b" || failed+=("$(basename "$b")")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "bench: failed: ${failed[*]}" >&2
  exit 1
fi
