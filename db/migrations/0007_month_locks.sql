-- Closing a month holds up only the writers of that month. Every change of a journal entry, an
-- hour entry or a timesheet row takes its month's lock in shared mode (both months, when an entry
-- moves) before it looks whether the month is closed, and keeps it until its transaction ends.
-- A closing, and a rebuild of a month's timesheet, take the same lock exclusively: they wait for
-- the month's writers in progress, and a writer that comes while they run waits for them and then
-- finds the month as they left it. Writers of other months never wait. Advisory locks, keyed by
-- (kMonthLock, year * 100 + month): no table is locked, and no privilege is needed to take them.

create or replace function accounts_dep.month_lock_key(first_day date) returns integer
  language sql immutable parallel safe set search_path = pg_catalog, pg_temp as $$
  select (extract(year from first_day) * 100 + extract(month from first_day))::integer
$$;

-- The closing's (and the rebuild's) side: waits for the month's writers and keeps new ones out
-- until the caller's transaction ends.
create or replace function accounts_dep.lock_month(y integer, m integer) returns void
  language sql volatile set search_path = pg_catalog, pg_temp as $$
  select pg_advisory_xact_lock(1952607599, y * 100 + m)
$$;

-- The writers' side: the months a changed row was in and is in now (either may be null), locked
-- in shared mode in one order, then refused when either is closed.
create or replace function accounts_dep.guard_months(before_month date, after_month date) returns void
  language plpgsql volatile set search_path = pg_catalog, pg_temp as $$
declare
  closed date;
  first_month date := least(before_month, after_month);    -- least and greatest pass nulls by
  second_month date := greatest(before_month, after_month);
begin
  if first_month is not null then
    perform pg_advisory_xact_lock_shared(1952607599, accounts_dep.month_lock_key(first_month));
  end if;
  if second_month <> first_month then
    perform pg_advisory_xact_lock_shared(1952607599, accounts_dep.month_lock_key(second_month));
  end if;
  -- Read after the locks: a closing that committed while this waited is seen.
  select make_date(c.year, c.month, 1) into closed from accounts_dep.closed_month c
   where make_date(c.year, c.month, 1) in (before_month, after_month) limit 1;
  if found then
    perform accounts_dep.refuse_closed_month(extract(year from closed)::integer, extract(month from closed)::integer);
  end if;
end $$;

create or replace function accounts_dep.smena_changed() returns trigger
  language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
begin
  perform accounts_dep.guard_months(case when tg_op <> 'INSERT' then date_trunc('month', old.data)::date end,
                                    case when tg_op <> 'DELETE' then date_trunc('month', new.data)::date end);
  if tg_op = 'UPDATE' and old is not distinct from new then
    return null;
  end if;
  insert into accounts_dep.change_log (table_name, action, row_id, old_row, new_row)
  values (tg_table_name, lower(tg_op),
          case when tg_op = 'DELETE' then old.id else new.id end,
          case when tg_op <> 'INSERT' then to_jsonb(old) end,
          case when tg_op <> 'DELETE' then to_jsonb(new) end);
  return null;
end $$;

create or replace function accounts_dep.fatigue_changed() returns trigger
  language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
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
  insert into accounts_dep.change_log (table_name, action, row_id, old_row, new_row)
  values (tg_table_name, lower(tg_op),
          case when tg_op = 'DELETE' then old.id else new.id end,
          case when tg_op <> 'INSERT' then to_jsonb(old) end,
          case when tg_op <> 'DELETE' then to_jsonb(new) end);
  return null;
end $$;

create or replace function accounts_dep.h_tabel_changed() returns trigger
  language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
begin
  perform accounts_dep.guard_months(
    case when tg_op <> 'INSERT' and old.month between 1 and 12 then make_date(old.year, old.month, 1) end,
    case when tg_op <> 'DELETE' and new.month between 1 and 12 then make_date(new.year, new.month, 1) end);
  return null;
end $$;

-- The closing holds its own month (the check it makes included) instead of the three tables.
create or replace function accounts_dep.close_month(y integer, m integer)
  returns boolean language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  n integer;
begin
  perform accounts_dep.lock_month(y, m);
  insert into accounts_dep.closed_month (year, month, closed_by) values (y, m, session_user) on conflict do nothing;
  get diagnostics n = row_count;
  return n > 0;
end $$;

revoke execute on function accounts_dep.month_lock_key(date), accounts_dep.lock_month(integer, integer),
  accounts_dep.guard_months(date, date) from public;
grant execute on function accounts_dep.month_lock_key(date), accounts_dep.lock_month(integer, integer)
  to tabel_full, tabel_planner, tabel_foremen, tabel_warehouse;

-- Whoever runs the upgrade, the department's owner owns what it adds.
alter function accounts_dep.month_lock_key(date) owner to tabel_owner;
alter function accounts_dep.lock_month(integer, integer) owner to tabel_owner;
alter function accounts_dep.guard_months(date, date) owner to tabel_owner;
