-- The department's database as the client first knew it: the tables of its piecework
-- accounting (accounts_dep) and the enterprise tables it reads and in places writes, with the
-- reserved ids. An enterprise database that has these tables already is adopted with this step
-- taken as done: it is never run there.

-- Cast types of the enterprise database: person codes are matched against worker ids through them.
create domain public.t_id as numeric(15, 0);
create domain public.t_integer as integer;

create schema cmn_contractor;
create schema cmn_classifier;
create schema cmn_gds_and_srv;
create schema cmn_department;
create schema hrms_staffpos;
create schema adm_role;
create schema if not exists accounts_dep;

create table cmn_contractor.person (
  id        serial primary key,
  s_caption varchar(254),
  s_code    varchar(50)
);

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
