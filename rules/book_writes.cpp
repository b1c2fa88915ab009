#include "rules/book_writes.h"
#include "data/dataset.h"
#include "data/formats.h"
#include "data/references.h"
#include "data/timesheet_cell.h"
#include "data/transaction.h"
#include "rules/name_check.h"

#include <QDateTime>
#include <QSqlQuery>
#include <algorithm>
#include <functional>
#include <optional>
#include <tuple>
#include <vector>

namespace books {

const QString kRowGoneMessage = QStringLiteral("Запись уже удалена другим пользователем. Список обновлён.");

namespace {

const QString kError = QStringLiteral("Ошибка");
const QString kDeletion = QStringLiteral("Удаление");

// --- workers
const QString kInsertPerson = QStringLiteral(
    R"(INSERT INTO accounts_dep.person (fio, s_staffpos_hl)VALUES(:fio, :s_staffpos_hl))");
const QString kUpdatePerson = QStringLiteral(
    R"(UPDATE accounts_dep.person SET fio=:fio, s_staffpos_hl=:s_staffpos_hl where accounts_dep.person.id=:id)");
const QString kDeletePerson = QStringLiteral(R"(delete from accounts_dep.person where id =:id)");

const NameRule kWorkerName = {.incompleteMessage = QStringLiteral("ФИО нужно заполнить!"),
    .maxLength = 254,
    .tooLongMessage = QStringLiteral("ФИО не может быть длиннее %1 символов!")};

// --- operation kinds
const QString kInsertKind = QStringLiteral(R"(insert into accounts_dep.vid_oper (vid) values (:vid))");
const QString kUpdateKind = QStringLiteral(R"(update accounts_dep.vid_oper set vid=:vid where id=:id)");
const QString kKindUsers = QStringLiteral(R"(select count(*) as cnt from accounts_dep.oper where vid=:id)");
const QString kDeleteKind = QStringLiteral(R"(delete from accounts_dep.vid_oper where id=:id)");

const NameRule kKindName = {.maxLength = 50,
    .tooLongMessage = QStringLiteral("Название операции не может быть длиннее %1 символов!"),
    .twinTable = QStringLiteral("accounts_dep.vid_oper"), .twinColumn = QStringLiteral("vid"),
    .twinMessage = QStringLiteral("Такая операция уже заведена!")};

// --- groups
// The database's defaults make the new row a level-2 group of the department's classifier.
const QString kInsertGroup = QStringLiteral(R"(INSERT INTO cmn_classifier.item(s_caption, b_excluded) VALUES(:s_caption, :b_excluded))");
const QString kUpdateGroup = QStringLiteral(R"(UPDATE cmn_classifier.item SET s_caption=:s_caption, b_excluded=:b_excluded where id=:id)");
const QString kGroupUse = QStringLiteral(
    "select (select count(gds.*) cnt_gds from cmn_gds_and_srv.gds_and_srv gds where gds.id_class_item = :id_nom3),\n"
    "(select count(f.*) cnt_f from accounts_dep.fatigue f where f.id_nom = :id_nom1),\n"
    "(select count(s.*) cnt_s from accounts_dep.smena s,cmn_gds_and_srv.gds_and_srv gds where gds.id = s.i_id and gds.id_class_item = :id_nom2)");
const QString kDeleteGroup = QStringLiteral(R"(DELETE FROM cmn_classifier.item WHERE id=:id)");

const NameRule kGroupName = {.maxLength = 254,
    .tooLongMessage = QStringLiteral("Наименование не может быть длиннее %1 символов!")};

// --- products
const QString kInsertProduct = QStringLiteral(
    R"(INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa, id_class_item)VALUES(:s_caption, '', 6, :massa, :id_class_item))");
const QString kUpdateProduct = QStringLiteral(
    R"(UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption=:s_caption, s_description='', id_msm_bs=6, massa=:massa, id_class_item=:id_class_item where id=:id)");
// massa is numeric(28, 6): 22 digits before the point.
constexpr double kMassaLimit = 1e22;

const NameRule kBrand = {.maxLength = 254,
    .tooLongMessage = QStringLiteral("Марка изделия не может быть длиннее %1 символов!"),
    .twinTable = QStringLiteral("accounts_dep.izdel"), .twinColumn = QStringLiteral("marka"),
    .twinMessage = QStringLiteral("Такая марка изделия уже заведена!")};

const QString kProductEntries = QStringLiteral(
    "select count(*) as cnt from accounts_dep.smena s where s.i_id =:id_ii and s.\"data\">=:dt\n");
const QString kProductOperations = QStringLiteral("select count(*) as cnt from accounts_dep.oper o where o.i_id =:id_ii\n");
// The product's journal entries go with the product, each handing back the timesheet cell it
// fed. Whatever their date: an entry left behind would point at no product, vanish from the
// journal and leave its hours in the timesheet.
const QString kDeleteEntries = QStringLiteral(
    R"(delete from accounts_dep.smena s where s.i_id =:id returning s.w_id, s.smena, s."data")");
// Operations that journal entries still use stay: without them the entries would vanish from
// the journal while the timesheet kept their hours.
const QString kDeleteOperations = QStringLiteral(
    R"(delete from accounts_dep.oper o where o.i_id =:id and not exists (select 1 from accounts_dep.smena s where s.o_id = o.id))");
const QString kLockOperations = QStringLiteral(R"(select id from accounts_dep.oper where i_id=:id for update)");
const QString kKeptOperations = QStringLiteral(R"(select count(*) as cnt from accounts_dep.oper o where o.i_id =:id)");
const QString kDeleteProduct = QStringLiteral(R"(delete from cmn_gds_and_srv.gds_and_srv  where id=:id)");

// --- operations
const QString kNewOperationTwins = QStringLiteral(
    "select count(ID) as cnt from accounts_dep.OPER where vid=:vid and naimen=:naimen and i_id=:i_id");
const QString kChangedOperationTwins = QStringLiteral(
    "select count(*) as cnt from accounts_dep.OPER where vid=:vid and naimen=:naimen and i_id=:i_id and id<>:id");
// A new operation starts with its own price 0 and no norms.
const QString kInsertOperation = QStringLiteral(
    "insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values (:vid, :naimen, :i_id, 0) returning id");
const QString kUpdateOperation = QStringLiteral(
    "update accounts_dep.oper set vid=:vid, naimen=:naimen,  i_id=:i_id where id=:id");
// What still points at an operation: journal entries by its id; hour entries by its kind, when
// it is the operation that carries the hourly prices of utility works or average piecework.
const QString kOperationUse = QStringLiteral(
    "select (select count(*) from accounts_dep.smena where o_id=:id) as journal,\n"
    "(select count(*) from accounts_dep.fatigue f, accounts_dep.oper o where o.id=:id and o.vid>=7777 and o.i_id>=7777\n"
    " and f.id_o=o.vid) as hours");
const QString kDeleteOperationNorms = QStringLiteral("delete from accounts_dep.norm where o_id=:id");
const QString kDeleteOperation = QStringLiteral("delete from accounts_dep.oper where id=:id");

Outcome refused(Outcome::Kind kind, const QString& message, const QString& title = kError)
{
    return {.kind = kind, .message = message, .title = title};
}

Outcome rowGone() { return refused(Outcome::RowGone, kRowGoneMessage); }

int rowsWritten(const QSqlDatabase& db, const QString& sql, const Params& params)
{
    Statement statement(sql);
    statement.setParams(params);
    return statement.exec(db).numRowsAffected();
}

qlonglong count(const QSqlDatabase& db, const QString& sql, const Params& params)
{
    Dataset q(db, sql);
    q.setParams(params);
    q.open();
    return q.asLongLong(QStringLiteral("cnt"));
}

// The one way a book's row is written: within one transaction, the book's names locked against
// other clients' saves, what the row points to held (first; nothing when it answers a refusal),
// the name refused when another row holds it, then the statement. A statement that touches no
// row found the row being changed gone.
Outcome writeRow(const QSqlDatabase& db, int id, const QString& sql, const Params& params, const QString& name,
                 const NameRule& rule, const std::function<std::optional<Outcome>()>& first = {})
{
    Transaction tx(db);
    const bool twinChecked = !rule.twinTable.isEmpty();
    if (twinChecked) references::lockNames(db, rule.twinTable);
    if (first)
        if (std::optional<Outcome> refusal = first()) return *refusal;
    if (twinChecked && hasTwin(db, name, rule, id)) return refused(Outcome::Twin, rule.twinMessage);
    if (rowsWritten(db, sql, params) == 0) return rowGone();
    tx.commit();
    return {};
}

Params withId(Params params, int id)
{
    if (id != 0) params.append({QStringLiteral("id"), id});
    return params;
}

} // namespace

Outcome checkName(const QString& name, const NameRule& rule, bool otherIncomplete)
{
    const name_check::Fault fault = name_check::check(name, rule.maxLength);
    if (otherIncomplete || fault == name_check::Fault::Incomplete) return refused(Outcome::Refused, rule.incompleteMessage);
    if (fault == name_check::Fault::TooLong) return refused(Outcome::Refused, rule.tooLongMessage.arg(rule.maxLength));
    return {};
}

bool hasTwin(const QSqlDatabase& db, const QString& name, const NameRule& rule, int exceptId)
{
    // Both sides cased by the server, by one rule, down and then up: upper() alone leaves some
    // letters as they are in some locales ("ẞ" stays, while "ß" has no capital), lower() first
    // brings both to "ß"; and a client's own casing differs from the server's.
    Dataset twins(db, QStringLiteral("select count(*) as cnt from %1 where upper(lower(%2))=upper(lower(:name))%3")
                          .arg(rule.twinTable, rule.twinColumn, exceptId == 0 ? QString() : QStringLiteral(" and id<>:id")));
    twins.setParam(QStringLiteral("name"), name);
    if (exceptId != 0) twins.setParam(QStringLiteral("id"), exceptId);
    twins.open();
    return twins.asLongLong(QStringLiteral("cnt")) > 0;
}

// ---------------------------------------------------------------- workers

Outcome saveWorker(const QSqlDatabase& db, int id, const QString& fio, const QString& position)
{
    const QString name = fio.trimmed();
    if (Outcome check = checkName(name, kWorkerName); !check.written()) return check;
    return writeRow(db, id, id == 0 ? kInsertPerson : kUpdatePerson,
                    withId({{QStringLiteral("fio"), name}, {QStringLiteral("s_staffpos_hl"), position}}, id), name,
                    kWorkerName);
}

Outcome deleteWorker(const QSqlDatabase& db, int id)
{
    // Locked before the delete, as every delete of a row that saves hold: an entry being saved
    // for the worker is waited for, one saved afterwards finds the worker gone.
    Transaction tx(db);
    const bool deleted = references::lockForDelete(db, references::Row::Worker, id)
        && rowsWritten(db, kDeletePerson, {{QStringLiteral("id"), id}}) > 0;
    tx.commit();
    return deleted ? Outcome{} : rowGone();
}

// ---------------------------------------------------------------- operation kinds

Outcome saveOperationKind(const QSqlDatabase& db, int id, const QString& name)
{
    const QString vid = name.trimmed();
    if (Outcome check = checkName(vid, kKindName); !check.written()) return check;
    return writeRow(db, id, id == 0 ? kInsertKind : kUpdateKind, withId({{QStringLiteral("vid"), vid}}, id), vid,
                    kKindName);
}

Outcome deleteOperationKind(const QSqlDatabase& db, int id)
{
    const Params kind = {{QStringLiteral("id"), id}};
    Transaction tx(db);
    // The kind is locked first, so that an operation being saved with it (which holds it) is
    // waited for; the count that follows sees that operation and the kind stays.
    if (!references::lockForDelete(db, references::Row::OperationKind, id)) return rowGone();
    const qlonglong used = count(db, kKindUsers, kind);
    if (used > 0)
        return refused(Outcome::InUse, QStringLiteral("Вид операции нельзя удалить: операций этого вида — %1.").arg(used),
                       kDeletion);
    const bool deleted = rowsWritten(db, kDeleteKind, kind) > 0;
    tx.commit();
    return deleted ? Outcome{} : rowGone();
}

// ---------------------------------------------------------------- groups

Outcome saveGroup(const QSqlDatabase& db, int id, const QString& caption, bool excluded)
{
    const QString name = caption.trimmed();
    if (Outcome check = checkName(name, kGroupName); !check.written()) return check;
    return writeRow(db, id, id == 0 ? kInsertGroup : kUpdateGroup,
                    withId({{QStringLiteral("s_caption"), name}, {QStringLiteral("b_excluded"), excluded ? 1 : 0}}, id),
                    name, kGroupName);
}

Outcome deleteGroup(const QSqlDatabase& db, int id)
{
    Transaction tx(db);
    // The group is locked for the guards and the delete; a product or an hour entry saved
    // meanwhile holds it, so it either comes first and is counted, or waits and finds the
    // group gone.
    if (!references::lockForDelete(db, references::Row::Group, id)) return rowGone();
    Dataset use(db, kGroupUse);
    use.setParams({{QStringLiteral("id_nom1"), id}, {QStringLiteral("id_nom2"), id}, {QStringLiteral("id_nom3"), id}});
    use.open();
    const qlonglong products = use.asLongLong(QStringLiteral("cnt_gds"));
    const qlonglong entries = use.asLongLong(QStringLiteral("cnt_f")) + use.asLongLong(QStringLiteral("cnt_s"));
    use.close();
    if (products > 0) return refused(Outcome::InUse, QStringLiteral("В номенклатурной группе есть изделия."), kDeletion);
    if (entries > 0) return refused(Outcome::InUse, QStringLiteral("В номенклатурной группе есть операции."), kDeletion);
    rowsWritten(db, kDeleteGroup, {{QStringLiteral("id"), id}});
    tx.commit();
    return {};
}

// ---------------------------------------------------------------- products

Outcome saveProduct(const QSqlDatabase& db, const ProductFields& product)
{
    const QString brand = product.brand.trimmed();
    const QString typed = product.price.trimmed();
    if (Outcome check = checkName(brand, kBrand, typed.isEmpty() || product.group == 0); !check.written()) return check;
    // The key filter lets neither a sign nor an exponent through, but text set on the field
    // without keys (a paste by assistive technology) passes it by: the number is judged here, and
    // stored as written (never as a number worked out on this side).
    const std::optional<double> read = formats::parseNumber(typed);
    if (!read) return refused(Outcome::Refused, QStringLiteral("Расценка должна быть числом!"));
    if (*read < 0) return refused(Outcome::Refused, QStringLiteral("Расценка не может быть отрицательной!"));
    if (*read >= kMassaLimit)
        return refused(Outcome::Refused, QStringLiteral("Расценка слишком велика: до запятой не больше 22 цифр!"));
    const int id = product.id;
    return writeRow(db, id, id == 0 ? kInsertProduct : kUpdateProduct,
                    withId({{QStringLiteral("s_caption"), brand},
                            {QStringLiteral("massa"), QString(typed).replace(QLatin1Char(','), QLatin1Char('.'))},
                            {QStringLiteral("id_class_item"), product.group}},
                           id),
                    brand, kBrand, [&db, &product]() -> std::optional<Outcome> {
                        if (references::hold(db, references::Row::Group, product.group)) return std::nullopt;
                        return refused(Outcome::ReferenceGone,
                                       QStringLiteral("Выбранная номенклатурная группа уже удалена другим пользователем."));
                    });
}

ProductUse productUse(const QSqlDatabase& db, int productId)
{
    // The first day of the previous month, in the year 2000: practically every entry counts.
    const int month = QDate::currentDate().month() == 1 ? 13 : QDate::currentDate().month();
    return {.entries = count(db, kProductEntries,
                             {{QStringLiteral("id_ii"), productId},
                              {QStringLiteral("dt"), QDateTime(QDate(2000, month - 1, 1), QTime(0, 0))}}),
            .operations = count(db, kProductOperations, {{QStringLiteral("id_ii"), productId}})};
}

Outcome deleteProduct(const QSqlDatabase& db, int productId, const ProductUse& agreed, bool dropOperations,
                      bool dropProduct)
{
    if (!dropOperations && !dropProduct) return {};
    const Params product = {{QStringLiteral("id"), productId}};
    // The product and its operations are locked before anything is counted or deleted: an
    // operation or a journal entry being saved with them (they hold them) is waited for and
    // then seen. What was saved while the user answered was not agreed to: nothing goes.
    Transaction tx(db);
    if (!references::lockForDelete(db, references::Row::Product, productId)) return rowGone();
    execSql(db, kLockOperations, product);
    const ProductUse now = productUse(db, productId);
    if (now.entries > agreed.entries || now.operations > agreed.operations)
        return refused(Outcome::InUse,
                       QStringLiteral("Изделие не удалено: пока шло удаление, по нему записаны новые операции или "
                                      "расценки. Список обновлён."),
                       kDeletion);
    // A timesheet cell: worker, shift, day.
    using Cell = std::tuple<int, int, QDate>;
    std::vector<Cell> cells;
    if (dropProduct) {
        Dataset deleted(db, kDeleteEntries);
        deleted.setParams(product);
        deleted.open();
        for (int r = 0; r < deleted.recordCount(); ++r)
            cells.emplace_back(Dataset::toLongLong(deleted.valueAt(r, QStringLiteral("w_id"))),
                               Dataset::toLongLong(deleted.valueAt(r, QStringLiteral("smena"))),
                               deleted.valueAt(r, QStringLiteral("data")).toDate());
    }
    qlonglong keptOperations = 0;
    if (dropOperations) {
        rowsWritten(db, kDeleteOperations, product);
        keptOperations = count(db, kKeptOperations, product);
    }
    if (dropProduct) rowsWritten(db, kDeleteProduct, product);
    // Each worker's months are locked in one order (worker, then month) by every client,
    // so two deletions touching the same workers cannot wait for each other for good.
    std::sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) {
        const auto key = [](const Cell& c) {
            const QDate& d = std::get<2>(c);
            return std::make_tuple(std::get<0>(c), d.year(), d.month(), std::get<1>(c), d.day());
        };
        return key(a) < key(b);
    });
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    for (const auto& [worker, shift, day] : cells) timesheet_cell::syncJournal(db, tx, worker, shift, day);
    tx.commit();
    Outcome done;
    if (keptOperations > 0) {
        done.message = QStringLiteral("Расценки, по которым есть записи в журнале, не удалены: %1.").arg(keptOperations);
        done.title = kDeletion;
    }
    return done;
}

