-- A year of a large department: 320 workers, about 500,000 journal entries, 40,000 hour entries
-- and the year's timesheet rows.
-- It fills only a fresh copy of the template, as bench/run.sh makes it, and marks that database
-- at the end with the comment the benchmarks look for before they touch anything.
set client_min_messages = warning;
\set ON_ERROR_STOP 1
do $$
begin
  if exists (select 1 from accounts_dep.smena) or exists (select 1 from accounts_dep.fatigue)
     or exists (select 1 from accounts_dep.h_tabel) or exists (select 1 from cmn_contractor.person) then
    raise exception 'the database % already holds data: the benchmark seed fills only a fresh database made by bench/run.sh',
      current_database();
  end if;
end $$;

-- The seed loads years of the past at once: the database's guard of closed months and its
-- history of changes stay off while it does, and are on again for the benchmarks.
alter table accounts_dep.smena disable trigger user;
alter table accounts_dep.fatigue disable trigger user;
alter table accounts_dep.h_tabel disable trigger user;
insert into cmn_contractor.person (id, s_caption, s_code)
select w, 'Работник ' || w || ' ' || chr(1040 + w % 32) || '.' || chr(1040 + (w * 7) % 32) || '.', w::text
  from generate_series(1, 320) w;
insert into cmn_contractor.person (id, s_caption, s_code)
select 5000 + g, 'Сотрудник ' || g, (900000 + g)::text from generate_series(1, 700) g;
insert into accounts_dep.person (id, fio) select id, s_caption from cmn_contractor.person where id <= 320;
insert into cmn_classifier.item (id, s_caption, b_excluded) select g, 'Группа ' || g, 0 from generate_series(1, 5) g;
insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa, id_class_item)
select 10000 + g, 'ИЗД-' || g, 1, 1 + g % 5 from generate_series(1, 200) g;
insert into accounts_dep.vid_oper (id, vid) select g, 'Операция ' || g from generate_series(1, 12) g;
insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new)
select (p - 1) * 6 + k, k * 2 - 1 + (p % 2), (k % 2), 10000 + p, 10 + k
  from generate_series(1, 200) p cross join generate_series(1, 6) k;
insert into accounts_dep.norm (o_id, price, norma, prize) select id, 10 + id % 17, 10, 0 from accounts_dep.oper;
insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok, vvod)
select date '2026-01-01' + (n / 1400),
       1 + n % 4,
       1 + (n * 7) % 320,
       10000 + 1 + (n % 200),
       ((n % 200)) * 6 + 1 + (n % 6),
       10 + n % 17, 5 + n % 40, n % 3, null, 1 + n % 8,
       (array['no', 'ok', 'да'])[1 + n % 3],
       date '2026-01-01' + (n / 1400)
  from generate_series(0, 499999) n;
-- A year of hour-paid work: utility works and average piecework, day and night hours.
insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night)
select 1 + n % 5, 7777 + n % 2, 1 + (n * 13) % 320, d, extract(month from d), extract(year from d), 1,
       1 + n % 8, 100 + n % 50, 0, (n / 2) % 2
  from generate_series(0, 39999) n, lateral (select date '2026-01-01' + (n / 110) as d) day;
-- The timesheet rows of every month, as the rebuilds leave them: shift rows from the journal,
-- hour rows from the hour entries.
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
        from accounts_dep.smena group by smena, w_id, data) days
    group by smena, w_id, m, y', cols, vals);
  execute format('insert into accounts_dep.h_tabel(i_type, w_id, i_night, month, year, %s)
    select id_o, id_p, i_night, m, y, %s from (
      select id_o, id_p, i_night, extract(month from d_date)::integer m, extract(year from d_date)::integer y,
             extract(day from d_date)::integer as day, sum(cnt) as tim
        from accounts_dep.fatigue group by id_o, id_p, i_night, d_date) days
    group by id_o, id_p, i_night, m, y', cols, vals);
end $$;
analyze;
-- Hour-paid work of both kinds, by day and by night, and its timesheet rows.
insert into accounts_dep.vid_oper (id, vid) values (7777, 'хоз. работы'), (7778, 'ср. сдельная');
insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night)
select 1 + n % 5, case when (n / 7) % 2 = 0 then 7777 else 7778 end, 1 + (n * 13) % 320, d,
       extract(month from d), extract(year from d), 1, 1 + n % 6, 180,
       case when extract(isodow from d) >= 6 then 1 else 0 end, case when n % 5 = 0 then 1 else 0 end
  from (select n, date '2026-01-01' + (n / 60) as d from generate_series(0, 21899) n) g;
insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, i_night)
select distinct id_p, i_mnth, i_year, 0, id_o, i_night from accounts_dep.fatigue;
do $$
begin
  for day in 1..31 loop
    execute format(
      'update accounts_dep.h_tabel h set d%1$s = f.hours
         from (select id_p, id_o, i_night, i_mnth, i_year, sum(cnt) hours
                 from accounts_dep.fatigue where extract(day from d_date) = %1$s
                group by 1, 2, 3, 4, 5) f
        where h.i_type <> 0 and h.w_id = f.id_p and h.i_type = f.id_o and h.i_night = f.i_night
          and h.month = f.i_mnth and h.year = f.i_year', day);
  end loop;
end $$;
analyze;
-- The mark (the same text as bench::kSeedMark): this database is the benchmarks' own.
do $$
begin
  execute format('comment on database %I is %L', current_database(),
    'tabel benchmarks: seeded by bench/seed_large.sql; the benchmarks change and delete its data');
end $$;

alter table accounts_dep.smena enable trigger user;
alter table accounts_dep.fatigue enable trigger user;
alter table accounts_dep.h_tabel enable trigger user;
