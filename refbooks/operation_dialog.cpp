#include "refbooks/operation_dialog.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/prompts.h"
#include "data/transaction.h"
#include "data/references.h"
#include "ui/dialog_buttons.h"
#include "ui/guard.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>

namespace {

const QString kNewTwins = QStringLiteral(
    "select count(ID) as cnt from accounts_dep.OPER where vid=:vid and naimen=:naimen and i_id=:i_id");
const QString kChangedTwins = QStringLiteral(
    "select count(*) as cnt from accounts_dep.OPER where vid=:vid and naimen=:naimen and i_id=:i_id and id<>:id");
// A new operation starts with its own price 0 and no norms.
const QString kInsert = QStringLiteral(
    "insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values (:vid, :naimen, :i_id, 0) returning id");
const QString kUpdate = QStringLiteral(
    "update accounts_dep.oper set vid=:vid, naimen=:naimen,  i_id=:i_id where id=:id");

const QString kTwinMessage = QStringLiteral("Операция с такими параметрами уже заведена!");

} // namespace

TForm10::TForm10(TDataModule6& dm, QWidget* parent) : QDialog(parent), m_dm(dm), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form10"));

    GroupBox1 = new QGroupBox(QStringLiteral("Цена операции"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto named = [this](auto* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    Label1 = named(new QLabel(QStringLiteral("Марка изделия"), GroupBox1), "Label1");
    Edit1 = named(new QLineEdit(GroupBox1), "Edit1");
    Button3 = named(new QPushButton(QStringLiteral("..."), GroupBox1), "Button3");
    Label2 = named(new QLabel(QStringLiteral("Операция"), GroupBox1), "Label2");
    Edit2 = named(new QLineEdit(GroupBox1), "Edit2");
    Button4 = named(new QPushButton(QStringLiteral("..."), GroupBox1), "Button4");
    Label4 = named(new QLabel(QStringLiteral("Вид"), GroupBox1), "Label4");
    ComboBox1 = named(new QComboBox(GroupBox1), "ComboBox1");
    ComboBox1->addItems({QStringLiteral("Готовая продукция"), QStringLiteral("Заготовки")});
    for (QLineEdit* e : {Edit1, Edit2}) {
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        e->setMinimumWidth(260);
    }
    for (QPushButton* b : {Button3, Button4}) {
        b->setAutoDefault(false);
        b->setFixedWidth(32);
    }
    Label1->setBuddy(Edit1);
    Label2->setBuddy(Edit2);
    Label4->setBuddy(ComboBox1);

    auto* grid = new QGridLayout(GroupBox1);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(Button3, 0, 2);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(Button4, 1, 2);
    grid->addWidget(Label4, 2, 0);
    grid->addWidget(ComboBox1, 2, 1, 1, 2);

    const DialogButtons buttons = addDialogButtons(this, GroupBox1, QStringLiteral("Записать"));
    Button1 = buttons.Button1;
    Button2 = buttons.Button2;
    setTabOrder(Button3, Button4);
    setTabOrder(Button4, ComboBox1);
    setTabOrder(ComboBox1, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button4Click(); }));
}

int TForm10::openForAdd()
{
    Edit1->clear();
    Edit2->clear();
    m_pickedBrand.clear();
    m_pickedKind.clear();
    ComboBox1->setCurrentIndex(0);
    setWindowTitle(QStringLiteral("Заведение новой цены за операцию"));
    Tag = 1;
    m_operationId = 0;
    return exec() == QDialog::Accepted ? m_operationId : 0;
}

bool TForm10::openForChange(const Dataset& oper)
{
    setWindowTitle(QStringLiteral("Изменение данных о цене за операцию"));
    Tag = 2;
    Edit1->setText(oper.asString(QStringLiteral("marka")).trimmed());
    Edit2->setText(oper.asString(QStringLiteral("vid")).trimmed());
    m_pickedBrand = Edit1->text();
    m_pickedKind = Edit2->text();
    ComboBox1->setCurrentIndex(oper.asInt(QStringLiteral("naimen")) == 0 ? 0 : 1);
    sel_i_id = oper.asInt(QStringLiteral("i_id"));
    sel_vid = oper.asInt(QStringLiteral("oper_vid"));
    m_operationId = oper.asInt(QStringLiteral("id"));
    return exec() == QDialog::Accepted;
}

void TForm10::Button1Click()
{
    const int naimen = ComboBox1->currentIndex();
    // A name counts only as a pick (or the opened operation) left it: text set on the
    // read-only fields otherwise (by assistive technology) would save the ids of an earlier
    // pick under it. The class must be one of the two offered.
    if (Edit1->text().trimmed().isEmpty() || Edit2->text().trimmed().isEmpty() || Edit1->text() != m_pickedBrand
        || Edit2->text() != m_pickedKind || sel_vid <= 0 || sel_i_id <= 0 || naimen < 0 || naimen > 1) {
        m_prompts.error(QStringLiteral("Все поля должны быть заполнены!"), QStringLiteral("Ошибка"));
        return;
    }
    Params params = {{QStringLiteral("vid"), sel_vid}, {QStringLiteral("naimen"), naimen},
                     {QStringLiteral("i_id"), sel_i_id}};
    if (Tag != 1) params.append({QStringLiteral("id"), m_operationId});
    int saved = 0;
    {
        // Twin check and write under the book's lock, with the product and the kind held, so
        // that neither a twin saved by another client nor a deletion of what the operation
        // points to slips in between.
        Transaction tx(m_dm.ADO_DB);
        references::lockNames(m_dm.ADO_DB, QStringLiteral("accounts_dep.oper"));
        if (!references::hold(m_dm.ADO_DB, references::Row::Product, sel_i_id)) {
            m_prompts.error(QStringLiteral("Выбранное изделие уже удалено другим пользователем."), QStringLiteral("Ошибка"));
            return;
        }
        if (!references::hold(m_dm.ADO_DB, references::Row::OperationKind, sel_vid)) {
            m_prompts.error(QStringLiteral("Выбранный вид операции уже удалён другим пользователем."),
                            QStringLiteral("Ошибка"));
            return;
        }
        if (m_dm.CheckDuplicate(Tag == 1 ? kNewTwins : kChangedTwins, params)) {
            m_prompts.error(kTwinMessage, QStringLiteral("Ошибка"));
            return;
        }
        Statement write(Tag == 1 ? kInsert : kUpdate);
        write.setParams(params);
        QSqlQuery q = write.exec(m_dm.ADO_DB);
        if (Tag == 1) {
            saved = q.next() ? q.value(0).toInt() : 0;
            m_operationId = saved;
        } else {
            saved = q.numRowsAffected();
        }
        tx.commit();
    }
    m_dm.Oper.close();
    m_dm.Oper.open();
    if (saved == 0) {
        m_prompts.error(QStringLiteral("Операция не записана: её удалили на другом рабочем месте."), QStringLiteral("Ошибка"));
        reject();
        return;
    }
    accept();
}

void TForm10::Button3Click()
{
    if (pickProduct) pickProduct(*this);
    m_pickedBrand = Edit1->text();
}

void TForm10::Button4Click()
{
    if (pickKind) pickKind(*this);
    m_pickedKind = Edit2->text();
}

void TForm10::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    Button3->setFocus(Qt::OtherFocusReason);
}
