-- The history of changes in a few bytes a change, kept in months. A journal or hour entry added
-- or deleted is kept whole as the text of its row (its record literal), read by the columns the
-- table had then (its layout); an update keeps only the fields it changed, each with its value
-- before and after; a month's closing and reopening keep the month's row. Beside them, small
-- columns of what the readers select by and show a change as: the entry's day and worker as the
-- row stood after the change (before it, for a deletion), its month where the entry is dated by
-- month alone, and whether the entry was approved before and after. Who made a change (the login
-- and the client's name) is kept once in change_author. The history is partitioned by the month
-- of the change (at, by UTC): an old month can be detached and archived; a change whose month has
-- no partition yet goes to the default partition, and the partitions are made ahead by the
-- upgrade and by every closing of a month (add_change_log_months), which also moves what waited
-- in the default partition into its month. The history a database already has is converted
-- record by record and reads as it did.
set local datestyle = 'ISO, YMD';

-- The login and the client's name of the changes, each pair once.
create table accounts_dep.change_author (
  id      serial primary key,
  db_user text not null,
  client  text not null,
  unique (db_user, client)
);

-- The columns (and their types) a journal or hour entry had when the history kept its row as
-- text: another system may add or drop a column, and the rows kept before read by their own.
create table accounts_dep.change_layout (
  id      smallserial primary key,
  tbl     "char" not null,
  columns text[] not null,
  types   text[] not null,
  unique (tbl, columns, types)
);

-- The records as they were, to be converted below.
alter table accounts_dep.change_log rename to change_log_converted;
drop index accounts_dep.change_log_at;
drop index accounts_dep.change_log_table_row;
alter sequence accounts_dep.change_log_id_seq owned by none;

create table accounts_dep.change_log (
  at        timestamptz not null default clock_timestamp(),
  id        bigint not null default nextval('accounts_dep.change_log_id_seq'),
  row_id    integer,
  day       date,
  worker    integer,
  author    integer not null,
  in_year   integer,
  in_month  integer,
  layout    smallint,
  tbl       "char" not null,
  act       "char" not null,
  ok_before boolean,
  ok_after  boolean,
  reason    text,
  entry     text,
  fields    jsonb
) partition by range (at);
alter table accounts_dep.change_log owner to tabel_owner;
alter sequence accounts_dep.change_log_id_seq owned by accounts_dep.change_log.id;
comment on column accounts_dep.change_log.tbl is 's smena, f fatigue, m closed_month';
comment on column accounts_dep.change_log.act is 'i added, u changed, d deleted; c closed, r reopened, u changed (a month)';
comment on column accounts_dep.change_log.day is 'the entry''s day as it stood after the change (before it, for a deletion)';
comment on column accounts_dep.change_log.worker is 'the entry''s worker as it stood after the change (before it, for a deletion)';
comment on column accounts_dep.change_log.in_year is 'the year of a month, or of an entry dated by its month alone';
comment on column accounts_dep.change_log.in_month is 'the month, or the month of an entry dated by it alone';
comment on column accounts_dep.change_log.entry is 'an added or deleted entry''s row as its record text, read by the columns of layout';
comment on column accounts_dep.change_log.fields is 'an update''s changed fields, {"field": [before, after]}; a month''s row; an entry''s row kept from before as it was';
create table accounts_dep.change_log_default partition of accounts_dep.change_log default;
-- One entry's records; the months' reopenings.
create index change_log_entry on accounts_dep.change_log (row_id, tbl);
create index change_log_months on accounts_dep.change_log (in_year, in_month) where tbl = 'm';
-- Written in the order of time: a block range index serves a period within a month.
create index change_log_at on accounts_dep.change_log using brin (at);

-- The author of a change: the login (whoever the trigger runs as) and the client's name.
create function accounts_dep.change_author_id() returns integer
  language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  found_id integer;
begin
  select a.id into found_id from accounts_dep.change_author a
   where a.db_user = session_user and a.client = current_setting('application_name');
  if found_id is null then
    insert into accounts_dep.change_author (db_user, client) values (session_user, current_setting('application_name'))
      on conflict do nothing returning id into found_id;
    if found_id is null then
      select a.id into found_id from accounts_dep.change_author a
       where a.db_user = session_user and a.client = current_setting('application_name');
    end if;
  end if;
  return found_id;
end $$;

-- The layout of a table's rows as they are now.
create function accounts_dep.change_layout_of(rel regclass, code "char") returns smallint
  language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  cols text[];
  kinds text[];
  found_id smallint;
begin
  select array_agg(a.attname::text order by a.attnum), array_agg(format_type(a.atttypid, a.atttypmod) order by a.attnum)
    into cols, kinds
    from pg_attribute a where a.attrelid = rel and a.attnum > 0 and not a.attisdropped;
  select l.id into found_id from accounts_dep.change_layout l where l.tbl = code and l.columns = cols and l.types = kinds;
  if found_id is null then
    insert into accounts_dep.change_layout (tbl, columns, types) values (code, cols, kinds)
      on conflict do nothing returning id into found_id;
    if found_id is null then
      select l.id into found_id from accounts_dep.change_layout l where l.tbl = code and l.columns = cols and l.types = kinds;
    end if;
  end if;
  return found_id;
end $$;

-- The fields of a row whose values differ after an update: {"field": [before, after]}; null when none.
create function accounts_dep.changed_fields(before jsonb, after jsonb) returns jsonb
  language sql immutable set search_path = pg_catalog, pg_temp as $$
  select jsonb_object_agg(o.key, jsonb_build_array(o.value, after -> o.key))
    from jsonb_each(before) o where o.value is distinct from after -> o.key
$$;

-- The partition of one month (from its first day to the next month's, by UTC), made when it is
-- missing, with the records that waited for it in the default partition moved in; false when
-- there was one. Made apart and attached, so that saves go on meanwhile.
create function accounts_dep.add_change_log_month(month date) returns boolean
  language plpgsql security definer set search_path = pg_catalog, pg_temp set timezone = 'UTC' as $$
declare
  first timestamptz := date_trunc('month', month)::timestamp;
  next timestamptz := date_trunc('month', month)::timestamp + interval '1 month';
  part text := 'change_log_' || to_char(first, 'YYYY_MM');
begin
  if to_regclass('accounts_dep.' || part) is not null then
    return false;
  end if;
  execute format('create table accounts_dep.%I (like accounts_dep.change_log including defaults)', part);
  execute format('insert into accounts_dep.%I select * from accounts_dep.change_log_default where at >= $1 and at < $2', part)
    using first, next;
  delete from accounts_dep.change_log_default where at >= first and at < next;
  execute format('alter table accounts_dep.change_log attach partition accounts_dep.%I for values from (%L) to (%L)',
                 part, first, next);
  return true;
end $$;

-- The partitions of every month from the current one through the month of `through`, and of
-- every month the default partition has records of; how many were made.
create function accounts_dep.add_change_log_months(through date) returns integer
  language plpgsql security definer set search_path = pg_catalog, pg_temp set timezone = 'UTC' as $$
declare
  m date;
  made integer := 0;
begin
  for m in
    select distinct date_trunc('month', d.at)::date from accounts_dep.change_log_default d
    union
    select g::date from generate_series(date_trunc('month', clock_timestamp())::timestamp,
                                        date_trunc('month', through)::timestamp, interval '1 month') g
    order by 1
  loop
    if accounts_dep.add_change_log_month(m) then
      made := made + 1;
    end if;
  end loop;
  return made;
end $$;

-- Everything the history has is the owner's; the functions are run by the triggers, the closing
-- of a month and the upgrade, nobody else.
alter table accounts_dep.change_author owner to tabel_owner;
alter table accounts_dep.change_layout owner to tabel_owner;
alter table accounts_dep.change_log_default owner to tabel_owner;
alter function accounts_dep.change_author_id() owner to tabel_owner;
alter function accounts_dep.change_layout_of(regclass, "char") owner to tabel_owner;
alter function accounts_dep.changed_fields(jsonb, jsonb) owner to tabel_owner;
alter function accounts_dep.add_change_log_month(date) owner to tabel_owner;
alter function accounts_dep.add_change_log_months(date) owner to tabel_owner;
revoke execute on function accounts_dep.change_author_id(), accounts_dep.change_layout_of(regclass, "char"),
  accounts_dep.changed_fields(jsonb, jsonb), accounts_dep.add_change_log_month(date),
  accounts_dep.add_change_log_months(date) from public;
grant select on accounts_dep.change_log, accounts_dep.change_author, accounts_dep.change_layout
  to tabel_full, tabel_planner, tabel_foremen, tabel_warehouse;

-- The months of the records there are, and the months ahead.
select accounts_dep.add_change_log_month(m)
  from (select distinct date_trunc('month', at at time zone 'UTC')::date as m from accounts_dep.change_log_converted) months;
select accounts_dep.add_change_log_months((current_date + interval '3 months')::date);

-- The records there are, each as it reads: its author; an update's changed fields; an added or
-- deleted entry as the text of its row where the row, read back by the table's columns now, is
-- what was kept (else kept as it was); the day, worker or month and the approvals it is read by.
do $$
begin
  if exists (select 1 from accounts_dep.change_log_converted
              where table_name not in ('smena', 'fatigue', 'closed_month')
                 or action not in ('insert', 'update', 'delete', 'close', 'reopen')) then
    raise exception 'the history holds records of a table or an action this build does not know; nothing was converted';
  end if;
end $$;
insert into accounts_dep.change_author (db_user, client)
select distinct db_user, client from accounts_dep.change_log_converted on conflict do nothing;
with layouts as (
  select accounts_dep.change_layout_of('accounts_dep.smena', 's') as smena,
         accounts_dep.change_layout_of('accounts_dep.fatigue', 'f') as fatigue
), kept as (
  select c.*, coalesce(c.new_row, c.old_row) as r,
         case c.table_name when 'smena' then 's' when 'fatigue' then 'f' else 'm' end::"char" as code
    from accounts_dep.change_log_converted c
), whole as (
  select k.*,
         case when k.action in ('insert', 'delete') and k.code = 's'
              then (select t::text from jsonb_populate_record(null::accounts_dep.smena, k.r) t
                     where to_jsonb(t) = k.r)
              when k.action in ('insert', 'delete') and k.code = 'f'
              then (select t::text from jsonb_populate_record(null::accounts_dep.fatigue, k.r) t
                     where to_jsonb(t) = k.r)
         end as literal,
         coalesce(k.r ->> 'data', k.r ->> 'd_date') as day_text,
         coalesce(k.r ->> 'w_id', k.r ->> 'id_p') as worker_text
    from kept k
)
insert into accounts_dep.change_log (at, id, row_id, day, worker, author, in_year, in_month, layout, tbl, act,
                                     ok_before, ok_after, reason, entry, fields)
select w.at, w.id, w.row_id, w.day_text::date,
       case when w.worker_text ~ '^-?[0-9]{1,9}$' then w.worker_text::integer end,
       a.id,
       case when w.day_text is null and coalesce(w.r ->> 'year', w.r ->> 'i_year') ~ '^-?[0-9]{1,9}$'
            then coalesce(w.r ->> 'year', w.r ->> 'i_year')::integer end,
       case when w.day_text is null and coalesce(w.r ->> 'month', w.r ->> 'i_mnth') ~ '^-?[0-9]{1,9}$'
            then coalesce(w.r ->> 'month', w.r ->> 'i_mnth')::integer end,
       case when w.literal is not null then case w.code when 's' then l.smena else l.fatigue end end,
       w.code,
       case w.action when 'insert' then 'i' when 'update' then 'u' when 'delete' then 'd' when 'close' then 'c' else 'r' end::"char",
       case when w.code = 's' then coalesce(w.old_row ->> 'ok' in ('ok', 'да'), false) end,
       case when w.code = 's' then coalesce(w.new_row ->> 'ok' in ('ok', 'да'), false) end,
       w.reason,
       w.literal,
       case when w.action = 'update' then accounts_dep.changed_fields(w.old_row, w.new_row)
            when w.literal is null then w.r end
  from whole w
  cross join layouts l
  join accounts_dep.change_author a on a.db_user = w.db_user and a.client = w.client;
drop table accounts_dep.change_log_converted;

-- Each table's trigger records its changes so; the month's lock and the closed-month check are
-- as they were.
create or replace function accounts_dep.smena_changed() returns trigger language plpgsql
  security definer set search_path = pg_catalog, pg_temp set datestyle = 'ISO, YMD' as $$
begin
  perform accounts_dep.guard_months(case when tg_op <> 'INSERT' then date_trunc('month', old.data)::date end,
                                    case when tg_op <> 'DELETE' then date_trunc('month', new.data)::date end);
  if tg_op = 'UPDATE' and old is not distinct from new then
    return null;
  end if;
  if tg_op = 'UPDATE' then
    insert into accounts_dep.change_log (tbl, act, row_id, day, worker, ok_before, ok_after, author, fields)
    values ('s', 'u', new.id, new.data, new.w_id, coalesce(old.ok in ('ok', 'да'), false), coalesce(new.ok in ('ok', 'да'), false),
            accounts_dep.change_author_id(), accounts_dep.changed_fields(to_jsonb(old), to_jsonb(new)));
  elsif tg_op = 'INSERT' then
    insert into accounts_dep.change_log (tbl, act, row_id, day, worker, ok_before, ok_after, author, layout, entry)
    values ('s', 'i', new.id, new.data, new.w_id, false, coalesce(new.ok in ('ok', 'да'), false),
            accounts_dep.change_author_id(), accounts_dep.change_layout_of(tg_relid, 's'), new::text);
  else
    insert into accounts_dep.change_log (tbl, act, row_id, day, worker, ok_before, ok_after, author, layout, entry)
    values ('s', 'd', old.id, old.data, old.w_id, coalesce(old.ok in ('ok', 'да'), false), false,
            accounts_dep.change_author_id(), accounts_dep.change_layout_of(tg_relid, 's'), old::text);
  end if;
  return null;
end $$;

create or replace function accounts_dep.fatigue_changed() returns trigger language plpgsql
  security definer set search_path = pg_catalog, pg_temp set datestyle = 'ISO, YMD' as $$
begin
  perform accounts_dep.guard_months(
    case when tg_op <> 'INSERT' then
      coalesce(date_trunc('month', old.d_date)::date,
               case when old.i_mnth between 1 and 12 then make_date(old.i_year, old.i_mnth, 1) end) end,
    case when tg_op <> 'DELETE' then
      coalesce(date_trunc('month', new.d_date)::date,
               case when new.i_mnth between 1 and 12 then make_date(new.i_year, new.i_mnth, 1) end) end);
  if tg_op = 'UPDATE' and old is not distinct from new then
    return null;
  end if;
  if tg_op = 'UPDATE' then
    insert into accounts_dep.change_log (tbl, act, row_id, day, worker, in_year, in_month, author, fields)
    values ('f', 'u', new.id, new.d_date, case when new.id_p between -2147483648 and 2147483647 then new.id_p end, case when new.d_date is null then new.i_year end,
            case when new.d_date is null then new.i_mnth end,
            accounts_dep.change_author_id(), accounts_dep.changed_fields(to_jsonb(old), to_jsonb(new)));
  elsif tg_op = 'INSERT' then
    insert into accounts_dep.change_log (tbl, act, row_id, day, worker, in_year, in_month, author, layout, entry)
    values ('f', 'i', new.id, new.d_date, case when new.id_p between -2147483648 and 2147483647 then new.id_p end, case when new.d_date is null then new.i_year end,
            case when new.d_date is null then new.i_mnth end,
            accounts_dep.change_author_id(), accounts_dep.change_layout_of(tg_relid, 'f'), new::text);
  else
    insert into accounts_dep.change_log (tbl, act, row_id, day, worker, in_year, in_month, author, layout, entry)
    values ('f', 'd', old.id, old.d_date, case when old.id_p between -2147483648 and 2147483647 then old.id_p end, case when old.d_date is null then old.i_year end,
            case when old.d_date is null then old.i_mnth end,
            accounts_dep.change_author_id(), accounts_dep.change_layout_of(tg_relid, 'f'), old::text);
  end if;
  return null;
end $$;

-- A month's closing and reopening keep its row; a change of the row, the fields changed.
create or replace function accounts_dep.log_month() returns trigger language plpgsql
  security definer set search_path = pg_catalog, pg_temp as $$
begin
  insert into accounts_dep.change_log (tbl, act, in_year, in_month, author, reason, fields)
  values ('m', case tg_op when 'INSERT' then 'c' when 'DELETE' then 'r' else 'u' end,
          case when tg_op = 'DELETE' then old.year else new.year end,
          case when tg_op = 'DELETE' then old.month else new.month end,
          accounts_dep.change_author_id(), nullif(current_setting('tabel.reason', true), ''),
          case tg_op when 'INSERT' then to_jsonb(new) when 'DELETE' then to_jsonb(old)
                     else accounts_dep.changed_fields(to_jsonb(old), to_jsonb(new)) end);
  return null;
end $$;

-- Closing a month makes the history's partitions of the months ahead.
create or replace function accounts_dep.close_month(y integer, m integer)
  returns boolean language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  n integer;
begin
  perform accounts_dep.lock_month(y, m);
  insert into accounts_dep.closed_month (year, month, closed_by) values (y, m, session_user) on conflict do nothing;
  get diagnostics n = row_count;
  perform accounts_dep.add_change_log_months((current_date + interval '3 months')::date);
  return n > 0;
end $$;
