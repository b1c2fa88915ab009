#include "refbooks/product_dialog.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "refbooks/lookup_box.h"
#include "data/references.h"

#include <QKeyEvent>
#include <optional>
#include <QLineEdit>

namespace {

const QString kItem = QStringLiteral(R"(select * from cmn_classifier.item order by s_caption)");
const QString kActiveGroups = QStringLiteral("id_level=2 and b_excluded=0");

const QString kInsertProduct = QStringLiteral(
    R"(INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa, id_class_item)VALUES(:s_caption, '', 6, :massa, :id_class_item))");
const QString kUpdateProduct = QStringLiteral(
    R"(UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption=:s_caption, s_description='', id_msm_bs=6, massa=:massa, id_class_item=:id_class_item where id=:id)");
// massa is numeric(28, 6): 22 digits before the point.
constexpr double kMassaLimit = 1e22;

const NameRule kBrand = {.maxLength = 254,
    .tooLongMessage = QStringLiteral("Марка изделия не может быть длиннее %1 символов!"),
    .twinTable = QStringLiteral("accounts_dep.izdel"), .twinColumn = QStringLiteral("marka"),
    .twinMessage = QStringLiteral("Такая марка изделия уже заведена!")};

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
    Edit2->setText(formats::general(product.asDouble(QStringLiteral("massa"))).trimmed());
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
    const QString marka = Edit1->text().trimmed();
    const QString typed = Edit2->text().trimmed();
    const qlonglong group = Dataset::toLongLong(cb_item->keyValue());
    if (!nameAccepted(marka, kBrand, typed.isEmpty() || group == 0)) return;
    // A new product takes the number as typed, a change the number with the database's
    // delimiter; either way it travels as a value, so the server reads it with a full stop.
    const QString number = Tag == 1 ? typed : m_dm.NormalizeDecimal(typed);
    const std::optional<double> read = formats::parseNumber(number);
    if (!read) {
        m_prompts.error(QStringLiteral("Расценка должна быть числом!"), QStringLiteral("Ошибка"));
        return;
    }
    // The key filter lets neither a sign nor an exponent through, but text set on the field
    // without keys (a paste by assistive technology) passes it by: the number is judged here.
    if (*read < 0) {
        m_prompts.error(QStringLiteral("Расценка не может быть отрицательной!"), QStringLiteral("Ошибка"));
        return;
    }
    if (*read >= kMassaLimit) {
        m_prompts.error(QStringLiteral("Расценка слишком велика: до запятой не больше 22 цифр!"), QStringLiteral("Ошибка"));
        return;
    }
    Params params = {{QStringLiteral("s_caption"), marka},
                     {QStringLiteral("massa"), QString(number).replace(QLatin1Char(','), QLatin1Char('.'))},
                     {QStringLiteral("id_class_item"), group}};
    if (Tag != 1) params.append({QStringLiteral("id"), id});
    writeRow(Tag == 1 ? kInsertProduct : kUpdateProduct, params, marka, kBrand, [this, group] {
        if (references::hold(m_dm.ADO_DB, references::Row::Group, group)) return true;
        m_prompts.error(QStringLiteral("Выбранная номенклатурная группа уже удалена другим пользователем."),
                        QStringLiteral("Ошибка"));
        return false;
    });
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
