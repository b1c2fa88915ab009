#include "refbooks/groups_list.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "data/transaction.h"
#include "refbooks/group_dialog.h"
#include "refbooks/pick_targets.h"
#include "data/references.h"

#include <QLineEdit>

namespace {

const QString kItem = QStringLiteral(
    R"(select *, case when b_excluded=1  then 'V' else '' end as s_excl from cmn_classifier.item where id_level=2 order by s_caption)");
const QString kItemGds = QStringLiteral(
    "select (select count(gds.*) cnt_gds from cmn_gds_and_srv.gds_and_srv gds where gds.id_class_item = :id_nom3),\n"
    "(select count(f.*) cnt_f from accounts_dep.fatigue f where f.id_nom = :id_nom1),\n"
    "(select count(s.*) cnt_s from accounts_dep.smena s,cmn_gds_and_srv.gds_and_srv gds where gds.id = s.i_id and gds.id_class_item = :id_nom2)");
const QString kDeleteGroup = QStringLiteral(R"(DELETE FROM cmn_classifier.item WHERE id=:id)");

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
      item(m_list->dataset()), item_gds(dm.ADO_DB, kItemGds, this), m_dm(dm), m_form29(form29)
{
    item.setParent(this);
    item.setObjectName(QStringLiteral("item"));
    item_gds.setObjectName(QStringLiteral("item_gds"));
    resize(520, 460);
}

void TForm26::openPick(GroupPickTarget& target) { runPick(24, *target.pickedGroupName(), target.pickedGroupId()); }

void TForm26::Button2Click() { runDialog([this] { return m_form29.openForAdd(); }, true); }

void TForm26::DBGrid1DblClick() { runDialog([this] { return m_form29.openForChange(item); }, true); }

void TForm26::Button1Click()
{
    const int groupId = item.asInt(QStringLiteral("id"));
    const int recNo = item.recNo();
    const QString title = QStringLiteral("Удаление");
    {
        Transaction tx(m_dm.ADO_DB);
        // The group is locked for the guards and the delete; a product or an hour entry saved
        // meanwhile holds it, so it either comes first and is counted, or waits and finds the
        // group gone.
        if (!references::lockForDelete(m_dm.ADO_DB, references::Row::Group, groupId)) {
            m_prompts.error(kRowGoneMessage, QStringLiteral("Ошибка"));
        } else {
            item_gds.close();
            item_gds.setParams({{QStringLiteral("id_nom1"), groupId}, {QStringLiteral("id_nom2"), groupId},
                                {QStringLiteral("id_nom3"), groupId}});
            item_gds.open();
            const qlonglong products = item_gds.asLongLong(QStringLiteral("cnt_gds"));
            const qlonglong entries = item_gds.asLongLong(QStringLiteral("cnt_f")) + item_gds.asLongLong(QStringLiteral("cnt_s"));
            item_gds.close();
            if (products > 0) {
                m_prompts.error(QStringLiteral("В номенклатурной группе есть изделия."), title);
                return;
            }
            if (entries > 0) {
                m_prompts.error(QStringLiteral("В номенклатурной группе есть операции."), title);
                return;
            }
            rowsWritten(m_dm.ADO_DB, kDeleteGroup, {{QStringLiteral("id"), groupId}});
            tx.commit();
        }
    }
    m_list->reopen(recNo);
}
