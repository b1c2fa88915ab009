-- Demo data: a department of 30 workers with two months of journal entries up to today.
-- Generated, not pasted: the same date gives the same data.
set client_min_messages = warning;

-- Enterprise persons. Workers 1..26 have a person row of their own id; workers 27..30 are
-- known to the enterprise only through the person code.
with names(n, surname) as (
  select row_number() over (), s from unnest(array[
    'Иванов','Петров','Сидоров','Кузнецов','Смирнов','Попов','Васильев','Соколов','Михайлов','Новиков',
    'Фёдоров','Морозов','Волков','Алексеев','Лебедев','Семёнов','Егоров','Павлов','Козлов','Степанов',
    'Николаев','Орлов','Андреев','Макаров','Никитин','Захаров','Зайцев','Соловьёв','Борисов','Яковлев']) s
), initials(n, ini) as (
  select row_number() over (), s from unnest(array['А.В.','С.П.','И.И.','Н.К.','В.А.','Д.С.','О.Л.','П.Е.','М.Ю.','Г.Р.']) s
)
insert into cmn_contractor.person (id, s_caption, s_code)
select case when n <= 26 then n else 2000 + n end,
       surname || ' ' || (select ini from initials where initials.n = 1 + (names.n % 10)),
       n::text
  from names;
-- Other people of the enterprise, outside the department.
insert into cmn_contractor.person (id, s_caption, s_code)
select 3000 + g, 'Сотрудник предприятия ' || g, (900000 + g)::text from generate_series(1, 40) g;
select setval('cmn_contractor.person_id_seq', 4000);

insert into accounts_dep.person (id, fio, s_staffpos_hl)
select id_w, p.s_caption,
       (array['Слесарь-сборщик','Сварщик','Маляр','Оператор гибочного станка','Упаковщик'])[1 + id_w % 5]
  from generate_series(1, 30) id_w
  join cmn_contractor.person p on p.s_code = id_w::text;
select setval('accounts_dep.person_id_seq', 30);

insert into cmn_department.department (id, s_code, s_caption)
values (1, '01', 'Цех металлоконструкций'), (2, '02', 'Малярный участок'), (3, '03', 'Склад готовой продукции');
insert into hrms_staffpos.staffpos (id, id_department, s_code, s_caption, d_begin)
values (1, 1, '101', 'Слесарь-сборщик', '2015-01-01'), (2, 1, '102', 'Сварщик', '2015-01-01'),
       (3, 2, '201', 'Маляр', '2015-01-01'), (4, 1, '103', 'Оператор гибочного станка', '2015-01-01'),
       (5, 3, '301', 'Упаковщик', '2015-01-01'), (6, 1, '104', 'Мастер участка', '2015-01-01');
insert into adm_role.roles (id, s_name, s_caption, d_begin, b_active)
values (1, 'foreman', 'Мастер', '2015-01-01', 1), (2, 'planner', 'Плановик', '2015-01-01', 1),
       (3, 'storekeeper', 'Кладовщик', '2015-01-01', 1);

-- Nomenclature groups; the last one is no longer used.
insert into cmn_classifier.item (id, s_code, s_caption, b_excluded, d_excluded_date)
values (1, '10', 'Двери металлические', 0, null),
       (2, '20', 'Ворота секционные', 0, null),
       (3, '30', 'Решётки оконные', 0, null),
       (4, '40', 'Ограждения', 0, null),
       (5, '50', 'Сейфы', 1, date '2024-12-31');
select setval('cmn_classifier.item_id_seq', 5);

-- Products: 20 goods over the groups, and the two carriers of hourly prices.
insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa, id_class_item)
select 10000 + g,
       (array['ДМ','ВС','РО','ОГ','СФ'])[1 + (g - 1) % 5] || '-' || (100 + g * 7)::text,
       round((0.5 + (g % 4) * 0.25)::numeric, 6),
       1 + (g - 1) % 5
  from generate_series(1, 20) g;
insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa, id_class_item)
values (7777, 'Хоз. работы', 0, null), (7778, 'Ср. сдельная', 0, null);
select setval('cmn_gds_and_srv.gds_and_srv_id_seq', 10020);

insert into accounts_dep.vid_oper (id, vid)
values (1, 'Резка'), (2, 'Гибка'), (3, 'Сварка'), (4, 'Зачистка швов'), (5, 'Сборка'),
       (6, 'Установка фурнитуры'), (7, 'Покраска порошковая'), (8, 'Покраска грунт'),
       (9, 'Упаковка'), (10, 'Контроль ОТК'), (11, 'Маркировка'), (12, 'Погрузка'),
       (7777, 'хоз. работы'), (7778, 'ср. сдельная');
select setval('accounts_dep.vid_oper_id_seq', 12);

