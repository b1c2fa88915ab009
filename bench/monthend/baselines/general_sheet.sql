-- The general sheet of a month: all its timesheet rows summed per worker, the journal's and the
-- hour entries' hours and earnings summed per worker, joined once.
select p.s_caption as fio, h.w_id as id,
       coalesce(s.i_time, 0) + coalesce(f.i_time, 0) as i_time,
       coalesce(s.f_price, 0) + coalesce(f.f_price, 0) as f_price,
       :day_columns
  from (select w_id, :day_sums from accounts_dep.h_tabel where year = :year and month = :month group by w_id) h
  -- Each worker named once: a person row whose code names him first, then the lowest id.
  join lateral (select p.s_caption from cmn_contractor.person p
                 where p.id = h.w_id or accounts_dep.person_code_id(p.s_code) = h.w_id
                 order by accounts_dep.person_code_id(p.s_code) is distinct from h.w_id, p.id limit 1) p on true
  left join (select w_id, sum(time) as i_time, sum((kol_vo - brak) * cena::numeric)::numeric(10, 2) as f_price
               from accounts_dep.smena where data >= :'first' and data < :'next' group by w_id) s on s.w_id = h.w_id
  left join (select id_p, sum(i_time) as i_time, sum(paid) as f_price
               from (select id_p, sum(cnt) as i_time, round(sum(cnt * price), 2) as paid from accounts_dep.fatigue
                      where d_date >= :'first' and d_date < :'next' group by id_p, id_o, i_night) k
              group by id_p) f on f.id_p = h.w_id
 order by fio, id;
