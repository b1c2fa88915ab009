-- The database as the release before migrations (1.0.0) made it, kept word for word to try the
-- upgrade on a database of that release.
-- The tables of the department's piecework accounting and the enterprise tables it reads.
-- Loaded into a cluster where the login role "sys" already exists.
set client_min_messages = warning;

-- Cast types of the enterprise database: person codes are matched against worker ids through them.
create domain public.t_id as numeric(15, 0);
create domain public.t_integer as integer;

create schema cmn_contractor;
create schema cmn_classifier;
create schema cmn_gds_and_srv;
create schema cmn_department;
create schema hrms_staffpos;
create schema adm_role;
create schema accounts_dep;

create table cmn_contractor.person (
  id        serial primary key,
  s_caption varchar(254),
  s_code    varchar(50)
);

-- A person code read as a worker id: a whole number of up to ten digits that fits an integer,
-- blanks around it and leading zeros allowed ("0012 " is 12); anything else ("A-17",
-- "99999999999", "") gives NULL and so never matches. It never raises an error, so neither a
-- query nor an index over it can be broken by another system's person row.
create function accounts_dep.person_code_id(code text) returns integer
  language sql immutable strict parallel safe
  as $$
    select case when code ~ '^\s*\+?0*[0-9]{1,10}\s*$'
                 and substring(code from '[0-9]+')::numeric <= 2147483647
                then substring(code from '[0-9]+')::numeric::integer end
  $$;
-- The journal finds a worker by person id or by person code, the timesheets and reports by
-- code: with this index the planner probes the person table per entry instead of comparing
-- every pair.
create index person_code_id on cmn_contractor.person (accounts_dep.person_code_id(s_code));

-- Classifier entries; a row given only a caption and the excluded flag is a nomenclature group.
create table cmn_classifier.item (
  id              serial primary key,
  id_classifier   numeric(15, 0) default 1,
  id_level        numeric(15, 0) default 2,
  id_parent       numeric(15, 0),
  s_code          varchar(50),
  s_caption       varchar(254),
  s_description   varchar(4000),
  d_excluded_date date,
  b_excluded      integer default 0
);

create table cmn_gds_and_srv.gds_and_srv (
  id            serial primary key,
  s_caption     varchar(254),
  s_description varchar(4000) default '',
  id_msm_bs     numeric(15, 0) default 6,
  massa         numeric(28, 6) default 0,
  id_class_item numeric(15, 0)
);
create index gds_and_srv_class_item on cmn_gds_and_srv.gds_and_srv (id_class_item);

create table cmn_department.department (
  id            serial primary key,
  id_branch     numeric(15, 0),
  id_parent     numeric(15, 0),
  s_code        varchar(50),
  s_caption     varchar(254),
  s_description varchar(4000)
);

create table hrms_staffpos.staffpos (
  id            serial primary key,
  id_department numeric(15, 0),
  s_code        varchar(50),
  s_caption     varchar(254),
  d_begin       date,
  d_end         date,
  s_description varchar(4000)
);

create table adm_role.roles (
  id        serial primary key,
  s_name    varchar(254),
  s_caption varchar(254),
  d_begin   date,
  d_end     date,
  b_active  integer default 1
);

-- The department's workers; their ids are what the journal, hours and timesheet rows point to.
create table accounts_dep.person (
  id            serial primary key,
  fio           varchar(254),
  s_staffpos_hl varchar(254)
);

create table accounts_dep.vid_oper (
  id  serial primary key,
  vid varchar(50)
);

create table accounts_dep.oper (
  id       serial primary key,
  vid      integer,
  naimen   smallint default 0,
  i_id     integer,
  cena_new numeric(15, 4)
);
create index oper_i_id on accounts_dep.oper (i_id);

create table accounts_dep.norm (
  id    serial primary key,
  o_id  integer,
  price double precision,
  norma integer,
  prize integer
);
create index norm_o_id on accounts_dep.norm (o_id);

-- Products as the department reads them: the enterprise's goods with their nomenclature group.
create view accounts_dep.izdel as
  select g.s_caption                 as marka,
         g.id::numeric(15, 0)        as id,
         i.s_caption                 as nom,
         g.massa                     as massa,
         g.id_class_item             as id_class_item,
         i.id                        as id_nom
    from cmn_gds_and_srv.gds_and_srv g
    left join cmn_classifier.item i on i.id = g.id_class_item;

