-- Two years of a whole plant: 6,000 workers and 30,000 other people of the plant, 2,000 products,
-- about 10,000,000 journal entries (about 425,000 a month) as a plant's calendar makes them, hour
-- entries of both kinds by day and by night, and the timesheet rows of every month as the
-- rebuilds leave them.
-- Among the people: workers known only by their code (their person row has another id, and the
-- code has leading zeros or blanks), codes that are no numbers, and a few codes that name a worker
-- a second time. It fills only a fresh copy of the template, as bench/run.sh --plant makes it,
-- and marks that database at the end with the comment the benchmarks look for.
set client_min_messages = warning;
\set ON_ERROR_STOP 1
do $$
begin
  if exists (select 1 from accounts_dep.smena) or exists (select 1 from accounts_dep.fatigue)
     or exists (select 1 from accounts_dep.h_tabel) or exists (select 1 from cmn_contractor.person) then
    raise exception 'the database % already holds data: the plant seed fills only a fresh database made by bench/run.sh',
      current_database();
  end if;
end $$;

-- The seed loads years of the past at once: the database's guard of closed months and its
-- history of changes stay off while it does, and are on again for the benchmarks.
alter table accounts_dep.smena disable trigger user;
alter table accounts_dep.fatigue disable trigger user;
alter table accounts_dep.h_tabel disable trigger user;

-- Workers 1..6000. Every tenth is known only by code ("0000120" is worker 120); every tenth but
-- five has blanks around its code; the others have their id as person id and code.
insert into cmn_contractor.person (id, s_caption, s_code)
select case when w % 10 = 0 then 200000 + w else w end,
       'Работник ' || w || ' ' || chr(1040 + w % 32) || '.' || chr(1040 + (w * 7) % 32) || '.',
       case when w % 10 = 0 then lpad(w::text, 7, '0')
            when w % 10 = 5 then ' ' || w || ' '
            else w::text end
  from generate_series(1, 6000) w;
-- The rest of the plant: 30,000 people whose codes match no worker: letters, empty, missing, too
-- large for an id, numbers above the workers'.
insert into cmn_contractor.person (id, s_caption, s_code)
select 10000 + g, 'Сотрудник ' || g,
       case g % 6 when 0 then 'Т-' || g when 1 then 'AB' || g when 2 then ''
                  when 3 then null when 4 then '99999999999' else (900000 + g)::text end
  from generate_series(1, 30000) g;
-- A few workers named twice: a second person row whose code is the worker's id.
insert into cmn_contractor.person (id, s_caption, s_code)
select 300000 + w, 'Однофамилец ' || w, w::text from generate_series(7, 6000, 120) w;
select setval('cmn_contractor.person_id_seq', 400000);
insert into accounts_dep.person (id, fio)
select w, 'Работник ' || w || ' ' || chr(1040 + w % 32) || '.' || chr(1040 + (w * 7) % 32) || '.'
  from generate_series(1, 6000) w;

insert into cmn_classifier.item (id, s_caption, b_excluded) select g, 'Группа ' || g, 0 from generate_series(1, 40) g;
insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa, id_class_item)
select 10000 + g, 'ИЗД-' || lpad(g::text, 4, '0'), 0.25 + (g % 40) * 0.125, 1 + g % 40 from generate_series(1, 2000) g;
insert into accounts_dep.vid_oper (id, vid) select g, 'Операция ' || g from generate_series(1, 30) g;
insert into accounts_dep.vid_oper (id, vid) values (7777, 'хоз. работы'), (7778, 'ср. сдельная');
-- Five operations a product: the kind, finished product or blank, and a price.
insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new)
select (p - 1) * 5 + k, 1 + (p * 3 + k) % 30, k % 2, 10000 + p, 4 + k * 1.5
  from generate_series(1, 2000) p cross join generate_series(1, 5) k;
insert into accounts_dep.norm (o_id, price, norma, prize) select id, 4 + id % 23, 10, id % 3 from accounts_dep.oper;

-- The plant's calendar. Weekdays are working days. A worker works a quarter of a year in one
-- shift (shifts 1, 2 and 3 as 5 : 3 : 2 of the plant) and misses about one working day in
-- sixteen (leave, sickness): 20 to 22 days a month. About one day in fourteen he stays for
-- overtime (shift 4) after his shift, and one worker in eight works overtime on two Saturdays a
-- month. Each row: the worker, the day, the shift, and a number of his own for that day.
create temporary table worker_day as
select w, d, s, h from (
  select w, d, dow, q,
         abs(hashint8(w * 100000::bigint + (d - date '2025-01-01'))) as h,
         case when q % 10 < 5 then 1 when q % 10 < 8 then 2 else 3 end as s
    from generate_series(1, 6000) w,
         lateral (select (date '2025-01-01' + g) as d from generate_series(0, 729) g) c,
         lateral (select extract(isodow from c.d)::integer as dow,
                         abs(hashint8(w * 100::bigint + extract(year from c.d)::integer * 4
                                      + extract(quarter from c.d)::integer)) as q) k) a
 where (dow <= 5 and h % 16 <> 0)
union all
-- overtime after the shift, on a working day
select w, d, 4, h / 7 from (
  select w, d, abs(hashint8(w * 100000::bigint + (d - date '2025-01-01'))) as h
    from generate_series(1, 6000) w, lateral (select (date '2025-01-01' + g) as d from generate_series(0, 729) g) c
   where extract(isodow from c.d) <= 5) a
 where h % 16 <> 0 and h % 14 = 1
