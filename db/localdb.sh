#!/usr/bin/env bash
# A local PostgreSQL 15 cluster for the demo and the tests.
#
#   db/localdb.sh [--dir DIR] [--port PORT] [--throwaway] start
#   db/localdb.sh [--dir DIR] [--port PORT] load DBNAME [--demo] [--fresh [--keep-old]] [--template]
#   (load makes the database by the program's --upgrade-database, which must be built, and
#   brings one made earlier up to date the same way)
#   db/localdb.sh [--dir DIR] [--port PORT] stop
#   db/localdb.sh [--dir DIR] [--port PORT] status
#   db/localdb.sh [--dir DIR] [--port PORT] [--throwaway] standby PRIMARY_DIR PRIMARY_PORT
#
# The cluster lives in DIR (default .pgdata in the checkout), listens on 127.0.0.1:PORT
# (default 5432) and runs as a non-root OS user, since PostgreSQL refuses root.
# Every step is idempotent: start on a running cluster and load of an existing
# database (without --fresh) do nothing; --fresh with --keep-old renames the old database
# (DBNAME_before_YYYYMMDDHHMMSS) instead of dropping it. standby makes DIR a hot standby of the cluster in
# PRIMARY_DIR (a base backup streaming the primary's changes from then on) and starts it, with
# hot_standby_feedback on, so that the primary's vacuum never ends a long read on the standby.
#
# The server's limits, taken by start and standby (a running server keeps its own until it is
# stopped and started again; start says so when they differ):
#   --max-connections N   or TABEL_PG_MAX_CONNECTIONS  sessions at once (default 100; a standby
#                                                      takes its primary's unless told)
#   --shared-buffers SIZE or TABEL_PG_SHARED_BUFFERS   the shared page cache, e.g. 256MB (default:
#                                                      the server's own, 128MB)
#   --work-mem SIZE       or TABEL_PG_WORK_MEM         memory of one sort or hash, e.g. 16MB
#                                                      (default: the server's own, 4MB)
# SIZE is a whole number with one of the server's units: kB, MB, GB, TB.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)
dir="$top/.pgdata"
port=5432
throwaway=0
max_connections=${TABEL_PG_MAX_CONNECTIONS:-}
shared_buffers=${TABEL_PG_SHARED_BUFFERS:-}
work_mem=${TABEL_PG_WORK_MEM:-}
standby_opts=
args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --dir) dir=$2; shift 2 ;;
    --port) port=$2; shift 2 ;;
    --throwaway) throwaway=1; shift ;;
    --max-connections) max_connections=${2:-}; shift 2 ;;
    --shared-buffers) shared_buffers=${2:-}; shift 2 ;;
    --work-mem) work_mem=${2:-}; shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
