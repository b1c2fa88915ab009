-- People, not a shared superuser: four group roles that the department's people are members of,
-- each granted what the client lets that role do and nothing more, and a role nobody logs in as
-- that owns every table, view, sequence and function of the department's schema. What a role
-- may not do directly but the client does on its behalf (the timesheet cell after a foreman's
-- entry, the history, closing a month) runs in functions of the owner with a fixed search_path.
-- Run by an administrator who may create roles and hand the schema over (a superuser).

do $$
declare
  r text;
begin
  foreach r in array array['tabel_owner', 'tabel_full', 'tabel_planner', 'tabel_foremen', 'tabel_warehouse'] loop
    if not exists (select 1 from pg_roles where rolname = r) then
      execute format('create role %I nologin', r);
    end if;
  end loop;
end $$;

-- The history names the login that made a change (session_user), not the owner its trigger runs
-- as; the client's own name stays as the client claimed it.
alter table accounts_dep.change_log alter column db_user set default session_user;
alter table accounts_dep.closed_month alter column closed_by set default session_user;

-- The timesheet cell of a worker's shift and day, set to the sum of his journal hours that day:
-- empty without entries, 0 for entries of 0 hours (the worker keeps his row). One lock per
-- worker and month keeps two clients' upkeep of the same row apart.
create or replace function accounts_dep.sync_journal_cell(worker integer, shift integer, on_day date)
  returns void language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  y integer := extract(year from on_day)::integer;
  m integer := extract(month from on_day)::integer;
  d integer := extract(day from on_day)::integer;
  total integer;
  n integer;
begin
  perform pg_advisory_xact_lock(worker, y * 100 + m);
  select sum(s.time) into total from accounts_dep.smena s where s.w_id = worker and s.smena = shift and s.data = on_day;
  execute format('update accounts_dep.h_tabel set d%s = $1 where w_id = $2 and smena = $3 and month = $4 and year = $5', d)
    using total, worker, shift, m, y;
  get diagnostics n = row_count;
  if n = 0 and total is not null then
    execute format('insert into accounts_dep.h_tabel (smena, w_id, month, year, d%s) values ($1, $2, $3, $4, $5)', d)
      using shift, worker, m, y, total;
  end if;
end $$;

-- The same for a worker's hour entries of one kind and day or night.
create or replace function accounts_dep.sync_hours_cell(worker integer, kind integer, night integer, on_day date)
  returns void language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  y integer := extract(year from on_day)::integer;
  m integer := extract(month from on_day)::integer;
  d integer := extract(day from on_day)::integer;
  total integer;
  n integer;
begin
  perform pg_advisory_xact_lock(worker, y * 100 + m);
  select sum(f.cnt) into total from accounts_dep.fatigue f
   where f.id_p = worker and f.id_o = kind and f.i_night = night and f.d_date = on_day;
  execute format('update accounts_dep.h_tabel set d%s = $1 where w_id = $2 and i_type = $3 and i_night = $4 '
                 'and month = $5 and year = $6', d)
    using total, worker, kind, night, m, y;
  get diagnostics n = row_count;
  if n = 0 and total is not null then
    execute format('insert into accounts_dep.h_tabel (w_id, month, year, i_type, i_night, d%s) values ($1, $2, $3, $4, $5, $6)', d)
      using worker, m, y, kind, night, total;
  end if;
end $$;

-- Closing and reopening a month: only through these, granted to full access; the reopening's
-- reason goes into the history with it.
create or replace function accounts_dep.close_month(y integer, m integer)
  returns boolean language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  n integer;
begin
  insert into accounts_dep.closed_month (year, month, closed_by) values (y, m, session_user) on conflict do nothing;
  get diagnostics n = row_count;
  return n > 0;
end $$;

create or replace function accounts_dep.reopen_month(y integer, m integer, why text)
  returns boolean language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  n integer;
begin
  if coalesce(btrim(why), '') = '' then
    raise exception 'Укажите причину, по которой месяц открывается.' using errcode = 'TB002';
  end if;
  perform set_config('tabel.reason', btrim(why), true);
  delete from accounts_dep.closed_month where year = y and month = m;
  get diagnostics n = row_count;
  return n > 0;
end $$;

-- Every change of closed_month is recorded, an update included.
create or replace function accounts_dep.log_month() returns trigger language plpgsql
  security definer set search_path = pg_catalog, pg_temp as $$
begin
  insert into accounts_dep.change_log (table_name, action, reason, old_row, new_row)
  values (tg_table_name, case tg_op when 'INSERT' then 'close' when 'DELETE' then 'reopen' else 'update' end,
          nullif(current_setting('tabel.reason', true), ''),
          case when tg_op <> 'INSERT' then to_jsonb(old) end,
          case when tg_op <> 'DELETE' then to_jsonb(new) end);
  return null;
