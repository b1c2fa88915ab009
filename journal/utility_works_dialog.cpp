#include "journal/utility_works_dialog.h"
#include "data/data_module.h"
#include "rules/entry_limits.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "data/references.h"
#include "data/statement.h"
#include "data/transaction.h"
#include "data/timesheet_cell.h"
#include "journal/utility_works_register.h"
#include "ui/guard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSqlQuery>
#include <QVBoxLayout>

namespace {

const QString kTypeWork = QStringLiteral(
    "select vo.id, vo.vid, n.price, (n.price*:cnt) as summ from accounts_dep.vid_oper vo,accounts_dep.norm n, accounts_dep.oper o \n"
    "where n.o_id =o.id and o.vid=vo.id and (vo.id = 7777 or vo.id = 7778)");

const QString kInsert = QStringLiteral(
    "insert into accounts_dep.fatigue (id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price, i_holiday, i_night) "
    "values (:id_nom, :id_o, :id_p, :d_date, :i_mnth, :i_year, :i_smena, :cnt, :price, :i_holiday, :i_night) returning d_date");

// A change writes only over the entry as it was read: another client's change in between
// leaves no row to update and is reported instead of being overwritten.
const QString kUpdate = QStringLiteral(
    "update accounts_dep.fatigue set id_nom=:id_nom, id_o=:id_o, id_p=:id_p, cnt=:cnt, price=:price, "
    "i_holiday=:i_holiday, i_night=:i_night where id=:id and id_nom is not distinct from :old_id_nom "
    "and id_o is not distinct from :old_id_o and id_p is not distinct from :old_id_p "
    "and cnt is not distinct from :old_cnt and price is not distinct from :old_price "
    "and i_holiday is not distinct from :old_i_holiday and i_night is not distinct from :old_i_night returning d_date");

// What the entry makes of the worker's day in its timesheet row and of his month of hour-paid
// work, read after the write under the month lock.
const QString kWorkerTotals = QStringLiteral(
    "select coalesce(sum(cnt) filter (where id_o=:kind and i_night=:night and d_date=:day), 0) as day_hours, "
    "coalesce(abs(sum(cnt*price)), 0) as month_amount "
    "from accounts_dep.fatigue where id_p=:worker and d_date>=:month_start and d_date<:next_month");

/// Most hours one entry takes: what the field lets one type.
constexpr qint64 kEntryHours = 999;

/// Why the worker's totals with the entry cannot be kept; empty when they can.
QString totalsRefusal(const QSqlDatabase& db, int worker, int kind, int night, const QDate& day)
{
    const QDate monthStart(day.year(), day.month(), 1);
    Statement totals(kWorkerTotals);
    totals.setParams({{QStringLiteral("kind"), kind}, {QStringLiteral("night"), night}, {QStringLiteral("day"), day},
                      {QStringLiteral("worker"), worker}, {QStringLiteral("month_start"), monthStart},
                      {QStringLiteral("next_month"), monthStart.addMonths(1)}});
    QSqlQuery row = totals.exec(db);
    row.next();
    if (row.value(0).toLongLong() > entry_limits::kDayHours)
        return QStringLiteral("У работника за этот день набралось бы больше %1 ч. Запись не сохранена: проверьте часы.")
            .arg(entry_limits::kDayHours);
    if (row.value(1).toDouble() >= double(entry_limits::kMonthAmount))
        return QStringLiteral("Сумма работника за месяц превысила бы %1 р. Запись не сохранена: проверьте часы.")
            .arg(entry_limits::monthAmountText());
    return {};
}

const QStringList kCompared = {"id_nom", "id_o", "id_p", "cnt", "price", "i_holiday", "i_night"};

} // namespace

