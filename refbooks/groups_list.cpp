#include "refbooks/groups_list.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "refbooks/group_dialog.h"
#include "refbooks/pick_targets.h"
#include "rules/book_writes.h"

#include <QLineEdit>

namespace {

const QString kItem = QStringLiteral(
    R"(select *, case when b_excluded=1  then 'V' else '' end as s_excl from cmn_classifier.item where id_level=2 order by s_caption)");

} // namespace

TForm26::TForm26(TDataModule6& dm, TForm29& form29, QWidget* parent)
    : RefBookWindow(dm.prompts(), QStringLiteral("Form26"), QStringLiteral("Номенклатура (26)"),
                    {// The list's own query, adopted by the window once it stands.
                     .dataset = new Dataset(dm.ADO_DB, kItem),
                     .columns = {{.field = QStringLiteral("s_caption"), .title = QStringLiteral("Наименование"), .width = 300},
                                 {.field = QStringLiteral("s_excl"), .title = QStringLiteral("Не используется"), .width = 120}},
                     .searchField = QStringLiteral("s_caption"),
                     .buttons = {{RefBookConfig::Button::Add, QStringLiteral("Button2")},
                                 {RefBookConfig::Button::Change, QStringLiteral("Button3")},
                                 {RefBookConfig::Button::Delete, QStringLiteral("Button1")}},
                     .addIsDefault = false,
                     .pick = {.changeDefault = false, .resetSearch = false, .filter = QStringLiteral("b_excluded=0"),
                              .nameField = QStringLiteral("s_caption"), .trimName = false}},
                    handlers(this, &TForm26::Button2Click, &TForm26::DBGrid1DblClick, &TForm26::Button1Click), parent),
      item(m_list->dataset()), m_dm(dm), m_form29(form29)
{
    item.setParent(this);
    item.setObjectName(QStringLiteral("item"));
    resize(520, 460);
}

void TForm26::openPick(GroupPickTarget& target) { runPick(24, *target.pickedGroupName(), target.pickedGroupId()); }

void TForm26::Button2Click() { runDialog([this] { return m_form29.openForAdd(); }, true); }

void TForm26::DBGrid1DblClick() { runDialog([this] { return m_form29.openForChange(item); }, true); }

void TForm26::Button1Click()
{
    const int recNo = item.recNo();
    const books::Outcome deleted = books::deleteGroup(m_dm.ADO_DB, item.asInt(QStringLiteral("id")));
    if (!deleted.written()) m_prompts.error(deleted.message, deleted.title);
    // A group still in use stays where it is, the list as it was.
    if (deleted.kind == books::Outcome::InUse) return;
    m_list->reopen(recNo);
}
