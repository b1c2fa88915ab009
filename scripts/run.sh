#!/usr/bin/env bash
# Builds the client, brings up the local demo database "vorteks" on 127.0.0.1:5432 and starts
# the client against it. Extra arguments go to the client after the database and server.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"
bash "$top/db/localdb.sh" start
# The demo database is made anew when the schema it was made with has changed since.
schema_sum=$(cat "$top/db/schema.sql" "$top/db/demo.sql" | sha256sum | cut -d' ' -f1)
stamp="$top/.pgdata/vorteks.schema.sha256"
if [ "$(cat "$stamp" 2>/dev/null)" != "$schema_sum" ]; then
  echo "run: the demo database is made (anew where the schema has changed since it was made; the old one is kept)"
  bash "$top/db/localdb.sh" load vorteks --demo --fresh --keep-old
else
  bash "$top/db/localdb.sh" load vorteks --demo
fi
echo "$schema_sum" > "$stamp"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
exec "$top/build/app/tabel" vorteks 127.0.0.1 "$@"