TForm24::TForm24(TDataModule6& dm, TForm25& form25, QWidget* parent)
    : QDialog(parent), type_work(dm.ADO_DB, kTypeWork), m_dm(dm), m_form25(form25), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form24"));
    setWindowTitle(QStringLiteral("Хоз. работы/среднесдельная (24)"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    type_work.setObjectName(QStringLiteral("type_work"));
    type_work.setParam(QStringLiteral("cnt"), 0);

    auto* layout = new QVBoxLayout(this);
    GroupBox1 = new QGroupBox(QStringLiteral("Закрыто мастером"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* grid = new QGridLayout(GroupBox1);
    auto field = [&](const char* name, bool readOnly) {
        auto* e = new QLineEdit(GroupBox1);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(readOnly);
        if (readOnly) e->setFocusPolicy(Qt::NoFocus);
        return e;
    };
    auto label = [&](const char* name, const QString& caption, QWidget* buddy) {
        auto* l = new QLabel(caption, GroupBox1);
        l->setObjectName(QLatin1String(name));
        l->setBuddy(buddy);
        return l;
    };
    auto pickButton = [&](const char* name) {
        auto* b = new QPushButton(QStringLiteral("..."), GroupBox1);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        b->setFixedWidth(30);
        return b;
    };
    Edit1 = field("Edit1", true);
    Label1 = label("Label1", QStringLiteral("ФИО"), Edit1);
    Button3 = pickButton("Button3");
    Edit2 = field("Edit2", true);
    Label2 = label("Label2", QStringLiteral("Номенклатура"), Edit2);
    Button4 = pickButton("Button4");
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Edit1, 0, 1, 1, 6);
    grid->addWidget(Button3, 0, 7);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(Edit2, 1, 1, 1, 6);
    grid->addWidget(Button4, 1, 7);

    cb_type_work = new QComboBox(GroupBox1);
    cb_type_work->setObjectName(QStringLiteral("cb_type_work"));
    Edit6 = field("Edit6", false);
    Edit6->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), Edit6));
    DBEdit1 = field("DBEdit1", true);
    DBEdit1->setEnabled(false);
    DBEdit2 = field("DBEdit2", true);
    DBEdit2->setEnabled(false);
    grid->addWidget(label("LabelKind", QStringLiteral("Работа"), cb_type_work), 2, 0);
    grid->addWidget(cb_type_work, 2, 1);
    grid->addWidget(Edit6, 2, 2);
    grid->addWidget(label("Label8", QStringLiteral("ч."), Edit6), 2, 3);
    grid->addWidget(label("LabelPrice", QStringLiteral("Цена"), DBEdit1), 2, 4);
    grid->addWidget(DBEdit1, 2, 5);
    grid->addWidget(label("Label3", QStringLiteral("р.    Сумма"), DBEdit2), 3, 4);
    grid->addWidget(DBEdit2, 3, 5);
    CBox1 = new QCheckBox(QStringLiteral("Ночные"), GroupBox1);
    CBox1->setObjectName(QStringLiteral("CBox1"));
    grid->addWidget(CBox1, 3, 1);
    layout->addWidget(GroupBox1);

    auto* bar = new QHBoxLayout;
    bar->addStretch();
    Button1 = new QPushButton(QStringLiteral("Записать"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setDefault(true);
    Button6 = new QPushButton(QStringLiteral("Выход"), this);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button6->setAutoDefault(false);
    bar->addWidget(Button1);
    bar->addWidget(Button6);
    layout->addLayout(bar);

    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button6, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button3Click(); }));
    connect(Button4, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button4Click(); }));
    connect(cb_type_work, &QComboBox::currentIndexChanged, this, [this] { kindChanged(); });
    connect(Edit6, &QLineEdit::textChanged, this, [this] { updateSum(); });
    connect(CBox1, &QCheckBox::toggled, this, [this] { updateSum(); });
}

double TForm24::hourlyPrice(double normPrice, bool dayOff, bool night)
{
    double price = normPrice;
    if (dayOff) price *= 2.0;
    if (night) price *= 1.2;
    return price;
}

bool TForm24::dayOff() const { return m_form25.CBox1->isChecked(); }

bool TForm24::openForAdd()
{
    Tag = 0;
    m_id = 0;
    Edit1->clear();
    Edit2->clear();
    Edit6->setText(QStringLiteral("0"));
    CBox1->setChecked(false);
    CBox1->setEnabled(true);
    sel_id_nom = 0;
    sel_id_p = 0;
    return run();
}

bool TForm24::openForChange(const Dataset& row)
{
    Tag = 1;
    m_id = row.asInt(QStringLiteral("id"));
    m_old.clear();
    for (const QString& column : kCompared) m_old.append({QStringLiteral("old_") + column, row.value(column)});
    m_oldWorker = row.asInt(QStringLiteral("id_p"));
    m_oldKind = row.asInt(QStringLiteral("id_o"));
    Edit1->setText(row.asString(QStringLiteral("fio")));
    Edit2->setText(row.asString(QStringLiteral("s_caption")));
    Edit6->setText(row.asString(QStringLiteral("cnt")));
    sel_id_nom = row.asInt(QStringLiteral("id_nom"));
    sel_id_p = m_oldWorker;
    CBox1->setChecked(row.asInt(QStringLiteral("i_night")) != 0);
    CBox1->setEnabled(false);
    return run();
}

bool TForm24::run()
{
    type_work.open();
    const int kind = Tag == 0 ? 7777 : m_oldKind;
    cb_type_work->blockSignals(true);
    cb_type_work->clear();
    for (type_work.first(); !type_work.eof(); type_work.next()) {
        const int id = type_work.asInt(QStringLiteral("id"));
        if (cb_type_work->findData(id) < 0) cb_type_work->addItem(type_work.asString(QStringLiteral("vid")), id);
    }
    cb_type_work->setCurrentIndex(cb_type_work->findData(kind));
    cb_type_work->blockSignals(false);
    kindChanged();
    const int result = exec();
    type_work.close();
    return result == QDialog::Accepted;
}

void TForm24::kindChanged()
{
    const QVariant kind = cb_type_work->currentData();
    const bool found = kind.isValid() && type_work.isOpen() && type_work.locate(QStringLiteral("id"), kind);
    DBEdit1->setText(found ? formats::general(type_work.value(QStringLiteral("price")), true) : QString());
    updateSum();
}

