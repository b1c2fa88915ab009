#include "refbooks/operation_kinds_list.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "data/transaction.h"
#include "refbooks/operation_kind_dialog.h"
#include "refbooks/pick_targets.h"
#include "refbooks/refbook_dialog.h"
#include "data/references.h"

#include <QLineEdit>

namespace {

// The kind is locked first, so that an operation being saved with it (which holds it) is
// waited for; the count that follows sees that operation and the kind stays.
const QString kKindUsers = QStringLiteral(R"(select count(*) as cnt from accounts_dep.oper where vid=:id)");
const QString kDeleteKind = QStringLiteral(R"(delete from accounts_dep.vid_oper where id=:id)");

} // namespace

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
    const int id = m_dm.Vid_oper.asInt(QStringLiteral("id"));
    const Params kind = {{QStringLiteral("id"), id}};
    qlonglong used = 0;
    bool deleted = false;
    {
        Transaction tx(m_dm.ADO_DB);
        if (references::lockForDelete(m_dm.ADO_DB, references::Row::OperationKind, id)) {
            Dataset users(m_dm.ADO_DB, kKindUsers);
            users.setParams(kind);
            users.open();
            used = users.asLongLong(QStringLiteral("cnt"));
            deleted = used == 0 && rowsWritten(m_dm.ADO_DB, kDeleteKind, kind) > 0;
            tx.commit();
        }
    }
    if (used > 0)
        m_prompts.error(QStringLiteral("Вид операции нельзя удалить: операций этого вида — %1.").arg(used),
                        QStringLiteral("Удаление"));
    else if (!deleted)
        m_prompts.error(kRowGoneMessage, QStringLiteral("Ошибка"));
    m_list->reopen(deleted ? 0 : m_dm.Vid_oper.recNo());
}
