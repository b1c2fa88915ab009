-- The piecework sheet of a month: its timesheet rows summed per worker, the journal's hours and
-- earnings summed per worker, joined once.
select p.s_caption as fio, h.w_id as id, h.i_type, s.i_time, s.f_price, coalesce(s.average_price, 0) as average_price,
       :day_columns
  from (select w_id, i_type, :day_sums
          from accounts_dep.h_tabel where year = :year and month = :month and i_type = 0 group by w_id, i_type) h
  -- Each worker named once: a person row whose code names him first, then the lowest id.
  join lateral (select p.s_caption from cmn_contractor.person p
                 where p.id = h.w_id or accounts_dep.person_code_id(p.s_code) = h.w_id
                 order by accounts_dep.person_code_id(p.s_code) is distinct from h.w_id, p.id limit 1) p on true
  left join (select w_id, sum(time) as i_time, sum((kol_vo - brak) * cena::numeric)::numeric(10, 2) as f_price,
                    case when coalesce(sum(time), 0)::numeric(10, 2) = 0 then 0
                         else coalesce(sum((kol_vo - brak) * cena::numeric) / sum(time), 0)::numeric(10, 2) end as average_price
               from accounts_dep.smena where data >= :'first' and data < :'next' group by w_id) s on s.w_id = h.w_id
 order by fio, id;