void TForm24::updateSum()
{
    const auto norm = formats::parseNumber(DBEdit1->text());
    if (!norm) {
        DBEdit2->clear();
        return;
    }
    DBEdit2->setText(formats::general(Edit6->text().toInt() * hourlyPrice(*norm, dayOff(), CBox1->isChecked())));
}

void TForm24::Button3Click()
{
    if (pickWorker) pickWorker(*this);
}

void TForm24::Button4Click()
{
    if (pickGroup) pickGroup(*this);
}

void TForm24::Button1Click()
{
    if (sel_id_nom == 0 || sel_id_p == 0) {
        m_prompts.error(QStringLiteral("Все поля должны быть заполнены!"), QStringLiteral("Ошибка"));
        return;
    }
    // Checked whatever put the text into the field: typing is filtered, other means are not.
    const auto typed = entry_limits::wholeNumber(Edit6->text(), kEntryHours);
    if (!typed && !Edit6->text().trimmed().isEmpty()) {
        m_prompts.error(entry_limits::allDigits(Edit6->text())
                            ? QStringLiteral("Слишком большое значение в поле «ч.»: не больше %1.").arg(kEntryHours)
                            : QStringLiteral("В поле «ч.» должно быть целое число не меньше 0."),
                        QStringLiteral("Ошибка"));
        return;
    }
    const int hours = typed ? int(*typed) : 0;
    if (hours < 1) {
        m_prompts.error(QStringLiteral("Нужно завести количество!"), QStringLiteral("Ошибка"));
        return;
    }
    const QVariant kindData = cb_type_work->currentData();
    const auto norm = formats::parseNumber(DBEdit1->text());
    if (!kindData.isValid() || !norm) {
        m_prompts.error(QStringLiteral("Для этого вида работ не задана цена: заведите норму его операции."), QStringLiteral("Ошибка"));
        return;
    }
    const int kind = kindData.toInt();
    const bool night = CBox1->isChecked();
    const QDate day = m_form25.DTPcker1->date();
    Params values{{QStringLiteral("id_nom"), sel_id_nom},
                  {QStringLiteral("id_o"), kind},
                  {QStringLiteral("id_p"), sel_id_p},
                  {QStringLiteral("cnt"), hours},
                  {QStringLiteral("price"), hourlyPrice(*norm, dayOff(), night)},
                  {QStringLiteral("i_holiday"), dayOff() ? 1 : 0},
                  {QStringLiteral("i_night"), night ? 1 : 0}};
    bool changedMeanwhile = false;
    QString refusal;
    {
        Transaction tx(m_dm.ADO_DB);
        // The worker and the nomenclature group are held to the end of the save, as a journal
        // entry holds its own: a deletion waits for the save, or went first and the save refuses.
        if (!references::hold(m_dm.ADO_DB, references::Row::Worker, sel_id_p))
            refusal = QStringLiteral("Работник удалён из справочника другим пользователем. Запись не сохранена: "
                                     "выберите работника заново.");
        else if (!references::hold(m_dm.ADO_DB, references::Row::Group, sel_id_nom))
            refusal = QStringLiteral("Номенклатурная группа удалена другим пользователем. Запись не сохранена: "
                                     "выберите группу заново.");
        if (!refusal.isEmpty()) {
            m_prompts.error(refusal, QStringLiteral("Ошибка"));
            return;
        }
        Statement save(Tag == 0 ? kInsert : kUpdate);
        if (Tag == 0) {
            values += Params{{QStringLiteral("d_date"), day}, {QStringLiteral("i_mnth"), day.month()},
                             {QStringLiteral("i_year"), day.year()}, {QStringLiteral("i_smena"), m_form25.smena_no}};
        } else {
            values += m_old;
            values.append({QStringLiteral("id"), m_id});
        }
        save.setParams(values);
        QSqlQuery saved = save.exec(m_dm.ADO_DB);
        changedMeanwhile = !saved.next();
        if (!changedMeanwhile) {
            const QDate entryDay = saved.value(0).toDate();
            saved.finish();
            refusal = totalsRefusal(m_dm.ADO_DB, sel_id_p, kind, night ? 1 : 0, entryDay);
            if (!refusal.isEmpty()) {
                m_prompts.error(refusal, QStringLiteral("Ошибка"));
                return;
            }
            timesheet_cell::syncHours(m_dm.ADO_DB, tx, sel_id_p, kind, night ? 1 : 0, entryDay);
            // An entry moved to another worker or kind leaves hours behind in the cell it left.
            if (Tag != 0 && (m_oldWorker != sel_id_p || m_oldKind != kind))
                timesheet_cell::syncHours(m_dm.ADO_DB, tx, m_oldWorker, m_oldKind, night ? 1 : 0, entryDay);
            tx.commit();
        }
    }
    m_form25.reloadKeepingPlace();
    if (changedMeanwhile)
        m_prompts.error(QStringLiteral("Запись изменена или удалена другим пользователем. Список обновлён."),
                        QStringLiteral("Ошибка"));
    accept();
}
