#!/usr/bin/env bash
# Builds the client, brings up the local demo database "vorteks" on 127.0.0.1:5432 and starts
# the client against it. Extra arguments go to the client after the database and server.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
bash "$top/scripts/setup.sh"
bash "$top/db/localdb.sh" start
bash "$top/db/localdb.sh" load vorteks --demo
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
exec "$top/build/app/tabel" vorteks 127.0.0.1 "$@"
