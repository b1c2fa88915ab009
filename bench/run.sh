#!/usr/bin/env bash
# Runs every benchmark against a throwaway PostgreSQL seeded with a large department.
# Each benchmark prints its own figures and a ratio against a baseline measured in the same run.
# The benchmarks change and delete data: they work only in the database seeded here, which the
# seed marks, and refuse any other.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"
pgdir="$top/build/pgbench"
port=${TABEL_BENCH_PORT:-55462}
db() { bash "$top/db/localdb.sh" --dir "$pgdir" --port "$port" --throwaway "$@"; }
sql() { PGPASSWORD=vultsab psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U sys "$@"; }
db start
trap 'db stop' EXIT
# Whatever is dropped or seeded below belongs to this script's own cluster, not to another
# server that happens to listen on the port.
datadir=$(sql -tA -d postgres -c "show data_directory")
if [ "$datadir" != "$pgdir/data" ]; then
  echo "bench: the server on port $port is not the benchmarks' own (its data lie in $datadir); choose another TABEL_BENCH_PORT" >&2
  exit 1
fi
db load tabel_template --template
# A seed that has changed since the large database was seeded is loaded anew.
seedsum=$(sha256sum "$top/bench/seed_large.sql" | cut -d' ' -f1)
if [ "$(cat "$pgdir/seed_large.sha256" 2>/dev/null)" != "$seedsum" ]; then
  sql -d postgres -c "drop database if exists tabel_large"
fi
if ! sql -tA -d postgres -c "select 1 from pg_database where datname='tabel_large'" | grep -q 1; then
  echo "seeding the large database (once)…"
  started=$SECONDS
  sql -d postgres -c "create database tabel_large template tabel_template"
  sql -d tabel_large -f "$top/bench/seed_large.sql"
  echo "$seedsum" > "$pgdir/seed_large.sha256"
  echo "seeded in $((SECONDS - started)) s"
fi
export TABEL_BENCH_PORT=$port TABEL_BENCH_DB=tabel_large TABEL_TEST_PORT=$port TABEL_TEST_TEMPLATE=tabel_template
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
for b in $(find "$top/build/bench" -maxdepth 2 -type f -executable -name 'bench_*' | sort); do
  echo "== $(basename "$b")"
  "$b"
done
