#!/usr/bin/env bash
# Builds the client, brings up the local demo database "vorteks" on 127.0.0.1:5432 (another port:
# TABEL_DEMO_PORT=5440 bash scripts/run.sh) and starts the client against it. Extra arguments go
# to the client after the database and server.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh" --run
port=${TABEL_DEMO_PORT:-5432}
demo() { bash "$top/db/localdb.sh" --port "$port" "$@"; }
# A demo server already running listens where it was started: on another port it is started anew.
running_port=$(sed -n 4p "$top/.pgdata/data/postmaster.pid" 2>/dev/null || true)
if demo status >/dev/null 2>&1 && [ -n "$running_port" ] && [ "$running_port" != "$port" ]; then
  echo "run: the demo server runs on port $running_port; it is restarted on port $port"
  demo stop
fi
demo start
# The demo database is made anew (the old one kept) when the demo data have changed since it was
# made; otherwise it is kept and brought up to date by the program's upgrade of the schema.
demo_sum=$(sha256sum "$top/db/demo.sql" | cut -d' ' -f1)
stamp="$top/.pgdata/vorteks.demo.sha256"
if [ "$(cat "$stamp" 2>/dev/null)" != "$demo_sum" ]; then
  echo "run: the demo database is made (anew where the demo data have changed since it was made; the old one is kept)"
  demo load vorteks --demo --fresh --keep-old
else
  demo load vorteks --demo
fi
echo "$demo_sum" > "$stamp"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
exec "$top/build/app/tabel" vorteks "127.0.0.1:$port" "$@"
