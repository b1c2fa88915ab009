#include "refbooks/workers_list.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "refbooks/lookup_box.h"
#include "refbooks/pick_targets.h"
#include "refbooks/refbook_list.h"
#include "refbooks/worker_dialog.h"
#include "ui/data_grid.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {
const QString kDeletePerson = QStringLiteral(R"(delete from accounts_dep.person where id =:id)");
}

TForm5::TForm5(TDataModule6& dm, TForm2& form2, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_form2(form2), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Список рабочих"));

    RefBookConfig config;
    config.dataset = &dm.Workers;
    config.columns = {
        {.field = QStringLiteral("fio"), .title = QStringLiteral("ФИО"), .width = 280},
        {.field = QStringLiteral("s_staffpos_hl"), .title = QStringLiteral("Должность"), .width = 220},
    };
    config.searchField = QStringLiteral("fio");
    config.add = [this] { Button1Click(); };
    config.change = [this] { Button2Click(); };
    config.remove = [this] { Button3Click(); };
    m_list = new RefBookList(this, m_prompts, std::move(config));

    DBGrid1 = m_list->grid();
    DBGrid1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Edit1 = m_list->search();
    Button1 = m_list->button(RefBookConfig::Button::Add);
    Button2 = m_list->button(RefBookConfig::Button::Change);
    Button3 = m_list->button(RefBookConfig::Button::Delete);
    Button4 = m_list->exitButton();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    resize(620, 460);
}

void TForm5::openBrowse()
{
    m_list->prepareBrowse();
    m_dm.Workers.open();
    const auto closeWorkers = qScopeGuard([this] { m_dm.Workers.close(); });
    exec();
}

void TForm5::openPick(int tag, WorkerPickTarget& target)
{
    m_dm.Workers.open();
    const auto closeWorkers = qScopeGuard([this] { m_dm.Workers.close(); });
    m_list->preparePick(tag, [&target](const Dataset& worker) {
        target.pickedWorkerName()->setText(worker.asString(QStringLiteral("fio")).trimmed());
        target.pickedWorkerId() = worker.asInt(QStringLiteral("id"));
    });
    exec();
    m_list->setHandBack(nullptr);
}

void TForm5::Button1Click()
{
    m_form2.Edit1->clear();
    m_form2.setWindowTitle(QStringLiteral("Заведение данных нового работника"));
    m_form2.Tag = 1;
    m_form2.reopenLookups();
    m_form2.LCB_staffpos->clearPreset();
    m_form2.exec();
    m_list->reopen();
}

void TForm5::Button2Click()
{
    Dataset& workers = m_dm.Workers;
    const int recNo = workers.recNo();
    m_form2.setWindowTitle(QStringLiteral("Изменение данных работника"));
    m_form2.Tag = 2;
    m_form2.reopenLookups();
    m_form2.Edit1->setText(workers.asString(QStringLiteral("fio")).trimmed());
    m_form2.id = workers.asInt(QStringLiteral("id"));
    m_form2.LCB_staffpos->presetCaption(workers.asString(QStringLiteral("s_staffpos_hl")));
    m_form2.exec();
    m_list->reopen(recNo);
    m_list->closeWindow();
}

void TForm5::Button3Click()
{
    if (!m_prompts.question(QStringLiteral("Удалить работника?"), QStringLiteral("Удаление"))) return;
    Dataset& workers = m_dm.Workers;
    const int recNo = workers.recNo();
    m_form2.cmd_person.execute(kDeletePerson, {{QStringLiteral("id"), workers.asInt(QStringLiteral("id"))}});
    m_list->reopen(recNo);
}