end $$;
drop trigger if exists closed_month_log on accounts_dep.closed_month;
create trigger closed_month_log after insert or update or delete on accounts_dep.closed_month
  for each row execute function accounts_dep.log_month();

-- The history is append-only for every login: rows arrive through the triggers only, which write
-- as the owner; the groups may read it and nothing more (below), and nobody logs in as the owner.

-- The triggers write the history as its owner.
alter function accounts_dep.smena_changed() security definer set search_path = pg_catalog, pg_temp;
alter function accounts_dep.fatigue_changed() security definer set search_path = pg_catalog, pg_temp;
alter function accounts_dep.h_tabel_changed() security definer set search_path = pg_catalog, pg_temp;

-- The owner owns the department's schema and everything in it; its view of products reads the
-- enterprise's goods and groups.
grant usage on schema cmn_gds_and_srv, cmn_classifier, cmn_contractor to tabel_owner;
grant select on cmn_gds_and_srv.gds_and_srv, cmn_classifier.item, cmn_contractor.person to tabel_owner;
alter schema accounts_dep owner to tabel_owner;
do $$
declare
  o record;
begin
  for o in select c.oid::regclass as name, c.relkind from pg_class c join pg_namespace n on n.oid = c.relnamespace
            where n.nspname = 'accounts_dep' and c.relkind in ('r', 'p', 'v', 'm', 'S', 'f')
              -- a sequence of a table's column goes with its table
              and not exists (select 1 from pg_depend d where d.classid = 'pg_class'::regclass and d.objid = c.oid
                                 and d.deptype in ('a', 'i')) loop
    execute format('alter %s %s owner to tabel_owner',
                   case o.relkind when 'v' then 'view' when 'm' then 'materialized view' when 'S' then 'sequence'
                                  when 'f' then 'foreign table' else 'table' end, o.name);
  end loop;
  for o in select p.oid::regprocedure as name from pg_proc p join pg_namespace n on n.oid = p.pronamespace
            where n.nspname = 'accounts_dep' loop
    execute format('alter function %s owner to tabel_owner', o.name);
  end loop;
end $$;

-- What each role may do. Every right is given to a group, never to a person.
revoke all on all tables in schema accounts_dep from public;
revoke all on all sequences in schema accounts_dep from public;
revoke execute on all functions in schema accounts_dep from public;
grant usage on schema accounts_dep, cmn_contractor, cmn_classifier, cmn_gds_and_srv, cmn_department, hrms_staffpos,
  adm_role to tabel_full, tabel_planner, tabel_foremen, tabel_warehouse;
-- Everyone reads; the version check stamps the build.
grant select on all tables in schema accounts_dep, cmn_contractor, cmn_classifier, cmn_gds_and_srv, cmn_department,
  hrms_staffpos, adm_role to tabel_full, tabel_planner, tabel_foremen, tabel_warehouse;
grant update (d, t) on accounts_dep.ver to tabel_full, tabel_planner, tabel_foremen, tabel_warehouse;
grant execute on function accounts_dep.person_code_id(text) to tabel_full, tabel_planner, tabel_foremen, tabel_warehouse;
-- Full access: entries, hours, timesheets, the books; closing and reopening through the functions.
grant insert, update, delete on accounts_dep.smena, accounts_dep.fatigue, accounts_dep.h_tabel, accounts_dep.oper,
  accounts_dep.norm, accounts_dep.vid_oper, accounts_dep.person to tabel_full;
grant insert, update, delete on cmn_classifier.item, cmn_gds_and_srv.gds_and_srv to tabel_full;
grant usage on all sequences in schema accounts_dep to tabel_full;
grant usage on sequence cmn_classifier.item_id_seq, cmn_gds_and_srv.gds_and_srv_id_seq to tabel_full;
grant execute on function accounts_dep.close_month(integer, integer), accounts_dep.reopen_month(integer, integer, text)
  to tabel_full;
-- The foremen add journal entries (never approve, change or delete them) and keep hour entries.
grant insert on accounts_dep.smena to tabel_foremen;
grant usage on sequence accounts_dep.smena_id_seq to tabel_foremen;
-- The warehouse approves, and keeps hour entries.
grant update (ok) on accounts_dep.smena to tabel_warehouse;
grant insert, update, delete on accounts_dep.fatigue to tabel_foremen, tabel_warehouse;
grant usage on sequence accounts_dep.fatigue_id_seq to tabel_foremen, tabel_warehouse;
-- The timesheet cells of what they write, kept by the owner.
grant execute on function accounts_dep.sync_journal_cell(integer, integer, date),
  accounts_dep.sync_hours_cell(integer, integer, integer, date) to tabel_full, tabel_foremen, tabel_warehouse;

-- The code login "sys" is an ordinary member of full access.
do $$
begin
  if exists (select 1 from pg_roles where rolname = 'sys') then
    grant tabel_full to sys;
  end if;
end $$;
