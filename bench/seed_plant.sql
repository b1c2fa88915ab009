-- Two years of a whole plant: 6,000 workers and 30,000 other people of the plant, 2,000 products,
-- 10,000,000 journal entries (about 425,000 in a month of 31 days), hour entries of both kinds
-- by day and by night, and the timesheet rows of every month as the rebuilds leave them.
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

-- The journal: 13,699 entries a day from 2025-01-01 for 730 days. Each worker has about 2 a day,
-- on four products of his own, three operations each, in two colours or none; prices with four
-- decimals, a reject now and then. Loaded without its indexes, which are made again after.
drop index accounts_dep.smena_data_smena;
drop index accounts_dep.smena_w_id_data;
drop index accounts_dep.smena_i_id;
insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok, vvod, prize)
select d, 1 + (n / 7) % 3, w, 10000 + p, (p - 1) * 5 + k,
       (5 + (n % 97) / 10.0 + 0.0125 * (n % 4))::double precision,
       1 + n % 60, case when n % 11 = 0 then 1 + n % 3 else 0 end,
       case (n / 72000) % 3 when 0 then null when 1 then 1002 else 3005 end,
       1 + n % 8, (array['no', 'ok', 'да'])[1 + n % 3], d, n % 3
  from generate_series(0, 9999999) n,
       lateral (select date '2025-01-01' + (n / 13699) as d, 1 + n % 6000 as w) a,
       lateral (select 1 + (w * 13 + (n / 6000) % 4) % 2000 as p, 1 + (n / 24000) % 3 as k) b;
create index smena_data_smena on accounts_dep.smena (data, smena);
create index smena_w_id_data on accounts_dep.smena (w_id, data);
create index smena_i_id on accounts_dep.smena (i_id);

-- Hour-paid work: a third of the workers, on two days of every week, utility works or average
-- piecework, some by night, day-off work at weekends; hourly prices with four decimals.
insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night)
select 1 + w % 40, case when (w / 3 + day) % 2 = 0 then 7777 else 7778 end, w, d,
       extract(month from d), extract(year from d), 0, 2 + (w + day) % 7,
       round((95 + (w % 50) + (day % 4) * 0.0625)::numeric, 4),
       case when extract(isodow from d) >= 6 then 1 else 0 end, case when (w + day) % 5 = 0 then 1 else 0 end
  from generate_series(3, 6000, 3) w,
       generate_series(0, 729) day,
       lateral (select date '2025-01-01' + day as d) a
 where (day + w) % 7 in (0, 3);

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
