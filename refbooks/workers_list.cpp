#include "refbooks/workers_list.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "refbooks/pick_targets.h"
#include "rules/book_writes.h"
#include "refbooks/worker_dialog.h"
#include "ui/data_grid.h"

#include <QLineEdit>

TForm5::TForm5(TDataModule6& dm, TForm2& form2, QWidget* parent)
    : RefBookWindow(dm.prompts(), QStringLiteral("Form5"), QStringLiteral("Список рабочих"),
                    {.dataset = &dm.Workers,
                     .columns = {{.field = QStringLiteral("fio"), .title = QStringLiteral("ФИО"), .width = 280},
                                 {.field = QStringLiteral("s_staffpos_hl"), .title = QStringLiteral("Должность"), .width = 220}},
                     .searchField = QStringLiteral("fio"),
                     .pick = {.nameField = QStringLiteral("fio")}},
                    handlers(this, &TForm5::Button1Click, &TForm5::Button2Click, &TForm5::Button3Click), parent),
      m_dm(dm), m_form2(form2)
{
    DBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    resize(620, 460);
}

void TForm5::openPick(int tag, WorkerPickTarget& target) { runPick(tag, *target.pickedWorkerName(), target.pickedWorkerId()); }

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
    const books::Outcome deleted = books::deleteWorker(m_dm.ADO_DB, workers.asInt(QStringLiteral("id")));
    if (!deleted.written()) m_prompts.error(deleted.message, deleted.title);
    m_list->reopen(recNo);
}
