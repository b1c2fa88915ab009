-- A closed month keeps its figures: nothing of its journal can change while it stays closed, so
-- its piecework money and hours are reckoned once, when it is closed, and read from here by
-- "Сводка за месяц" instead of from its entries. A reopening drops them, and so does a change of
-- an operation's product kind for the figures of one product kind; a month without figures here
-- is reckoned from its entries, so what is read is always what the entries give.
--
-- For each product kind (0 all entries; 1 finished products, the operation's naimen = 0; 2 blanks,
-- naimen = 1): the piecework money as the piecework sheets reckon it (each worker's amount of the
-- month rounded to kopecks, then added up) and the journal's hours. Null when the month has no
-- entries of the kind. The operations its entries name that were not there when it was closed,
-- if any: such an operation added later gives those entries a product kind.

create table if not exists accounts_dep.month_figures (
  year integer not null,
  month integer not null check (month between 1 and 12),
  product_kind smallint not null check (product_kind between 0 and 2),
  piecework numeric,
  hours bigint,
  unknown_operations integer[],
  primary key (year, month, product_kind)
);

-- The figures of a month, all three product kinds from one pass over its entries.
create or replace function accounts_dep.keep_month_figures(y integer, m integer) returns void
  language sql volatile security definer set search_path = pg_catalog, pg_temp as $$
  with w as (
    select s.w_id,
           round(sum(x.amount), 2) as p0, round(sum(x.amount) filter (where o.naimen = 0), 2) as p1,
           round(sum(x.amount) filter (where o.naimen = 1), 2) as p2,
           sum(s.time) as h0, sum(s.time) filter (where o.naimen = 0) as h1, sum(s.time) filter (where o.naimen = 1) as h2,
           array_agg(s.o_id) filter (where o.id is null and s.o_id is not null) as unknown
    from accounts_dep.smena s
    left join accounts_dep.oper o on o.id = s.o_id
    cross join lateral (select (s.kol_vo - s.brak) * s.cena::numeric as amount) x
    where s.data >= make_date(y, m, 1) and s.data < (make_date(y, m, 1) + interval '1 month')::date
    group by s.w_id)
  , t as (
    select sum(p0) as p0, sum(p1) as p1, sum(p2) as p2, sum(h0) as h0, sum(h1) as h1, sum(h2) as h2,
           (select array_agg(distinct u order by u) from w, unnest(w.unknown) u) as unknown
    from w)
  insert into accounts_dep.month_figures as f (year, month, product_kind, piecework, hours, unknown_operations)
  select y, m, k.kind, case k.kind when 0 then t.p0 when 1 then t.p1 else t.p2 end,
         case k.kind when 0 then t.h0 when 1 then t.h1 else t.h2 end, t.unknown
  from t cross join (values (0), (1), (2)) k(kind)
  on conflict (year, month, product_kind) do update
    set piecework = excluded.piecework, hours = excluded.hours, unknown_operations = excluded.unknown_operations
$$;

-- Closing a month keeps its figures.
create or replace function accounts_dep.close_month(y integer, m integer)
  returns boolean language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
declare
  n integer;
begin
  perform accounts_dep.lock_month(y, m);
  insert into accounts_dep.closed_month (year, month, closed_by) values (y, m, session_user) on conflict do nothing;
  get diagnostics n = row_count;
  if n > 0 then
    perform accounts_dep.keep_month_figures(y, m);
  end if;
  perform accounts_dep.add_change_log_months((current_date + interval '3 months')::date);
  return n > 0;
end $$;

-- A month reopened (or its row changed past the functions) has its figures no longer.
create or replace function accounts_dep.drop_month_figures() returns trigger
  language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
begin
  delete from accounts_dep.month_figures where year = old.year and month = old.month;
  return null;
end $$;
drop trigger if exists closed_month_figures on accounts_dep.closed_month;
create trigger closed_month_figures after update or delete on accounts_dep.closed_month
  for each row execute function accounts_dep.drop_month_figures();

-- The product kind of an entry is its operation's: an operation whose id or kind changes, or
-- that is deleted, drops the figures of one product kind; one added drops those of the months
-- whose entries named it before it came.
create or replace function accounts_dep.oper_kind_changed() returns trigger
  language plpgsql security definer set search_path = pg_catalog, pg_temp as $$
begin
  if tg_op = 'INSERT' then
    delete from accounts_dep.month_figures
     where product_kind <> 0 and unknown_operations && array(select id from new_rows where id is not null);
  elsif tg_op = 'DELETE' then
    delete from accounts_dep.month_figures where product_kind <> 0;
  elsif exists (select id, naimen from old_rows except select id, naimen from new_rows)
        or exists (select id, naimen from new_rows except select id, naimen from old_rows) then
    delete from accounts_dep.month_figures where product_kind <> 0;
  end if;
  return null;
end $$;
drop trigger if exists oper_added on accounts_dep.oper;
drop trigger if exists oper_changed on accounts_dep.oper;
drop trigger if exists oper_deleted on accounts_dep.oper;
create trigger oper_added after insert on accounts_dep.oper referencing new table as new_rows
  for each statement execute function accounts_dep.oper_kind_changed();
create trigger oper_changed after update on accounts_dep.oper referencing old table as old_rows new table as new_rows
  for each statement execute function accounts_dep.oper_kind_changed();
create trigger oper_deleted after delete on accounts_dep.oper referencing old table as old_rows
  for each statement execute function accounts_dep.oper_kind_changed();

-- The months closed before keep theirs now.
select accounts_dep.keep_month_figures(c.year, c.month) from accounts_dep.closed_month c order by c.year, c.month;

-- Everyone reads them, as everyone reads the entries they come from; only the owner's functions write them.
revoke all on accounts_dep.month_figures from public;
grant select on accounts_dep.month_figures to tabel_full, tabel_planner, tabel_foremen, tabel_warehouse;
revoke execute on function accounts_dep.keep_month_figures(integer, integer), accounts_dep.drop_month_figures(),
  accounts_dep.oper_kind_changed() from public;

-- Whoever runs the upgrade, the department's owner owns what it adds.
alter table accounts_dep.month_figures owner to tabel_owner;
alter function accounts_dep.keep_month_figures(integer, integer) owner to tabel_owner;
alter function accounts_dep.drop_month_figures() owner to tabel_owner;
alter function accounts_dep.oper_kind_changed() owner to tabel_owner;
