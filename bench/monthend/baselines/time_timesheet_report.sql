-- The time timesheet report of a month: the month's timesheet rows summed per name of the people
-- whose code names their worker, each person found through the person_code_id index.
select p.s_caption as fio, :report_day_sums
  from accounts_dep.h_tabel h
  join cmn_contractor.person p on accounts_dep.person_code_id(p.s_code) = h.w_id
 where h.month = :month and h.year = :year
 group by fio
 order by fio;
