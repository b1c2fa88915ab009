#pragma once
// The reference books as the suites of the books set them up: emptied, or with a small set of
// rows whose names the twin checks are tried on.
#include "tests/support/test_database.h"

#include <QString>

namespace books_fixture {

/// Empties the books of products, groups, kinds, operations and norms, and what points into
/// them (journal entries, hour entries, timesheet rows). Workers, positions and departments stay.
inline const QString kEmptyBooks = QStringLiteral(R"(
    delete from accounts_dep.h_tabel; delete from accounts_dep.smena; delete from accounts_dep.fatigue;
    delete from accounts_dep.norm; delete from accounts_dep.oper; delete from accounts_dep.vid_oper;
    delete from cmn_gds_and_srv.gds_and_srv; delete from cmn_classifier.item;
)");

/// Groups 1 "Двери", 2 "Ворота", 3 "Сейфы" (not in use); products 10001 "ДМ-1" and 10002 "Straße"
/// of group 1, 10003 "Ёлка" of group 2; kinds 1 "Резка", 2 "Ёлочка", 3 "Straße"; operations 1 (Резка
/// of ДМ-1, norms 15 and 10.25), 2 (Ёлочка of ДМ-1, blanks, one norm), 3 (Резка of Straße, one
/// norm); workers 1 "Иванов Иван", 2 "Straße Anna", 3 "Ёжиков Пётр". Nothing in the journal.
inline const QString kSmallBooks = kEmptyBooks + QStringLiteral(R"(
    delete from accounts_dep.person;
    insert into cmn_classifier.item (id, s_caption, id_level, b_excluded) values
      (1, 'Двери', 2, 0), (2, 'Ворота', 2, 0), (3, 'Сейфы', 2, 1);
    select setval('cmn_classifier.item_id_seq', 3);
    insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa, id_class_item) values
      (10001, 'ДМ-1', 1.5, 1), (10002, 'Straße', 2, 1), (10003, 'Ёлка', 0, 2);
    select setval('cmn_gds_and_srv.gds_and_srv_id_seq', 10003);
    insert into accounts_dep.vid_oper (id, vid) values (1, 'Резка'), (2, 'Ёлочка'), (3, 'Straße');
    select setval('accounts_dep.vid_oper_id_seq', 3);
    insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new) values
      (1, 1, 0, 10001, 12.5), (2, 2, 1, 10001, 7), (3, 1, 0, 10002, 3);
    select setval('accounts_dep.oper_id_seq', 3);
    insert into accounts_dep.norm (o_id, price, norma, prize) values
      (1, 15, 100, 5), (1, 10.25, 50, 0), (2, 8, 20, 0), (3, 4.5, 10, 0);
    insert into accounts_dep.person (id, fio, s_staffpos_hl) values
      (1, 'Иванов Иван', 'Сварщик'), (2, 'Straße Anna', ''), (3, 'Ёжиков Пётр', 'Маляр');
    select setval('accounts_dep.person_id_seq', 3);
)");

/// Loads kSmallBooks.
inline void loadSmallBooks(const TestDatabase& db) { db.exec(kSmallBooks); }

} // namespace books_fixture
