-- Changes of every kind the history keeps, made in the tables as any client makes them, on
-- books of their own (ids from 901 on): an entry added, approved, moved to another worker and day
-- with more pieces and its colour emptied, saved unchanged, deleted; an hour entry added, then
-- dated by its month alone with another work and price, cut, deleted; an entry whose mark needs
-- quotes, approved in Russian; an entry saved while the journal had a column another system added
-- (and later dropped again); a month closed, its row changed, reopened. The records are then
-- dated a minute apart from 2024-03-20 10:00 on. Run on a database whose history is empty.
set application_name = 'history fixture';
insert into cmn_contractor.person (id, s_caption, s_code) values (901, 'Сидоров С.С.', '901'), (902, 'Кузнецов К.К.', '902');
insert into accounts_dep.person (id, fio) values (901, 'Сидоров С.С.'), (902, 'Кузнецов К.К.');
insert into cmn_classifier.item (id, s_caption, b_excluded) values (901, 'Окна', 0);
insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa) values (90001, 'ОК-1', 1);
insert into accounts_dep.vid_oper (id, vid) values (901, 'Сборка'), (902, 'Шлифовка');
insert into accounts_dep.oper (id, vid, naimen, i_id) values (901, 901, 0, 90001), (902, 902, 1, 90001);

insert into accounts_dep.smena (id, data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, ok, vvod, prize)
values (9001, '2024-03-18', 2, 901, 90001, 901, 12.75, 10, 1, 3005, 8, 'no', '2024-03-18 16:42:05.25', 1.5);
update accounts_dep.smena set ok = 'ok' where id = 9001;
update accounts_dep.smena set w_id = 902, kol_vo = 12, color = null, data = '2024-03-19' where id = 9001;
update accounts_dep.smena set kol_vo = kol_vo where id = 9001;
delete from accounts_dep.smena where id = 9001;

insert into accounts_dep.fatigue (id, id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night)
values (9002, 901, 901, 901, '2024-03-19', 3, 2024, 1, 8, 150.5, 0, 1);
update accounts_dep.fatigue set d_date = null, id_o = 902, price = 157.25 where id = 9002;
update accounts_dep.fatigue set cnt = 6 where id = 9002;
delete from accounts_dep.fatigue where id = 9002;

insert into accounts_dep.smena (id, data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok, vvod)
values (9003, '2024-03-20', 1, 902, 90001, 902, 7, 3, 0, 2, '"(', '2024-03-20 08:00');
update accounts_dep.smena set ok = 'да' where id = 9003;

alter table accounts_dep.smena add column fixture_note text;
insert into accounts_dep.smena (id, data, smena, w_id, i_id, o_id, cena, kol_vo, brak, time, ok, vvod, fixture_note)
values (9004, '2024-03-21', 3, 901, 90001, 902, 0.1, 1, 0, 1, 'no', '2024-03-21 23:59:59', 'с запятой, "кавычками" и \');
update accounts_dep.smena set fixture_note = null, ok = 'ok' where id = 9004;
alter table accounts_dep.smena drop column fixture_note;
delete from accounts_dep.smena where id = 9004;

begin;
select set_config('tabel.reason', 'по ведомости', true);
insert into accounts_dep.closed_month (year, month, closed_at, closed_by) values (2024, 2, '2024-03-01 09:00:00+00', 'бухгалтер');
commit;
update accounts_dep.closed_month set closed_by = 'главный бухгалтер' where year = 2024 and month = 2;
begin;
select set_config('tabel.reason', 'ошибка в табеле', true);
delete from accounts_dep.closed_month where year = 2024 and month = 2;
commit;

update accounts_dep.change_log
   set at = timestamp '2024-03-20 10:00' + (id - (select min(id) from accounts_dep.change_log)) * interval '1 minute';
