-- A plant closes its months: every month of the journal older than its last two is closed as the
-- program closes it (accounts_dep.close_month, which keeps the month's figures), after
-- bench/seed_plant.sql and bench/seed_plant_history.sql. The benchmarks write into the last two.
set client_min_messages = warning;
\set ON_ERROR_STOP 1
select count(*) filter (where accounts_dep.close_month(extract(year from g)::integer, extract(month from g)::integer))
       as months_closed
  from (select date_trunc('month', min(data)) as first, date_trunc('month', max(data)) - interval '2 months' as last
          from accounts_dep.smena) m,
       generate_series(m.first, m.last, interval '1 month') g;
vacuum analyze accounts_dep.month_figures;
