#include "refbooks/product_dialog.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/money.h"
#include "refbooks/lookup_box.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace {

const QString kItem = QStringLiteral(R"(select * from cmn_classifier.item order by s_caption)");
const QString kActiveGroups = QStringLiteral("id_level=2 and b_excluded=0");

} // namespace

TForm7::TForm7(TDataModule6& dm, QWidget* parent)
    : RefBookDialog(dm, QStringLiteral("Form7"), QStringLiteral("Данные об изделии"),
                    QStringLiteral("Заведение нового изделия (7)"), QStringLiteral("Изменение данных изделия (7)"), parent),
      item(dm.ADO_DB, kItem, this)
{
    setWindowTitle(QStringLiteral("Изделие"));
    item.setObjectName(QStringLiteral("item"));
    item.setFilterText(kActiveGroups);
    item.setFiltered(true);

    Edit1 = newEdit("Edit1");
    Edit2 = newEdit("Edit2");
    Edit2->setMaximumWidth(110);
    Edit2->installEventFilter(this);
    cb_item = new LookupBox(item, QStringLiteral("id"), QStringLiteral("s_caption"), this);
    cb_item->setObjectName(QStringLiteral("cb_item"));
    cb_item->setAccessibleName(QStringLiteral("Номенклатурная группа"));
    Label2 = addField("Label2", QStringLiteral("Марка"), Edit1);
    Label1 = addField("Label1", QStringLiteral("Расценка"), Edit2, 1);
    addRow(cb_item);
    setMinimumWidth(440);
}

void TForm7::fillForAdd()
{
    Edit1->clear();
    Edit2->clear();
    cb_item->reopen();
}

void TForm7::fillForChange(const Dataset& product)
{
    Edit1->setText(product.asString(QStringLiteral("marka")).trimmed());
    Edit2->setText(formats::general(Money::fromValue(product.value(QStringLiteral("massa")))).trimmed());
    cb_item->reopen();
    cb_item->chooseKey(product.asLongLong(QStringLiteral("id_class_item")));
}

void TForm7::done(int result)
{
    RefBookDialog::done(result);
    item.close();
}

void TForm7::Button1Click()
{
    // A new product takes the number as typed, a change the number with the database's
    // delimiter; either way it travels as a value, so the server reads it with a full stop.
    const QString typed = Edit2->text().trimmed();
    finish(books::saveProduct(m_dm.ADO_DB, {.id = savedId(),
                                            .brand = Edit1->text(),
                                            .price = Tag == 1 ? typed : m_dm.NormalizeDecimal(typed),
                                            .group = Dataset::toLongLong(cb_item->keyValue())}));
}

bool TForm7::Edit2KeyPress(QKeyEvent* key)
{
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint() || (key->modifiers() & Qt::ControlModifier)) return false;
    const QChar c = text.at(0);
    if (c.isDigit() && c.unicode() < 128) return false;
    if (c == QLatin1Char('.') || c == QLatin1Char(',')) Edit2->insert(QStringLiteral("."));
    return true;
}

bool TForm7::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit2 && event->type() == QEvent::KeyPress) return Edit2KeyPress(static_cast<QKeyEvent*>(event));
    return RefBookDialog::eventFilter(watched, event);
}
