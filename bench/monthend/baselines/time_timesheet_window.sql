-- The time timesheet window's three shifts of a month in one statement: every shift row with the
-- names of the people whose code names its worker, its hours, and the worker's journal earnings of
-- the month summed once per worker for all three; each name found through the person_code_id index.
select h.smena, person.fio, t.summ,
       case when t.summ = 0 then 0 else s.earned / t.summ end::numeric(10, 2) as average_price,
       s.earned::numeric(10, 2) as cena_all, h.*
  from accounts_dep.h_tabel h
 cross join lateral (select :day_hours as summ) t
 cross join lateral (select distinct p.s_caption as fio from cmn_contractor.person p
                     where accounts_dep.person_code_id(p.s_code) = h.w_id) person
  join (select w_id, sum(cena * (kol_vo - brak)) as earned from accounts_dep.smena
         where data >= :'first' and data < :'next' group by w_id) s on s.w_id = h.w_id
 where h.smena in (1, 2, 3) and h.month = :month and h.year = :year
 order by h.smena, person.fio, h.w_id, h.id;
