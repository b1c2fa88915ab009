-- The products detailed report of a month: the month's journal summed per product, operation and
-- colour first, then named and summed per product.
select g.s_caption as marka, v.vid, o.naimen, i.s_caption as nom,
       sum(s.kolvo)::numeric as kolvo, sum(s.brk) as brk, sum(s.summa) as summa, s.color,
       round((g.massa * sum(s.kolvo))::numeric, 2) as mass
  from (select i_id, o_id, color, sum(kol_vo) as kolvo, sum(brak) as brk, sum((kol_vo - brak) * cena) as summa
          from accounts_dep.smena where data >= :'first' and data < :'next' group by i_id, o_id, color) s
  join cmn_gds_and_srv.gds_and_srv g on g.id = s.i_id
  left join cmn_classifier.item i on i.id = g.id_class_item
  join accounts_dep.oper o on o.id = s.o_id
  join accounts_dep.vid_oper v on v.id = o.vid
 group by i.s_caption, g.s_caption, v.vid, o.naimen, s.color, g.massa
 order by nom, marka, v.vid, o.naimen;
