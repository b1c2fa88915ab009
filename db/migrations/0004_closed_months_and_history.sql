-- Months closed for changes, once paid. While a month is here, the database refuses every
-- insert, update and delete of journal entries, hour entries and timesheet rows dated in it,
-- whoever writes (this client, another copy, psql).
create table if not exists accounts_dep.closed_month (
  year      integer not null,
  month     integer not null check (month between 1 and 12),
  closed_at timestamptz not null default now(),
  closed_by text not null default current_user,
  primary key (year, month)
);

create or replace function accounts_dep.refuse_closed_month(y integer, m integer) returns void
  language plpgsql stable as $$
begin
  if exists (select 1 from accounts_dep.closed_month c where c.year = y and c.month = m) then
    raise exception 'Месяц закрыт: %.%', lpad(m::text, 2, '0'), y
      using errcode = 'TB001', hint = 'Изменения закрытого месяца запрещены; месяц может открыть полный доступ.';
  end if;
end $$;

-- Every change of journal and hour entries, and every closing and reopening of a month: when,
-- the database user, the client (its application_name), what was done, and the row before and
-- after. Only the database writes here.
create table if not exists accounts_dep.change_log (
  id         bigserial primary key,
  at         timestamptz not null default clock_timestamp(),
  db_user    text not null default current_user,
  client     text not null default current_setting('application_name'),
  table_name text not null,
  action     text not null,
  row_id     bigint,
  reason     text,
  old_row    jsonb,
  new_row    jsonb
);
create index if not exists change_log_table_row on accounts_dep.change_log (table_name, row_id);
-- Written in the order of time: a block range index serves the periods at a fraction of the upkeep
-- (an earlier build made it an ordinary one).
do $$
begin
  if exists (select 1 from pg_index i join pg_class c on c.oid = i.indexrelid join pg_am a on a.oid = c.relam
              where c.oid = to_regclass('accounts_dep.change_log_at') and a.amname <> 'brin') then
    drop index accounts_dep.change_log_at;
  end if;
end $$;
create index if not exists change_log_at on accounts_dep.change_log using brin (at);

-- Each table's one trigger checks the month of the row before and after the change (a
-- moved entry is refused when either is closed) with one probe of closed_month, and records
-- the change; it runs after the row is written, and its refusal undoes the statement. A month
-- number outside 1..12 names no month.
create or replace function accounts_dep.smena_changed() returns trigger language plpgsql as $$
declare
  before_month date := case when tg_op <> 'INSERT' then date_trunc('month', old.data)::date end;
  after_month  date := case when tg_op <> 'DELETE' then date_trunc('month', new.data)::date end;
  closed date;
begin
  select make_date(c.year, c.month, 1) into closed from accounts_dep.closed_month c
   where make_date(c.year, c.month, 1) in (before_month, after_month) limit 1;
  if found then
    perform accounts_dep.refuse_closed_month(extract(year from closed)::integer, extract(month from closed)::integer);
  end if;
  insert into accounts_dep.change_log (table_name, action, row_id, old_row, new_row)
  values (tg_table_name, lower(tg_op),
          case when tg_op = 'DELETE' then old.id else new.id end,
          case when tg_op <> 'INSERT' then to_jsonb(old) end,
          case when tg_op <> 'DELETE' then to_jsonb(new) end);
  return null;
end $$;

create or replace function accounts_dep.fatigue_changed() returns trigger language plpgsql as $$
declare
  before_month date := case when tg_op <> 'INSERT' then
    coalesce(date_trunc('month', old.d_date)::date,
             case when old.i_mnth between 1 and 12 then make_date(old.i_year, old.i_mnth, 1) end) end;
  after_month date := case when tg_op <> 'DELETE' then
    coalesce(date_trunc('month', new.d_date)::date,
             case when new.i_mnth between 1 and 12 then make_date(new.i_year, new.i_mnth, 1) end) end;
  closed date;
begin
  select make_date(c.year, c.month, 1) into closed from accounts_dep.closed_month c
   where make_date(c.year, c.month, 1) in (before_month, after_month) limit 1;
  if found then
    perform accounts_dep.refuse_closed_month(extract(year from closed)::integer, extract(month from closed)::integer);
  end if;
  insert into accounts_dep.change_log (table_name, action, row_id, old_row, new_row)
  values (tg_table_name, lower(tg_op),
          case when tg_op = 'DELETE' then old.id else new.id end,
          case when tg_op <> 'INSERT' then to_jsonb(old) end,
          case when tg_op <> 'DELETE' then to_jsonb(new) end);
  return null;
end $$;

create or replace function accounts_dep.h_tabel_changed() returns trigger language plpgsql as $$
declare
  before_month date := case when tg_op <> 'INSERT' and old.month between 1 and 12 then make_date(old.year, old.month, 1) end;
  after_month  date := case when tg_op <> 'DELETE' and new.month between 1 and 12 then make_date(new.year, new.month, 1) end;
  closed date;
begin
  select make_date(c.year, c.month, 1) into closed from accounts_dep.closed_month c
   where make_date(c.year, c.month, 1) in (before_month, after_month) limit 1;
  if found then
    perform accounts_dep.refuse_closed_month(extract(year from closed)::integer, extract(month from closed)::integer);
  end if;
  return null;
end $$;

-- An earlier build guarded before the row was written and recorded with a trigger of its own.
drop trigger if exists smena_closed_month on accounts_dep.smena;
drop trigger if exists fatigue_closed_month on accounts_dep.fatigue;
drop trigger if exists h_tabel_closed_month on accounts_dep.h_tabel;
drop trigger if exists smena_log on accounts_dep.smena;
drop trigger if exists fatigue_log on accounts_dep.fatigue;
drop function if exists accounts_dep.smena_closed_month();
drop function if exists accounts_dep.fatigue_closed_month();
drop function if exists accounts_dep.h_tabel_closed_month();
drop function if exists accounts_dep.log_change();

drop trigger if exists smena_changed on accounts_dep.smena;
drop trigger if exists fatigue_changed on accounts_dep.fatigue;
drop trigger if exists h_tabel_changed on accounts_dep.h_tabel;
create trigger smena_changed after insert or update or delete on accounts_dep.smena
  for each row execute function accounts_dep.smena_changed();
create trigger fatigue_changed after insert or update or delete on accounts_dep.fatigue
  for each row execute function accounts_dep.fatigue_changed();
create trigger h_tabel_changed after insert or update or delete on accounts_dep.h_tabel
  for each row execute function accounts_dep.h_tabel_changed();

create or replace function accounts_dep.log_month() returns trigger language plpgsql as $$
begin
  insert into accounts_dep.change_log (table_name, action, reason, old_row, new_row)
  values (tg_table_name, case when tg_op = 'INSERT' then 'close' else 'reopen' end,
          nullif(current_setting('tabel.reason', true), ''),
          case when tg_op <> 'INSERT' then to_jsonb(old) end,
          case when tg_op = 'INSERT' then to_jsonb(new) end);
  return null;
end $$;

drop trigger if exists closed_month_log on accounts_dep.closed_month;
create trigger closed_month_log after insert or delete on accounts_dep.closed_month
  for each row execute function accounts_dep.log_month();
