-- The detailed workers report of a month: per worker, product, operation kind, operation and colour,
-- with the worker's hour-paid work by kind, day and night, and the month's totals of it; the
-- journal summed per worker, product, operation and colour first.
select g.fio, g.marka, g.vid, g.naimen, g.sum_time, g.kolvo, g.brk, g.summa, g.color, g.s_prize,
coalesce(fw.f_sum7,0)::numeric(10,2) f_sum7, coalesce(fw.f_sum7_n,0)::numeric(10,2) f_sum7_n,
coalesce(fw.f_sum8,0)::numeric(10,2) f_sum8, coalesce(fw.f_sum8_n,0)::numeric(10,2) f_sum8_n,
coalesce(fw.f_sum7h,0)::numeric(10,2) f_sum7h, coalesce(fw.f_sum7h_n,0)::numeric(10,2) f_sum7h_n,
coalesce(fw.f_sum8h,0)::numeric(10,2) f_sum8h, coalesce(fw.f_sum8h_n,0)::numeric(10,2) f_sum8h_n,
t.f_sum7_all, t.f_sum8_all
from (select person.s_caption fio, izdel.marka, vid_oper.vid, oper.naimen, sum(e.sum_time) as sum_time,
      sum(e.kolvo)::numeric as kolvo, sum(e.brk) as brk, sum(e.summa) as summa, e.color, sum(e.s_prize) as s_prize, e.w_id
      from (select w_id, i_id, o_id, color, sum(time) as sum_time, sum(kol_vo) as kolvo, sum(brak) as brk,
                   sum((kol_vo-brak)*cena::numeric) as summa, sum(prize*(kol_vo-brak)*cena/100) as s_prize
            from accounts_dep.smena where data<:'next' and data>=:'first' group by w_id, i_id, o_id, color) e
      join cmn_contractor.person person on accounts_dep.person_code_id(person.s_code)=e.w_id
      join accounts_dep.izdel on izdel.id=e.i_id
      join accounts_dep.oper on oper.id=e.o_id
      join accounts_dep.vid_oper on vid_oper.id=oper.vid
      group by person.s_caption, izdel.marka, vid_oper.vid, oper.naimen, e.color, e.w_id) g
left join (select id_p,
           sum(cnt*price) filter (where id_o=7777 and i_night=0) f_sum7, sum(cnt*price) filter (where id_o=7777 and i_night=1) f_sum7_n,
           sum(cnt*price) filter (where id_o=7778 and i_night=0) f_sum8, sum(cnt*price) filter (where id_o=7778 and i_night=1) f_sum8_n,
           sum(cnt) filter (where id_o=7777 and i_night=0) f_sum7h, sum(cnt) filter (where id_o=7777 and i_night=1) f_sum7h_n,
           sum(cnt) filter (where id_o=7778 and i_night=0) f_sum8h, sum(cnt) filter (where id_o=7778 and i_night=1) f_sum8h_n
           from accounts_dep.fatigue where d_date<:'next' and d_date>=:'first' group by id_p) fw on fw.id_p=g.w_id
cross join (select coalesce(sum(cnt*price) filter (where id_o=7777),0)::numeric(10,2) f_sum7_all,
                   coalesce(sum(cnt*price) filter (where id_o=7778),0)::numeric(10,2) f_sum8_all
            from accounts_dep.fatigue where d_date<:'next' and d_date>=:'first') t
order by g.fio, g.marka, g.vid, g.naimen, g.color, g.w_id;
