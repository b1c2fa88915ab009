#include "refbooks/workers_list.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "data/transaction.h"
#include "refbooks/pick_targets.h"
#include "refbooks/refbook_dialog.h"
#include "refbooks/worker_dialog.h"
#include "ui/data_grid.h"

#include <QLineEdit>

namespace {

const QString kDeletePerson = QStringLiteral(R"(delete from accounts_dep.person where id =:id)");

RefBookConfig workersConfig(TDataModule6& dm)
{
    RefBookConfig config;
    config.dataset = &dm.Workers;
    config.columns = {
        {.field = QStringLiteral("fio"), .title = QStringLiteral("ФИО"), .width = 280},
        {.field = QStringLiteral("s_staffpos_hl"), .title = QStringLiteral("Должность"), .width = 220},
    };
    config.searchField = QStringLiteral("fio");
    return config;
}

} // namespace

TForm5::TForm5(TDataModule6& dm, TForm2& form2, QWidget* parent)
    : RefBookWindow(dm.prompts(), QStringLiteral("Form5"), QStringLiteral("Список рабочих"), [&] {
          RefBookConfig config = workersConfig(dm);
          config.add = [this] { Button1Click(); };
          config.change = [this] { Button2Click(); };
          config.remove = [this] { Button3Click(); };
          return config;
      }(), parent),
      m_dm(dm), m_form2(form2)
{
    DBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    resize(620, 460);
}

void TForm5::openBrowse() { runBrowse(); }

void TForm5::openPick(int tag, WorkerPickTarget& target)
{
    runPick(tag, [&target](const Dataset& worker) {
        target.pickedWorkerName()->setText(worker.asString(QStringLiteral("fio")).trimmed());
        target.pickedWorkerId() = worker.asInt(QStringLiteral("id"));
    });
}

void TForm5::Button1Click()
{
    m_form2.openForAdd();
    m_list->reopen();
}

void TForm5::Button2Click()
{
    const int recNo = m_dm.Workers.recNo();
    m_form2.openForChange(m_dm.Workers);
    m_list->reopen(recNo);
    m_list->closeWindow();
}

void TForm5::Button3Click()
{
    if (!m_prompts.question(QStringLiteral("Удалить работника?"), QStringLiteral("Удаление"))) return;
    Dataset& workers = m_dm.Workers;
    const int recNo = workers.recNo();
    Transaction tx(m_dm.ADO_DB);
    const bool deleted = rowsWritten(m_dm.ADO_DB, kDeletePerson, {{QStringLiteral("id"), workers.asInt(QStringLiteral("id"))}}) > 0;
    tx.commit();
    if (!deleted) m_prompts.error(kRowGoneMessage, QStringLiteral("Ошибка"));
    m_list->reopen(recNo);
}
