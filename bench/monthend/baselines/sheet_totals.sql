-- The month's totals of the piecework sheets: the journal's earnings, the hour entries' by kind,
-- and all together, each source read once.
select (coalesce(s.price, 0) + coalesce(f.price, 0))::numeric(20, 2) as all_price,
       s.price::numeric(100, 2) as price,
       f.price7::numeric(100, 2) as price7,
       f.price8::numeric(100, 2) as price8
  from (select sum((kol_vo - brak) * cena) as price from accounts_dep.smena
         where data >= :'first' and data < :'next' and cena > 0 and kol_vo > 0) s,
       (select sum(cnt * price) as price,
               sum(cnt * price) filter (where id_o = 7777) as price7,
               sum(cnt * price) filter (where id_o = 7778) as price8
          from accounts_dep.fatigue
         where d_date >= :'first' and d_date < :'next' and cnt > 0 and price > 0) f;
