-- An update that changes no value of a journal or hour entry changes nothing worth a record:
-- the history keeps only real changes. The closed-month guard still refuses it.
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