-- Operations: each product gets kinds 1, 3, 5, 7 and 9 for finished products, and kinds 1 and 2
-- for blanks; every operation has one or two norm rows.
insert into accounts_dep.oper (vid, naimen, i_id, cena_new)
select k.vid, k.naimen, 10000 + g, round((20 + g * 1.5 + k.vid * 3.25)::numeric, 2)
  from generate_series(1, 20) g
 cross join (values (1, 0), (3, 0), (5, 0), (7, 0), (9, 0), (1, 1), (2, 1)) k(vid, naimen)
 order by g, k.vid, k.naimen;
insert into accounts_dep.norm (o_id, price, norma, prize)
select o.id, o.cena_new::double precision, 10 + o.vid, 10 from accounts_dep.oper o;
insert into accounts_dep.norm (o_id, price, norma, prize)
select o.id, (o.cena_new * 1.1)::numeric(15, 2)::double precision, 8 + o.vid, 15
  from accounts_dep.oper o where o.id % 3 = 0;
-- The hourly prices of utility works and average piecework.
insert into accounts_dep.oper (vid, naimen, i_id, cena_new) values (7777, 0, 7777, 180), (7778, 0, 7778, 210);
insert into accounts_dep.norm (o_id, price, norma, prize)
select id, case vid when 7777 then 180 else 210 end, 0, 0 from accounts_dep.oper where vid >= 7777;

-- Journal: every worker works five days out of seven in his own shift, some days with a second
-- entry and now and then overtime, from two months back up to today.
with days as (
  select d::date as day, (d::date - (current_date - 61)) as n
    from generate_series(current_date - 61, current_date, interval '1 day') d
), plan as (
  select w, day, n,
         case when (w + n) % 11 = 0 then 4 else 1 + w % 3 end as shift,
         1 + abs(hashtext(w || '/' || n)) % 20 as product,
         abs(hashtext(n || '/' || w)) % 7 as pick,
         (w + n) % 3 = 0 as split
    from days cross join generate_series(1, 30) w
   where (w + n) % 7 < 5
), entries as (
  select w, day, n, shift, product, pick, 8 as hours, 1 as part from plan where not split
  union all select w, day, n, shift, product, pick, 5, 1 from plan where split
  union all select w, day, n, shift, 1 + product % 20, (pick + 3) % 7, 3, 2 from plan where split
), priced as (
  select e.*, o.id as o_id, o.vid,
         (select min(price) from accounts_dep.norm nr where nr.o_id = o.id) as base
    from entries e
    join lateral (select * from accounts_dep.oper o
                   where o.i_id = 10000 + e.product
                   order by o.id offset e.pick limit 1) o on true
)
insert into accounts_dep.smena (data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok, vvod, prize,
                                id_doc, id_doc_item, id_gds_use, id_cons_use, f_gds_qty_use)
select day, shift, w, 10000 + product, o_id,
       round((base * case when extract(isodow from day) >= 6 then 2.0 else 1.0 end
                   * case shift when 3 then 1.2 when 4 then 1.5 else 1.0 end)::numeric, 4)::double precision,
       hours * (2 + (w + n) % 5),
       case when (w * n) % 9 = 0 then 1 else 0 end,
       case when vid in (7, 8) then (array[0, 1, 7035, 9005, 3020])[1 + (w + n) % 5] end,
       hours,
       case when day >= current_date - 2 then 'no'
            when (w + n) % 13 = 0 then 'да'
            when (w + n) % 17 = 0 then 'no'
            else 'ok' end,
       day + time '17:30', 0, 0, 0, 0, 0, 0
  from priced;

-- Hour-paid work: utility works and average piecework, by day and now and then by night.
insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night)
select 1 + (w + n) % 4,
       case when (w + n / 10) % 2 = 0 then 7777 else 7778 end,
       w, day, extract(month from day), extract(year from day), 1 + w % 3,
       2 + (w + n) % 3,
       case when (w + n / 10) % 2 = 0 then 180 else 210 end,
       case when extract(isodow from day) >= 6 then 1 else 0 end,
       case when (w + n) % 5 = 0 then 1 else 0 end
  from (select d::date as day, (d::date - (current_date - 61)) as n
          from generate_series(current_date - 61, current_date, interval '1 day') d) days
 cross join generate_series(1, 30) w
 where (w * 3 + n) % 10 = 0;

-- Timesheet rows kept in step with the journal and the hour entries: each day column holds the
-- day's total hours of the worker in that shift (or of that kind and night flag).
insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, i_night)
select distinct w_id, extract(month from data), extract(year from data), smena, 0, 0 from accounts_dep.smena;
insert into accounts_dep.h_tabel (w_id, month, year, smena, i_type, i_night)
select distinct id_p, i_mnth, i_year, 0, id_o, i_night from accounts_dep.fatigue;
do $$
begin
  for day in 1..31 loop
    execute format(
      'update accounts_dep.h_tabel h set d%1$s = s.hours
         from (select w_id, smena, extract(month from data) m, extract(year from data) y, sum(time) hours
                 from accounts_dep.smena where extract(day from data) = %1$s
                group by 1, 2, 3, 4) s
        where h.i_type = 0 and h.w_id = s.w_id and h.smena = s.smena and h.month = s.m and h.year = s.y', day);
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
