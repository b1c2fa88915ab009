-- The plant's history of changes, as the database's triggers keep it, for the last four months
-- of its journal and hour entries: every entry added on its day (between 7 and 17 o'clock), and
-- about one in ten changed the next day: approved (its mark from "no" to what it holds now), one
-- in three of those with a piece fewer counted first; hour entries likewise, an hour more cut.
-- Written straight into the history (its partitions of those months made first), after
-- bench/seed_plant.sql, on the plant's fresh database only.
set client_min_messages = warning;
\set ON_ERROR_STOP 1
set datestyle = 'ISO, YMD';
do $$
begin
  if exists (select 1 from accounts_dep.change_log) then
    raise exception 'the database % already has a history: the history seed fills only the plant seed''s fresh database',
      current_database();
  end if;
end $$;

create temporary table months as
select (date_trunc('month', max(data)) - interval '3 months')::date as first,
       (date_trunc('month', max(data)) + interval '1 month')::date as next
  from accounts_dep.smena;
select accounts_dep.add_change_log_month(g::date)
  from months, generate_series(first, next, interval '1 month') g;
-- Those who made the changes: the foremen and the warehouse of the plant's shops.
insert into accounts_dep.change_author (db_user, client)
select u, 'tabel ' || r || ' ' || u || '@shop' || n || '-pc 20261101.1'
  from (values ('full', 'sys'), ('foremen', 'kuznetsov'), ('foremen', 'petrova'), ('warehouse', 'sidorov')) a(r, u),
       generate_series(1, 3) n;
create temporary table authors as select array_agg(id order by id) as ids from accounts_dep.change_author;
create temporary table layouts as
select accounts_dep.change_layout_of('accounts_dep.smena', 's') as smena,
       accounts_dep.change_layout_of('accounts_dep.fatigue', 'f') as fatigue;

-- Journal entries: each added as first entered; one in seven of those approved, changed next day.
insert into accounts_dep.change_log (at, row_id, day, worker, author, layout, tbl, act, ok_before, ok_after, entry)
select s.data + time '07:00' + (s.id % 36000) * interval '1 second', s.id, s.data, s.w_id,
       a.ids[1 + s.w_id % array_length(a.ids, 1)], l.smena, 's', 'i', false, not changed and s.ok in ('ok', 'да'),
       case when changed
            then jsonb_populate_record(s, jsonb_build_object('ok', 'no', 'kol_vo', s.kol_vo + (s.id % 21 = 0)::integer))::text
            else s::text end
  from accounts_dep.smena s, months m, authors a, layouts l,
       lateral (select s.id % 7 = 0 and s.ok <> 'no' as changed) c
 where s.data >= m.first and s.data < m.next
 order by 1;
insert into accounts_dep.change_log (at, row_id, day, worker, author, tbl, act, ok_before, ok_after, fields)
select s.data + interval '32 hours' + (s.id % 28800) * interval '1 second', s.id, s.data, s.w_id,
       a.ids[1 + (s.w_id + 1) % array_length(a.ids, 1)], 's', 'u', false, true,
       case when s.id % 21 = 0
            then jsonb_build_object('ok', jsonb_build_array('no', s.ok), 'kol_vo', jsonb_build_array(s.kol_vo + 1, s.kol_vo))
            else jsonb_build_object('ok', jsonb_build_array('no', s.ok)) end
  from accounts_dep.smena s, months m, authors a
 where s.data >= m.first and s.data < m.next and s.id % 7 = 0 and s.ok <> 'no'
 order by 1;

-- Hour entries likewise: one in ten counted an hour more first.
insert into accounts_dep.change_log (at, row_id, day, worker, author, layout, tbl, act, entry)
select f.d_date + time '07:30' + (f.id % 30000) * interval '1 second', f.id, f.d_date, f.id_p,
       a.ids[1 + f.id % array_length(a.ids, 1)], l.fatigue, 'f', 'i',
       case when f.id % 10 = 0 then jsonb_populate_record(f, jsonb_build_object('cnt', f.cnt + 1))::text else f::text end
  from accounts_dep.fatigue f, months m, authors a, layouts l
 where f.d_date >= m.first and f.d_date < m.next
 order by 1;
insert into accounts_dep.change_log (at, row_id, day, worker, author, tbl, act, fields)
select f.d_date + interval '33 hours' + (f.id % 28800) * interval '1 second', f.id, f.d_date, f.id_p,
       a.ids[1 + (f.id + 1) % array_length(a.ids, 1)], 'f', 'u', jsonb_build_object('cnt', jsonb_build_array(f.cnt + 1, f.cnt))
  from accounts_dep.fatigue f, months m, authors a
 where f.d_date >= m.first and f.d_date < m.next and f.id % 10 = 0
 order by 1;
analyze accounts_dep.change_log;