// ---------------------------------------------------------------- operations

Outcome saveOperation(const QSqlDatabase& db, const OperationFields& operation)
{
    if (!operation.picked || operation.kind <= 0 || operation.product <= 0 || operation.productClass < 0
        || operation.productClass > 1)
        return refused(Outcome::Refused, QStringLiteral("Все поля должны быть заполнены!"));
    const bool adding = operation.id == 0;
    const Params params = withId({{QStringLiteral("vid"), operation.kind},
                                  {QStringLiteral("naimen"), operation.productClass},
                                  {QStringLiteral("i_id"), operation.product}},
                                 operation.id);
    // Twin check and write under the book's lock, with the product and the kind held, so that
    // neither a twin saved by another client nor a deletion of what the operation points to
    // slips in between.
    Transaction tx(db);
    references::lockNames(db, QStringLiteral("accounts_dep.oper"));
    if (!references::hold(db, references::Row::Product, operation.product))
        return refused(Outcome::ReferenceGone, QStringLiteral("Выбранное изделие уже удалено другим пользователем."));
    if (!references::hold(db, references::Row::OperationKind, operation.kind))
        return refused(Outcome::ReferenceGone, QStringLiteral("Выбранный вид операции уже удалён другим пользователем."));
    if (count(db, adding ? kNewOperationTwins : kChangedOperationTwins, params) > 0)
        return refused(Outcome::Twin, QStringLiteral("Операция с такими параметрами уже заведена!"));
    Statement write(adding ? kInsertOperation : kUpdateOperation);
    write.setParams(params);
    QSqlQuery q = write.exec(db);
    int saved = 0;
    if (adding) saved = q.next() ? q.value(0).toInt() : 0;
    else saved = q.numRowsAffected();
    tx.commit();
    if (saved == 0)
        return refused(Outcome::RowGone, QStringLiteral("Операция не записана: её удалили на другом рабочем месте."));
    return {.id = adding ? saved : operation.id};
}

Outcome deleteOperation(const QSqlDatabase& db, int id)
{
    const Params operation = {{QStringLiteral("id"), id}};
    // The operation is locked first: a journal or hour entry or a norm being saved with it
    // (they hold it) is waited for, and the counts that follow see that entry.
    Transaction tx(db);
    if (!references::lockForDelete(db, references::Row::Operation, id)) return rowGone();
    Dataset use(db, kOperationUse);
    use.setParams(operation);
    use.open();
    const qlonglong journal = use.asLongLong(QStringLiteral("journal"));
    const qlonglong hours = use.asLongLong(QStringLiteral("hours"));
    use.close();
    // Entries left pointing at nothing would drop out of the journal while their hours stayed
    // in the timesheet.
    if (journal + hours > 0)
        return refused(Outcome::InUse, QStringLiteral("Операцию нельзя удалить: её используют записи журнала (%1) "
                                                      "и записи часов (%2).")
                                           .arg(journal)
                                           .arg(hours));
    execSql(db, kDeleteOperationNorms, operation);
    execSql(db, kDeleteOperation, operation);
    tx.commit();
    return {};
}

} // namespace books
