-- A person code read as a worker id: a whole number of up to ten digits that fits an integer,
-- blanks around it and leading zeros allowed ("0012 " is 12); anything else ("A-17",
-- "99999999999", "") gives NULL and so never matches. It never raises an error, so neither a
-- query nor an index over it can be broken by another system's person row.
create or replace function accounts_dep.person_code_id(code text) returns integer
  language sql immutable strict parallel safe
  as $$
    select case when code ~ '^\s*\+?0*[0-9]{1,10}\s*$'
                 and substring(code from '[0-9]+')::numeric <= 2147483647
                then substring(code from '[0-9]+')::numeric::integer end
  $$;
-- The journal finds a worker by person id or by person code, the timesheets and reports by
-- code: with this index the planner probes the person table per entry instead of comparing
-- every pair.
create index if not exists person_code_id on cmn_contractor.person (accounts_dep.person_code_id(s_code));
