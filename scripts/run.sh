#!/usr/bin/env bash
# Builds the client, brings up the local demo database "vorteks" on 127.0.0.1:5432 and starts
# the client against it. Extra arguments go to the client after the database and server.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"
bash "$top/db/localdb.sh" start
# The demo database is made anew (the old one kept) when the demo data have changed since it was
# made; otherwise it is kept and brought up to date by the program's upgrade of the schema.
demo_sum=$(sha256sum "$top/db/demo.sql" | cut -d' ' -f1)
stamp="$top/.pgdata/vorteks.demo.sha256"
if [ "$(cat "$stamp" 2>/dev/null)" != "$demo_sum" ]; then
  echo "run: the demo database is made (anew where the demo data have changed since it was made; the old one is kept)"
  bash "$top/db/localdb.sh" load vorteks --demo --fresh --keep-old
else
  bash "$top/db/localdb.sh" load vorteks --demo
fi
echo "$demo_sum" > "$stamp"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
exec "$top/build/app/tabel" vorteks 127.0.0.1 "$@"
