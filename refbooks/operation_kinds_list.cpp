#include "refbooks/operation_kinds_list.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "refbooks/operation_kind_dialog.h"
#include "refbooks/pick_targets.h"
#include "refbooks/refbook_list.h"
#include "ui/data_grid.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

TForm8::TForm8(TDataModule6& dm, TForm9& form9, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_form9(form9), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Виды операций (8)"));
    setSizeGripEnabled(true);
    dm.Vid_oper.setUpdateTable(QStringLiteral("accounts_dep.vid_oper"), QStringLiteral("id"));

    RefBookConfig config;
    config.dataset = &dm.Vid_oper;
    config.columns = {{.field = QStringLiteral("vid"), .title = QStringLiteral("Операции"), .width = 320}};
    config.searchField = QStringLiteral("vid");
    config.searchVisible = false;
    config.add = [this] { Button1Click(); };
    config.change = [this] { Button2Click(); };
    config.remove = [this] { Button3Click(); };
    m_list = new RefBookList(this, m_prompts, std::move(config));

    DBGrid1 = m_list->grid();
    Edit1 = m_list->search();
    Button1 = m_list->button(RefBookConfig::Button::Add);
    Button2 = m_list->button(RefBookConfig::Button::Change);
    Button3 = m_list->button(RefBookConfig::Button::Delete);
    Button4 = m_list->exitButton();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    resize(520, 460);
}

void TForm8::openBrowse()
{
    m_list->prepareBrowse();
    m_dm.Vid_oper.setFiltered(false);
    m_dm.Vid_oper.open();
    const auto closeKinds = qScopeGuard([this] { m_dm.Vid_oper.close(); });
    exec();
}

void TForm8::openPick(OperationKindPickTarget& target)
{
    m_dm.Vid_oper.open();
    const auto afterwards = qScopeGuard([this] {
        m_list->setHandBack(nullptr);
        m_list->setChangeDefault(false);
        m_list->hideSearch();
        m_dm.Vid_oper.close();
    });
    m_list->preparePick(1, [&target](const Dataset& kind) {
        target.pickedKindName()->setText(kind.asString(QStringLiteral("vid")).trimmed());
        target.pickedKindId() = kind.asInt(QStringLiteral("id"));
    });
    exec();
}

void TForm8::Button1Click()
{
    m_form9.Edit1->clear();
    m_form9.setWindowTitle(QStringLiteral("Заведение нового вида операций"));
    m_form9.Tag = 1;
    m_form9.exec();
}

void TForm8::Button2Click()
{
    m_form9.setWindowTitle(QStringLiteral("Изменение данных вида операции"));
    m_form9.Tag = 2;
    m_form9.Edit1->setText(m_dm.Vid_oper.asString(QStringLiteral("vid")).trimmed());
    m_form9.exec();
}

void TForm8::Button3Click()
{
    if (!m_prompts.question(QStringLiteral("Удалить вид операции?"), QStringLiteral("Удаление"))) return;
    m_dm.Vid_oper.remove();
    m_list->reopen();
}