create table accounts_dep.smena (
  id            serial primary key,
  data          date,
  smena         smallint,
  w_id          integer,
  i_id          integer,
  o_id          integer,
  cena          double precision,
  kol_vo        integer,
  brak          smallint default 0,
  color         integer,
  time          integer,
  ok            varchar(2),
  vvod          timestamp,
  prize         double precision default 0,
  id_doc        numeric(15, 0) default 0,
  id_doc_item   numeric(15, 0) default 0,
  id_gds_use    numeric(15, 0) default 0,
  id_cons_use   numeric(15, 0) default 0,
  f_gds_qty_use double precision default 0
);
create index smena_data_smena on accounts_dep.smena (data, smena);
create index smena_w_id_data on accounts_dep.smena (w_id, data);
create index smena_i_id on accounts_dep.smena (i_id);

create table accounts_dep.fatigue (
  id        serial primary key,
  id_nom    numeric(15, 0),
  id_o      numeric(15, 0),
  id_p      numeric(15, 0),
  d_date    date,
  i_mnth    integer,
  i_year    integer,
  i_smena   integer default 0,
  cnt       integer,
  price     numeric(15, 4),
  i_holiday integer default 0,
  i_night   integer default 0
);
create index fatigue_d_date on accounts_dep.fatigue (d_date);
create index fatigue_id_p_year_mnth on accounts_dep.fatigue (id_p, i_year, i_mnth);
create index fatigue_id_p_d_date on accounts_dep.fatigue (id_p, d_date);

create table accounts_dep.h_tabel (
  id      serial primary key,
  w_id    integer,
  month   integer,
  year    integer,
  smena   smallint default 0,
  i_type  integer default 0,
  i_night integer default 0,
  d1 smallint, d2 smallint, d3 smallint, d4 smallint, d5 smallint, d6 smallint, d7 smallint,
  d8 smallint, d9 smallint, d10 smallint, d11 smallint, d12 smallint, d13 smallint, d14 smallint,
  d15 smallint, d16 smallint, d17 smallint, d18 smallint, d19 smallint, d20 smallint, d21 smallint,
  d22 smallint, d23 smallint, d24 smallint, d25 smallint, d26 smallint, d27 smallint, d28 smallint,
  d29 smallint, d30 smallint, d31 smallint
);
create index h_tabel_w_id_month_year on accounts_dep.h_tabel (w_id, month, year);
create index h_tabel_month_year on accounts_dep.h_tabel (year, month);

-- The stamp of the newest client build that has run here, and the decimal separator.
create table accounts_dep.ver (
  d     integer,
  t     integer,
  delim varchar(1)
);
insert into accounts_dep.ver (d, t, delim) values (0, 0, '.');

-- Products with the reserved ids 7777 and 7778 carry the operations of utility works and
-- average piecework; ordinary products are numbered above them.
alter sequence cmn_gds_and_srv.gds_and_srv_id_seq restart with 10001;
alter sequence accounts_dep.vid_oper_id_seq restart with 1;

-- Months closed for changes, once paid. While a month is here, the database refuses every
-- insert, update and delete of journal entries, hour entries and timesheet rows dated in it,
-- whoever writes (this client, another copy, psql).
create table accounts_dep.closed_month (
  year      integer not null,
  month     integer not null check (month between 1 and 12),
  closed_at timestamptz not null default now(),
  closed_by text not null default current_user,
  primary key (year, month)
);

create function accounts_dep.refuse_closed_month(y integer, m integer) returns void
  language plpgsql stable as $$
begin
  if exists (select 1 from accounts_dep.closed_month c where c.year = y and c.month = m) then
    raise exception 'Месяц закрыт: %.%', lpad(m::text, 2, '0'), y
      using errcode = 'TB001', hint = 'Изменения закрытого месяца запрещены; месяц может открыть полный доступ.';
  end if;
end $$;

-- Every change of journal and hour entries, and every closing and reopening of a month: when,
-- the database user, the client (its application_name), what was done, and the row before and
-- after. Only the database writes here.
create table accounts_dep.change_log (
  id         bigserial primary key,
  at         timestamptz not null default clock_timestamp(),
  db_user    text not null default current_user,
  client     text not null default current_setting('application_name'),
  table_name text not null,
  action     text not null,
  row_id     bigint,
  reason     text,
  old_row    jsonb,
  new_row    jsonb
);
create index change_log_table_row on accounts_dep.change_log (table_name, row_id);
-- Written in the order of time: a block range index serves the periods at a fraction of the upkeep.
create index change_log_at on accounts_dep.change_log using brin (at);

