#include "refbooks/products_list.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "data/timesheet_cell.h"
#include "data/transaction.h"
#include "refbooks/pick_targets.h"
#include "refbooks/product_dialog.h"
#include "data/references.h"
#include "refbooks/refbook_dialog.h"
#include "ui/data_grid.h"

#include <QLineEdit>
#include <algorithm>
#include <tuple>

namespace {

const QString kIzdelSmena = QStringLiteral(
    "select count(*) as cnt from accounts_dep.smena s where s.i_id =:id_ii and s.\"data\">=:dt\n");
const QString kIiOper = QStringLiteral("select count(*) as cnt from accounts_dep.oper o where o.i_id =:id_ii\n");

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

// A timesheet cell: worker, shift, day.
using Cell = std::tuple<int, int, QDate>;

qlonglong count(const QSqlDatabase& db, const QString& sql, const Params& params)
{
    Dataset q(db, sql);
    q.setParams(params);
    q.open();
    return q.asLongLong(QStringLiteral("cnt"));
}

} // namespace

TForm3::TForm3(TDataModule6& dm, TForm7& form7, QWidget* parent)
    : RefBookWindow(dm.prompts(), QStringLiteral("Form3"), QStringLiteral("Изделия (3)"),
                    {.dataset = &dm.Izdel,
                     .columns = {{.field = QStringLiteral("marka"), .title = QStringLiteral("Марка изделия"), .width = 220},
                                 {.field = QStringLiteral("nom"), .title = QStringLiteral("Номенклатурная группа"), .width = 240},
                                 {.field = QStringLiteral("massa"), .title = QStringLiteral("Коробки"), .width = 90}},
                     .searchField = QStringLiteral("marka"),
                     .searchKeys = RefBookConfig::SearchKeys::UpDownOnly,
                     .searchAboveButtons = true,
                     .pick = {.hideSearchAfter = true, .nameField = QStringLiteral("marka")}},
                    handlers(this, &TForm3::Button1Click, &TForm3::Button2Click, &TForm3::Button3Click), parent),
      Izdel_Smena(dm.ADO_DB, kIzdelSmena, this), ii_oper(dm.ADO_DB, kIiOper, this), m_dm(dm), m_form7(form7)
{
    Izdel_Smena.setObjectName(QStringLiteral("Izdel_Smena"));
    ii_oper.setObjectName(QStringLiteral("ii_oper"));
    setTabOrder(Edit1, DBGrid1);
    resize(640, 480);
}

void TForm3::openPick(ProductPickTarget& target) { runPick(1, *target.pickedProductName(), target.pickedProductId()); }

void TForm3::Button1Click() { runDialog([this] { return m_form7.openForAdd(); }, true); }

void TForm3::Button2Click() { runDialog([this] { return m_form7.openForChange(m_dm.Izdel); }, true); }

std::pair<qlonglong, qlonglong> TForm3::countUse(int productId)
{
    // The first day of the previous month, in the year 2000: practically every entry counts.
    const int month = QDate::currentDate().month() == 1 ? 13 : QDate::currentDate().month();
    Izdel_Smena.close();
    Izdel_Smena.setParams({{QStringLiteral("id_ii"), productId},
                           {QStringLiteral("dt"), QDateTime(QDate(2000, month - 1, 1), QTime(0, 0))}});
    Izdel_Smena.open();
    const qlonglong entries = Izdel_Smena.asLongLong(QStringLiteral("cnt"));
    Izdel_Smena.close();
    ii_oper.close();
    ii_oper.setParam(QStringLiteral("id_ii"), productId);
    ii_oper.open();
    const qlonglong operations = ii_oper.asLongLong(QStringLiteral("cnt"));
    ii_oper.close();
    return {entries, operations};
}

void TForm3::Button3Click()
{
    const int productId = m_dm.Izdel.asInt(QStringLiteral("id"));
    const Params product = {{QStringLiteral("id"), productId}};
    const auto [entries, operations] = countUse(productId);

    const QString title = QStringLiteral("Удаление");
    const bool dropOperations =
        operations > 0 && m_prompts.question(QStringLiteral("По изделию есть расценки они будут удалены!!!"), title);
    const bool dropProduct = entries > 0
        ? m_prompts.question(QStringLiteral("По изделию есть операции в текущем, предыдущем месяцах и ранее, они будут "
                                            "удалены. Удалить изделие? "),
                             title)
        : m_prompts.question(QStringLiteral("Удалить изделие? "), title);

    qlonglong keptOperations = 0;
    if (dropOperations || dropProduct) {
        // The product and its operations are locked before anything is counted or deleted: an
        // operation or a journal entry being saved with them (they hold them) is waited for and
        // then seen. What was saved while the user answered was not agreed to: nothing goes.
        Transaction tx(m_dm.ADO_DB);
        if (!references::lockForDelete(m_dm.ADO_DB, references::Row::Product, productId)) {
            m_prompts.error(kRowGoneMessage, QStringLiteral("Ошибка"));
            m_list->reopen();
            return;
        }
        execSql(m_dm.ADO_DB, kLockOperations, product);
        const auto [entriesNow, operationsNow] = countUse(productId);
        if (entriesNow > entries || operationsNow > operations) {
            m_prompts.error(QStringLiteral("Изделие не удалено: пока шло удаление, по нему записаны новые операции или "
                                           "расценки. Список обновлён."),
                            title);
            m_list->reopen();
            return;
        }
        std::vector<Cell> cells;
        if (dropProduct) {
            Dataset deleted(m_dm.ADO_DB, kDeleteEntries);
            deleted.setParams(product);
            deleted.open();
            for (int r = 0; r < deleted.recordCount(); ++r)
                cells.emplace_back(Dataset::toLongLong(deleted.valueAt(r, QStringLiteral("w_id"))),
                                   Dataset::toLongLong(deleted.valueAt(r, QStringLiteral("smena"))),
                                   deleted.valueAt(r, QStringLiteral("data")).toDate());
        }
        if (dropOperations) {
            rowsWritten(m_dm.ADO_DB, kDeleteOperations, product);
            keptOperations = count(m_dm.ADO_DB, kKeptOperations, product);
        }
        if (dropProduct) rowsWritten(m_dm.ADO_DB, kDeleteProduct, product);
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
        for (const auto& [worker, shift, day] : cells) timesheet_cell::syncJournal(m_dm.ADO_DB, tx, worker, shift, day);
        tx.commit();
    }
    if (keptOperations > 0)
        m_prompts.error(QStringLiteral("Расценки, по которым есть записи в журнале, не удалены: %1.").arg(keptOperations),
                        title);
    m_list->reopen();
}
