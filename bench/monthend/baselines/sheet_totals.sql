-- The month's totals of the piecework sheets, each the sum of the amounts its rows pay: the
-- journal's per worker, the hour entries' per worker, kind and day or night, each rounded to
-- kopecks; and all together. Each source read once.
select coalesce(s.price, 0) + coalesce(f.price, 0) as all_price, s.price,
       f.price7, f.price8
  from (select sum(paid) as price
          from (select round(sum((kol_vo - brak) * cena::numeric), 2) as paid from accounts_dep.smena
                 where data >= :'first' and data < :'next' group by w_id) w) s,
       (select sum(paid) as price,
               sum(paid) filter (where id_o = 7777) as price7,
               sum(paid) filter (where id_o = 7778) as price8
          from (select id_o, round(sum(cnt * price), 2) as paid from accounts_dep.fatigue
                 where d_date >= :'first' and d_date < :'next' group by id_p, id_o, i_night) w) f;
