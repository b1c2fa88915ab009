-- The sheet of a month's hour entries of one kind (:kind, 7777 utility works or 7778 average
-- piecework): its timesheet rows summed per worker and day or night, the hour entries summed the
-- same way, joined once.
select p.s_caption as fio, h.w_id as id, h.i_type, case when h.i_night = 0 then 'дн.' else 'ноч.' end as s_night, h.i_night,
       f.i_time, f.f_price, coalesce(f.average_price, 0) as average_price,
       :day_columns
  from (select w_id, i_type, i_night, :day_sums
          from accounts_dep.h_tabel where year = :year and month = :month and i_type = :kind group by w_id, i_type, i_night) h
  -- Each worker named once: a person row whose code names him first, then the lowest id.
  join lateral (select p.s_caption from cmn_contractor.person p
                 where p.id = h.w_id or accounts_dep.person_code_id(p.s_code) = h.w_id
                 order by accounts_dep.person_code_id(p.s_code) is distinct from h.w_id, p.id limit 1) p on true
  left join (select id_p, i_night, sum(cnt) as i_time, sum(cnt * price)::numeric(10, 2) as f_price,
                    case when coalesce(sum(cnt), 0)::numeric(10, 2) = 0 then 0
                         else coalesce(sum(cnt * price) / sum(cnt), 0)::numeric(10, 2) end as average_price
               from accounts_dep.fatigue where d_date >= :'first' and d_date < :'next' and id_o = :kind
              group by id_p, i_night) f on f.id_p = h.w_id and f.i_night = h.i_night
 order by fio, id, h.i_night;
