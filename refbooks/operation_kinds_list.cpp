#include "refbooks/operation_kinds_list.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "refbooks/operation_kind_dialog.h"
#include "refbooks/pick_targets.h"
#include "rules/book_writes.h"

#include <QLineEdit>

TForm8::TForm8(TDataModule6& dm, TForm9& form9, QWidget* parent)
    : RefBookWindow(dm.prompts(), QStringLiteral("Form8"), QStringLiteral("Виды операций (8)"),
                    {.dataset = &dm.Vid_oper,
                     .columns = {{.field = QStringLiteral("vid"), .title = QStringLiteral("Операции"), .width = 320}},
                     .searchField = QStringLiteral("vid"),
                     .searchVisible = false,
                     .browseLiftsFilter = true,
                     .pick = {.hideSearchAfter = true, .nameField = QStringLiteral("vid")}},
                    handlers(this, &TForm8::Button1Click, &TForm8::Button2Click, &TForm8::Button3Click), parent),
      m_dm(dm), m_form9(form9)
{
    setSizeGripEnabled(true);
    resize(520, 460);
}

void TForm8::openPick(OperationKindPickTarget& target) { runPick(1, *target.pickedKindName(), target.pickedKindId()); }

void TForm8::Button1Click() { runDialog([this] { return m_form9.openForAdd(); }, false); }

void TForm8::Button2Click() { runDialog([this] { return m_form9.openForChange(m_dm.Vid_oper); }, false); }

void TForm8::Button3Click()
{
    if (!m_prompts.question(QStringLiteral("Удалить вид операции?"), QStringLiteral("Удаление"))) return;
    const books::Outcome deleted = books::deleteOperationKind(m_dm.ADO_DB, m_dm.Vid_oper.asInt(QStringLiteral("id")));
    if (!deleted.written()) m_prompts.error(deleted.message, deleted.title);
    m_list->reopen(deleted.written() ? 0 : m_dm.Vid_oper.recNo());
}