set -- "${args[@]}"
cmd=${1:-}
[ -n "$cmd" ] || { sed -n '2,28p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
shift

# The limits go onto the server's command line: only a number, or a number with a unit, passes.
if [ -n "$max_connections" ] && ! [[ "$max_connections" =~ ^[1-9][0-9]{0,5}$ ]]; then
  echo "localdb: --max-connections takes a whole number above 0, not '$max_connections'" >&2; exit 2
fi
for limit in "shared-buffers:$shared_buffers" "work-mem:$work_mem"; do
  value=${limit#*:}
  if [ -n "$value" ] && ! [[ "$value" =~ ^[1-9][0-9]{0,8}(kB|MB|GB|TB)$ ]]; then
    echo "localdb: --${limit%%:*} takes a size such as 256MB (units kB, MB, GB, TB), not '$value'" >&2; exit 2
  fi
done

pgbin=$(ls -d /usr/lib/postgresql/15/bin 2>/dev/null || true)
[ -x "$pgbin/initdb" ] || { echo "localdb: PostgreSQL 15 is not installed (/usr/lib/postgresql/15/bin)" >&2; exit 1; }

mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
data="$dir/data"
sock="$dir/run"
log="$dir/server.log"

# PostgreSQL will not run as root: run it as the postgres user (or a user of our own).
if [ "$(id -u)" = 0 ]; then
  owner=postgres
  id "$owner" >/dev/null 2>&1 || { owner=tabelpg; id "$owner" >/dev/null 2>&1 || useradd --system --no-create-home "$owner"; }
  as_owner() { runuser -u "$owner" -- "$@"; }
else
  owner=$(id -un)
  as_owner() { "$@"; }
fi

psql_super() { "$pgbin/psql" -X -q -v ON_ERROR_STOP=1 -h "$sock" -p "$port" -U postgres "$@"; }

running() { [ -f "$data/postmaster.pid" ] && as_owner "$pgbin/pg_ctl" -D "$data" status >/dev/null 2>&1; }

port_taken() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }

start() {
  if [ ! -f "$data/PG_VERSION" ]; then
    mkdir -p "$data" "$sock"
    chown -R "$owner" "$dir"
    chmod 700 "$data"
    if ! as_owner test -w "$data"; then
      echo "localdb: the user $owner cannot write $data; put the checkout where $owner can reach it" >&2; exit 1
    fi
    as_owner "$pgbin/initdb" -D "$data" -U postgres -E UTF8 --locale=C.UTF-8 \
      --auth-local=trust --auth-host=scram-sha-256 $([ $throwaway = 1 ] && echo --no-sync) >"$dir/initdb.log" 2>&1 \
      || { echo "localdb: initdb failed, see $dir/initdb.log" >&2; exit 1; }
  fi
  chown "$owner" "$sock" 2>/dev/null || true
  if running; then logins; limits_kept; return 0; fi
  if port_taken; then
    echo "localdb: port $port on 127.0.0.1 is taken by another program; choose another with --port" >&2; exit 1
  fi
  local opts="-c listen_addresses=127.0.0.1 -c port=$port -k $sock -c max_connections=${max_connections:-100}"
  [ -z "$shared_buffers" ] || opts="$opts -c shared_buffers=$shared_buffers"
  [ -z "$work_mem" ] || opts="$opts -c work_mem=$work_mem"
  [ -z "$standby_opts" ] || opts="$opts $standby_opts"
  if [ $throwaway = 1 ]; then
    opts="$opts -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
  fi
  if locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$' && [ $throwaway = 0 ]; then
    opts="$opts -c lc_messages=ru_RU.UTF-8"
  fi
  : > "$log"; chown "$owner" "$log"
  if ! as_owner "$pgbin/pg_ctl" -D "$data" -l "$log" -o "$opts" -w -t 30 start >/dev/null; then
    echo "localdb: the server did not come up on port $port; its log says:" >&2
    tail -n 15 "$log" >&2
    exit 1
  fi
  logins
}

# A running server keeps the limits it was started with: says which of those asked for differ.
limits_kept() {
  local name value same
  for limit in "max_connections:$max_connections" "shared_buffers:$shared_buffers" "work_mem:$work_mem"; do
    name=${limit%%:*} value=${limit#*:}
    [ -n "$value" ] || continue
    same=$(psql_super -d postgres -tA -v name="$name" -v value="$value" <<'SQL'
select case when :'name' = 'max_connections' then current_setting(:'name') = :'value'
            else pg_size_bytes(current_setting(:'name')) = pg_size_bytes(:'value') end;
SQL
)
    if [ "$same" != t ]; then
      echo "localdb: the server in $dir runs with $name=$(psql_super -d postgres -tAc "show $name"); stop and start it to take $value" >&2
    fi
  done
}

logins() {
  # The client's code login "sys" is an ordinary login (the schema's upgrade makes it a member of
  # full access and nothing more); roles belong to the cluster, not to a database (a standby has
  # its primary's). A throwaway cluster of the tests and benchmarks also has "tabel_test", a
  # superuser for their fixtures.
  [ "$(psql_super -d postgres -tAc 'select pg_is_in_recovery()')" = f ] || return 0
  psql_super -d postgres -v test=$throwaway <<'SQL'
do $$ begin
  if not exists (select 1 from pg_roles where rolname = 'sys') then
    create role sys login password 'vultsab';
  end if;
end $$;
alter role sys nosuperuser nocreatedb nocreaterole;
select not :test::boolean as skip \gset
\if :skip
\else
do $$ begin
  if not exists (select 1 from pg_roles where rolname = 'tabel_test') then
    create role tabel_test login superuser password 'tabel_test';
  end if;
end $$;
\endif
SQL
}

# The department's schema is its migrations (db/migrations), applied by the program as any
# administrator applies them, here the cluster's superuser on its socket:
# tabel DATABASE SERVER --user postgres --upgrade-database.
upgrade() {
  local program="$top/build/app/tabel"
  [ -x "$program" ] || { echo "localdb: the program is not built ($program); run bash scripts/setup.sh first" >&2; exit 1; }
  "$program" "$1" "$sock:$port" --user postgres --upgrade-database >"$dir/upgrade.log" 2>&1 \
    || { echo "localdb: the upgrade of $1 failed:" >&2; cat "$dir/upgrade.log" >&2; exit 1; }
}

load() {
  local db=${1:?database name}; shift
  local demo=0 fresh=0 template=0 keep=0
  for a in "$@"; do
    case "$a" in
      --demo) demo=1 ;; --fresh) fresh=1 ;; --template) template=1 ;; --keep-old) keep=1 ;;
      *) echo "localdb: unknown option $a" >&2; exit 2 ;;
    esac
  done
  running || { echo "localdb: the server in $dir is not running; run start first" >&2; exit 1; }
  local exists
  exists=$(psql_super -d postgres -tA -v db="$db" <<'SQL'
select count(*) from pg_database where datname = :'db';
SQL
)
  # A database made by an earlier build is brought up to date by the program's own upgrade.
  if [ "$exists" = 1 ] && [ $fresh = 0 ]; then upgrade "$db"; return 0; fi
  if [ "$exists" = 1 ] && [ $keep = 1 ]; then
    local kept="${db}_before_$(date +%Y%m%d%H%M%S)"
    psql_super -d postgres -v db="$db" -v kept="$kept" <<'SQL'
