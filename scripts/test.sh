#!/usr/bin/env bash
# Builds everything, starts a throwaway PostgreSQL of its own on port 55432, a streaming standby
# of it on port 55433 and another cluster with its own standby on 55434 and 55435, runs the whole
# suite through ctest, builds and checks the Debian package (scripts/check_package.sh) and stops
# the servers. Exits non-zero on any failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"

pgdir="$top/build/pgtest"
port=${TABEL_TEST_PORT:-55432}
db() { bash "$top/db/localdb.sh" --dir "$pgdir" --port "$port" --throwaway "$@"; }
standbydir="$top/build/pgtest-standby"
standby_port=${TABEL_TEST_STANDBY_PORT:-55433}
standby() { bash "$top/db/localdb.sh" --dir "$standbydir" --port "$standby_port" --throwaway "$@"; }
# Another cluster with its own standby: a read server that replicates some other database.
foreigndir="$top/build/pgtest-foreign"
foreign_port=$((port + 2))
foreign() { bash "$top/db/localdb.sh" --dir "$foreigndir" --port "$foreign_port" --throwaway "$@"; }
foreignstandbydir="$top/build/pgtest-foreign-standby"
foreign_standby_port=$((port + 3))
foreign_standby() { bash "$top/db/localdb.sh" --dir "$foreignstandbydir" --port "$foreign_standby_port" --throwaway "$@"; }
stop_all() { foreign_standby stop; foreign stop; standby stop; db stop; }
stop_all 2>/dev/null || true
rm -rf "$pgdir" "$standbydir" "$foreigndir" "$foreignstandbydir"
db start
trap 'stop_all' EXIT
# Each test class copies this template into a database of its own.
db load tabel_template --template
# Reading from a standby is tried against a real one, kept by streaming replication.
standby standby "$pgdir" "$port"
foreign start
foreign load tabel_template --template
foreign_standby standby "$foreigndir" "$foreign_port"

export TABEL_TEST_PORT=$port TABEL_TEST_TEMPLATE=tabel_template TABEL_TEST_STANDBY_PORT=$standby_port
export TABEL_TEST_FOREIGN_PORT=$foreign_port TABEL_TEST_FOREIGN_STANDBY_PORT=$foreign_standby_port
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cd "$top/build"
ctest --output-on-failure -j2 --timeout 300
# Then the Debian package, looked at as an installer would. Its report goes to a file when it
# passes, so that ctest's summary stays the closing line.
bash "$top/scripts/check_package.sh" >"$top/build/check_package.log" 2>&1 || { cat "$top/build/check_package.log"; exit 1; }
