-- The monthly piecework sheets sum each worker's hour entries of a month: an index by person and
-- date serves them (an ordinary index: it never refuses a row).
create index if not exists fatigue_id_p_d_date on accounts_dep.fatigue (id_p, d_date);
