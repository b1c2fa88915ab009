#!/usr/bin/env bash
# Runs every benchmark against a throwaway PostgreSQL seeded with a large department.
# Each benchmark prints its own figures and a ratio against a baseline measured in the same run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"
pgdir="$top/build/pgbench"
port=${TABEL_BENCH_PORT:-55462}
db() { bash "$top/db/localdb.sh" --dir "$pgdir" --port "$port" --throwaway "$@"; }
db start
trap 'db stop' EXIT
db load tabel_template --template
# A seed that has changed since the large database was seeded is loaded anew.
seedsum=$(sha256sum "$top/bench/seed_large.sql" | cut -d' ' -f1)
if [ "$(cat "$pgdir/seed_large.sha256" 2>/dev/null)" != "$seedsum" ]; then
  PGPASSWORD=vultsab psql -X -q -h 127.0.0.1 -p "$port" -U sys -d postgres -c "drop database if exists tabel_large"
fi
if ! PGPASSWORD=vultsab psql -X -qtA -h 127.0.0.1 -p "$port" -U sys -d postgres \
     -c "select 1 from pg_database where datname='tabel_large'" | grep -q 1; then
  echo "seeding the large database (once)…"
  PGPASSWORD=vultsab psql -X -q -h 127.0.0.1 -p "$port" -U sys -d postgres -c "create database tabel_large template tabel_template"
  PGPASSWORD=vultsab psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U sys -d tabel_large -f "$top/bench/seed_large.sql"
  echo "$seedsum" > "$pgdir/seed_large.sha256"
fi
export TABEL_BENCH_PORT=$port TABEL_BENCH_DB=tabel_large TABEL_TEST_PORT=$port TABEL_TEST_TEMPLATE=tabel_template
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
for b in $(find "$top/build/bench" -maxdepth 2 -type f -executable -name 'bench_*' | sort); do
  echo "== $(basename "$b")"
  "$b"
done