-- Each table's one trigger checks the month of the row before and after the change (a
-- moved entry is refused when either is closed) with one probe of closed_month, and records
-- the change; it runs after the row is written, and its refusal undoes the statement. A month
-- number outside 1..12 names no month.
create function accounts_dep.smena_changed() returns trigger language plpgsql as $$
declare
  before_month date := case when tg_op <> 'INSERT' then date_trunc('month', old.data)::date end;
  after_month  date := case when tg_op <> 'DELETE' then date_trunc('month', new.data)::date end;
  closed date;
begin
  select make_date(c.year, c.month, 1) into closed from accounts_dep.closed_month c
   where make_date(c.year, c.month, 1) in (before_month, after_month) limit 1;
  if found then
    perform accounts_dep.refuse_closed_month(extract(year from closed)::integer, extract(month from closed)::integer);
  end if;
  insert into accounts_dep.change_log (table_name, action, row_id, old_row, new_row)
  values (tg_table_name, lower(tg_op),
          case when tg_op = 'DELETE' then old.id else new.id end,
          case when tg_op <> 'INSERT' then to_jsonb(old) end,
          case when tg_op <> 'DELETE' then to_jsonb(new) end);
  return null;
end $$;

create function accounts_dep.fatigue_changed() returns trigger language plpgsql as $$
declare
  before_month date := case when tg_op <> 'INSERT' then
    coalesce(date_trunc('month', old.d_date)::date,
             case when old.i_mnth between 1 and 12 then make_date(old.i_year, old.i_mnth, 1) end) end;
  after_month date := case when tg_op <> 'DELETE' then
    coalesce(date_trunc('month', new.d_date)::date,
             case when new.i_mnth between 1 and 12 then make_date(new.i_year, new.i_mnth, 1) end) end;
  closed date;
begin
  select make_date(c.year, c.month, 1) into closed from accounts_dep.closed_month c
   where make_date(c.year, c.month, 1) in (before_month, after_month) limit 1;
  if found then
    perform accounts_dep.refuse_closed_month(extract(year from closed)::integer, extract(month from closed)::integer);
  end if;
  insert into accounts_dep.change_log (table_name, action, row_id, old_row, new_row)
  values (tg_table_name, lower(tg_op),
          case when tg_op = 'DELETE' then old.id else new.id end,
          case when tg_op <> 'INSERT' then to_jsonb(old) end,
          case when tg_op <> 'DELETE' then to_jsonb(new) end);
  return null;
end $$;

create function accounts_dep.h_tabel_changed() returns trigger language plpgsql as $$
declare
  before_month date := case when tg_op <> 'INSERT' and old.month between 1 and 12 then make_date(old.year, old.month, 1) end;
  after_month  date := case when tg_op <> 'DELETE' and new.month between 1 and 12 then make_date(new.year, new.month, 1) end;
  closed date;
begin
  select make_date(c.year, c.month, 1) into closed from accounts_dep.closed_month c
   where make_date(c.year, c.month, 1) in (before_month, after_month) limit 1;
  if found then
    perform accounts_dep.refuse_closed_month(extract(year from closed)::integer, extract(month from closed)::integer);
  end if;
  return null;
end $$;

create trigger smena_changed after insert or update or delete on accounts_dep.smena
  for each row execute function accounts_dep.smena_changed();
create trigger fatigue_changed after insert or update or delete on accounts_dep.fatigue
  for each row execute function accounts_dep.fatigue_changed();
create trigger h_tabel_changed after insert or update or delete on accounts_dep.h_tabel
  for each row execute function accounts_dep.h_tabel_changed();

create function accounts_dep.log_month() returns trigger language plpgsql as $$
begin
  insert into accounts_dep.change_log (table_name, action, reason, old_row, new_row)
  values (tg_table_name, case when tg_op = 'INSERT' then 'close' else 'reopen' end,
          nullif(current_setting('tabel.reason', true), ''),
          case when tg_op <> 'INSERT' then to_jsonb(old) end,
          case when tg_op = 'INSERT' then to_jsonb(new) end);
  return null;
end $$;

create trigger closed_month_log after insert or delete on accounts_dep.closed_month
  for each row execute function accounts_dep.log_month();
