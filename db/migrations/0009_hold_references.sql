-- An entry holds the rows it refers to (its worker, product, operation; an hour entry's worker
-- and group; an operation's product and kind) FOR KEY SHARE until it commits, so that nobody
-- deletes them meanwhile: the department's tables have no foreign keys to the enterprise's books.
-- Such a lock asks for a right to update the table, which the foremen and the warehouse must not
-- have. They hold the rows through this function of the owner instead: it only locks, one row of
-- one of five fixed tables, and says whether the row is there. The lock belongs to the caller's
-- transaction, as if the caller had taken it.

create or replace function accounts_dep.hold_reference(kind text, ref bigint) returns boolean
  language plpgsql volatile security definer set search_path = pg_catalog, pg_temp as $$
begin
  case kind
    when 'person' then perform 1 from accounts_dep.person where id = ref for key share;
    when 'product' then perform 1 from cmn_gds_and_srv.gds_and_srv where id = ref for key share;
    when 'group' then perform 1 from cmn_classifier.item where id = ref for key share;
    when 'operation_kind' then perform 1 from accounts_dep.vid_oper where id = ref for key share;
    when 'operation' then perform 1 from accounts_dep.oper where id = ref for key share;
    else raise exception 'hold_reference: unknown kind %', kind using errcode = '22023';
  end case;
  return found;
end $$;

-- Locking a row of the enterprise's books FOR KEY SHARE takes a right to update some column of
-- it; the owner gets it on the key alone, and only its functions run as the owner.
grant update (id) on cmn_gds_and_srv.gds_and_srv, cmn_classifier.item to tabel_owner;

revoke execute on function accounts_dep.hold_reference(text, bigint) from public;
grant execute on function accounts_dep.hold_reference(text, bigint) to tabel_full, tabel_foremen, tabel_warehouse;

-- Whoever runs the upgrade, the department's owner owns what it adds.
alter function accounts_dep.hold_reference(text, bigint) owner to tabel_owner;