union all
-- overtime on a Saturday
select w, d, 4, abs(hashint8(w * 7::bigint + (d - date '2025-01-01')))
  from generate_series(8, 6000, 8) w,
       lateral (select (date '2025-01-01' + g) as d from generate_series(0, 729) g) c
 where extract(isodow from c.d) = 6 and extract(day from c.d)::integer % 14 < 7;

-- The journal: about 425,000 entries a month, 10 million in two years. A worker makes 10 to 20
-- products a month (his own, changing from month to month), two operations of each, in one
-- colour or none per product; two to five entries a day in his shift (one in overtime), that
-- take his 8 hours (2 to 4 in overtime); prices with four decimals, a reject now and then.
-- Entries of months before November 2026 are approved; of the last two, three in five.
-- Loaded without its indexes, which are made again after.
drop index accounts_dep.smena_data_smena;
drop index accounts_dep.smena_w_id_data;
drop index accounts_dep.smena_i_id;
insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok, vvod, prize)
select wd.d, wd.s, wd.w, 10000 + p, (p - 1) * 5 + k,
       ((4 + k * 1.5) * (1 + (p % 7) * 0.1) + 0.0125 * (e.h % 4))::double precision,
       t * (3 + e.h % 28), case when e.h % 12 = 0 then 1 + e.h % 3 else 0 end,
       case (wd.w + p) % 3 when 0 then null when 1 then 1002 else 3005 end,
       t,
       case when wd.d < date '2026-11-01' then (array['ok', 'ok', 'ok', 'да'])[1 + e.h % 4]
            when e.h % 5 < 3 then 'ok' else 'no' end,
       wd.d + case wd.s when 1 then time '15:10' when 2 then time '23:20' when 3 then time '07:30' + interval '1 day'
                        else time '09:00' + interval '1 day' end + (e.h % 40) * interval '1 minute',
       0
  from worker_day wd,
       lateral (select case when wd.s = 4 then 1 else 2 + wd.h % 4 end as n,
                       abs(hashint8(wd.w * 1000::bigint + extract(year from wd.d)::integer * 12
                                    + extract(month from wd.d)::integer)) as m) c,
       lateral (select 10 + c.m % 11 as pool, c.m % 2000 as base) pm,
       lateral (select g, abs(hashint8(wd.h::bigint * 8 + g)) as h from generate_series(1, c.n) g) e,
       lateral (select 1 + (pm.base + ((wd.h + e.g) % pm.pool) * 37) % 2000 as p,
                       case when wd.s = 4 then 2 + e.h % 3
                            when e.g < c.n then 8 / c.n else 8 - (c.n - 1) * (8 / c.n) end as t) x,
       lateral (select 1 + (p % 4) + e.h % 2 as k) o;
create index smena_data_smena on accounts_dep.smena (data, smena);
create index smena_w_id_data on accounts_dep.smena (w_id, data);
create index smena_i_id on accounts_dep.smena (i_id);

-- Hour-paid work: one worker in seven, on about two of his working days a month, utility works
-- or average piecework, by night in the third shift, at weekends as day-off work; hourly prices
-- with four decimals.
insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night)
select 1 + w % 40, case when h % 3 = 0 then 7778 else 7777 end, w, d,
       extract(month from d), extract(year from d), 0, 2 + h % 7,
       round((95 + (w % 50) + (h % 4) * 0.0625)::numeric, 4),
       case when extract(isodow from d) >= 6 then 1 else 0 end, case when s = 3 then 1 else 0 end
  from worker_day
 where w % 7 = 3 and s <> 4 and h % 11 = 2
union all
select 1 + w % 40, 7777, w, d + 1, extract(month from d + 1), extract(year from d + 1), 0, 4 + h % 5,
       round((110 + (w % 50))::numeric, 4), 1, 0
  from worker_day
 where w % 7 = 3 and s = 4 and extract(isodow from d) = 6;
drop table worker_day;

-- The timesheet rows of every month, as the two rebuilds make them.
do $$
declare
  cols text;
  vals text;
begin
  select string_agg('d' || d, ', ' order by d), string_agg(format('max(tim) filter (where day=%s)', d), ', ' order by d)
    into cols, vals from generate_series(1, 31) d;
  execute format('insert into accounts_dep.h_tabel(smena, w_id, month, year, %s)
    select smena, w_id, m, y, %s from (
      select smena, w_id, extract(month from data)::integer m, extract(year from data)::integer y,
             extract(day from data)::integer as day, sum(time) as tim
        from accounts_dep.smena where smena > 0 group by smena, w_id, data) days
    group by smena, w_id, m, y', cols, vals);
  execute format('insert into accounts_dep.h_tabel(i_type, w_id, i_night, month, year, %s)
    select id_o, id_p, i_night, m, y, %s from (
      select id_o, id_p, i_night, extract(month from d_date)::integer m, extract(year from d_date)::integer y,
             extract(day from d_date)::integer as day, sum(cnt) as tim
        from accounts_dep.fatigue group by id_o, id_p, i_night, d_date) days
    group by id_o, id_p, i_night, m, y', cols, vals);
end $$;
vacuum analyze;
-- The mark (the same text as bench::kSeedMark): this database is the benchmarks' own.
do $$
begin
  execute format('comment on database %I is %L', current_database(),
    'tabel benchmarks: seeded by bench/seed_large.sql; the benchmarks change and delete its data');
end $$;

alter table accounts_dep.smena enable trigger user;
alter table accounts_dep.fatigue enable trigger user;
alter table accounts_dep.h_tabel enable trigger user;
