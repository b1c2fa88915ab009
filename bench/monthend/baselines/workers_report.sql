-- The workers report of a month: per worker, nomenclature group, operation kind, operation and colour,
-- with the worker's hour-paid work and the month's totals of it; the journal summed per worker,
-- product, operation and colour first.
select g.fio, g.kolvo, g.vid, g.summa, g.nom, g.naimen, g.color,
coalesce(fn.f_sum7,0)::numeric(10,2) f_sum7, coalesce(fn.f_sum8,0)::numeric(10,2) f_sum8,
coalesce(fw.f_sum78,0)::numeric(10,2) f_sum78, t.f_sum7_all, t.f_sum8_all
from (select person.s_caption fio, sum(e.kolvo)::numeric(10,2) as kolvo, vid_oper.vid,
      sum(e.summa)::numeric(10,2) as summa, izdel.nom, oper.naimen, e.color, e.w_id, izdel.id_nom
      from (select w_id, i_id, o_id, color, sum(kol_vo-brak) as kolvo, sum((kol_vo-brak)*cena::numeric) as summa
            from accounts_dep.smena where data<:'next' and data>=:'first' group by w_id, i_id, o_id, color) e
      join cmn_contractor.person person on accounts_dep.person_code_id(person.s_code)=e.w_id
      join accounts_dep.izdel on izdel.id=e.i_id
      join accounts_dep.oper on oper.id=e.o_id
      join accounts_dep.vid_oper on vid_oper.id=oper.vid
      group by person.s_caption, izdel.nom, vid_oper.vid, e.w_id, izdel.id_nom, oper.naimen, e.color) g
left join (select id_p, id_nom, sum(cnt*price) filter (where id_o=7777) f_sum7, sum(cnt*price) filter (where id_o=7778) f_sum8
           from accounts_dep.fatigue where d_date<:'next' and d_date>=:'first' group by id_p, id_nom) fn
       on fn.id_p=g.w_id and fn.id_nom=g.id_nom
left join (select id_p, sum(cnt*price) f_sum78 from accounts_dep.fatigue
           where d_date<:'next' and d_date>=:'first' group by id_p) fw on fw.id_p=g.w_id
cross join (select coalesce(sum(cnt*price) filter (where id_o=7777),0)::numeric(10,2) f_sum7_all,
                   coalesce(sum(cnt*price) filter (where id_o=7778),0)::numeric(10,2) f_sum8_all
            from accounts_dep.fatigue where d_date<:'next' and d_date>=:'first') t
order by g.fio, g.nom, g.vid, g.naimen, g.color, g.w_id;
