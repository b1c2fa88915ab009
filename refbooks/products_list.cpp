#include "refbooks/products_list.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "refbooks/pick_targets.h"
#include "refbooks/product_dialog.h"
#include "rules/book_writes.h"
#include "ui/data_grid.h"

#include <QLineEdit>

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
      m_dm(dm), m_form7(form7)
{
    setTabOrder(Edit1, DBGrid1);
    resize(640, 480);
}

void TForm3::openPick(ProductPickTarget& target) { runPick(1, *target.pickedProductName(), target.pickedProductId()); }

void TForm3::Button1Click() { runDialog([this] { return m_form7.openForAdd(); }, true); }

void TForm3::Button2Click() { runDialog([this] { return m_form7.openForChange(m_dm.Izdel); }, true); }

void TForm3::Button3Click()
{
    const int productId = m_dm.Izdel.asInt(QStringLiteral("id"));
    const books::ProductUse use = books::productUse(m_dm.ADO_DB, productId);

    const QString title = QStringLiteral("Удаление");
    const bool dropOperations =
        use.operations > 0 && m_prompts.question(QStringLiteral("По изделию есть расценки они будут удалены!!!"), title);
    const bool dropProduct = use.entries > 0
        ? m_prompts.question(QStringLiteral("По изделию есть операции в текущем, предыдущем месяцах и ранее, они будут "
                                            "удалены. Удалить изделие? "),
                             title)
        : m_prompts.question(QStringLiteral("Удалить изделие? "), title);

    const books::Outcome deleted = books::deleteProduct(m_dm.ADO_DB, productId, use, dropOperations, dropProduct);
    if (!deleted.message.isEmpty()) m_prompts.error(deleted.message, deleted.title);
    m_list->reopen();
}
