-- The products report of a month (and the output sheet, whose mass is rounded to :mass_digits
-- digits, 2 in the report, 6 in the sheet): the month's journal summed per product, operation
-- and colour first, then named and summed per nomenclature group, kind of work and operation.
select sum(s.kolvo)::numeric as kolvo, v.vid, i.s_caption as nom, o.naimen, s.color,
       round((g.massa * sum(s.kolvo))::numeric, :mass_digits) as mass
  from (select i_id, o_id, color, sum(kol_vo - brak) as kolvo
          from accounts_dep.smena where data >= :'first' and data < :'next' group by i_id, o_id, color) s
  join cmn_gds_and_srv.gds_and_srv g on g.id = s.i_id
  left join cmn_classifier.item i on i.id = g.id_class_item
  join accounts_dep.oper o on o.id = s.o_id
  join accounts_dep.vid_oper v on v.id = o.vid
 group by i.s_caption, s.color, o.naimen, v.vid, g.massa
 order by nom;