select pg_terminate_backend(pid) from pg_stat_activity where datname = :'db';
alter database :"db" rename to :"kept";
SQL
    echo "localdb: the database $db made earlier is kept as $kept"
  elif [ "$exists" = 1 ]; then
    psql_super -d postgres -v db="$db" <<'SQL'
update pg_database set datistemplate = false where datname = :'db';
select pg_terminate_backend(pid) from pg_stat_activity where datname = :'db';
drop database :"db";
SQL
  fi
  psql_super -d postgres -v db="$db" <<<'create database :"db";' >/dev/null
  upgrade "$db"
  if [ $demo = 1 ]; then psql_super -d "$db" -f "$here/demo.sql" >/dev/null; fi
  if [ $template = 1 ]; then
    psql_super -d postgres -v db="$db" <<<"update pg_database set datistemplate = true where datname = :'db';" >/dev/null
  fi
}

standby() {
  local primary=${1:?primary dir} primary_port=${2:?primary port}
  primary=$(cd "$primary" && pwd)
  if [ ! -f "$data/PG_VERSION" ]; then
    mkdir -p "$data" "$sock"
    chown -R "$owner" "$dir"
    chmod 700 "$data"
    as_owner "$pgbin/pg_basebackup" -h "$primary/run" -p "$primary_port" -U postgres -D "$data" -R -X stream -c fast \
      >"$dir/basebackup.log" 2>&1 || { echo "localdb: the base backup failed, see $dir/basebackup.log" >&2; exit 1; }
  fi
  # A hot standby refuses to start with fewer sessions than its primary allows.
  if [ -z "$max_connections" ]; then
    max_connections=$("$pgbin/psql" -X -q -h "$primary/run" -p "$primary_port" -U postgres -d postgres -tAc "show max_connections")
  fi
  # The month-end batch reads the standby in one long transaction: the primary's vacuum keeps
  # the rows it may still read, rather than the standby ending its session ("conflict with recovery").
  standby_opts="-c hot_standby_feedback=on"
  start
}

stop() {
  if running; then as_owner "$pgbin/pg_ctl" -D "$data" -m fast -w stop >/dev/null; fi
}

case "$cmd" in
  start) start ;;
  load) load "$@" ;;
  stop) stop ;;
  standby) standby "$@" ;;
  status) if running; then echo "running on 127.0.0.1:$port ($dir)"; else echo "stopped ($dir)"; exit 3; fi ;;
  *) echo "localdb: unknown command $cmd" >&2; exit 2 ;;
esac
