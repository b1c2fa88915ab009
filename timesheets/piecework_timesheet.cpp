#include "timesheets/piecework_timesheet.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "timesheets/day_columns.h"
#include "timesheets/timesheet_progress.h"
#include "ui/data_grid.h"
#include "ui/guard.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {

const QString kDayLines = timesheet_days::dayLines(QStringLiteral("sum(h. d%1) as d%1"), QStringLiteral(",\n"));

// A sheet row is a worker of the timesheet rows (h.w_id, the worker id of the journal and hour
// entries), named as the journal finds him: by person id or by person code. When several person
// rows match, the one whose code names him wins, then the lowest id, so that a worker is one row
// with one name; a worker no person row names is left out, as in the journal. Each match is one
// probe through the primary key or the person_code_id index.
const QString kWorkerName = QStringLiteral(
    "cross join lateral (select p.s_caption from cmn_contractor.person p\n"
    "where p.id=h.w_id or accounts_dep.person_code_id(p.s_code)=h.w_id\n"
    "order by accounts_dep.person_code_id(p.s_code) is distinct from h.w_id, p.id limit 1) p\n");

const QString kH_Tabel0 = QStringLiteral(
    "select p.s_caption fio, h.w_id id,h.i_type,\n"
    "(select sum(s.time) from accounts_dep.smena s where s.data<:d_date1 and s.data>=:d_date2 and s.w_id=h.w_id) i_time,\n"
    "(select sum((s.kol_vo-s.brak)*s.cena)::numeric(10,2)from accounts_dep.smena s where s.data<:d_date3 and s.data>=:d_date4 and s.w_id=h.w_id) f_price,\n"
    "(select case when coalesce(sum(s.time),0)::numeric(10,2)=0 then 0 else coalesce(sum((s.kol_vo-s.brak)*s.cena)/sum(time),0)::numeric(10,2) end from accounts_dep.smena s where s.data<:d_date5 and s.data>=:d_date6 and s.w_id=h.w_id) average_price,\n"
    "%1\n"
    "from accounts_dep.h_tabel h\n"
    "%2"
    "where h.year=:i_year and h.month=:i_month and i_type=0\n"
    "group by h.w_id, p.s_caption, h.i_type\n"
    "order by fio, id")
    .arg(kDayLines, kWorkerName);

QString hoursSheet(int kind)
{
    return QStringLiteral(
               "select p.s_caption fio, h.w_id id,h.i_type, case when h.i_night=0 then 'дн.' else 'ноч.' end as s_night, h.i_night,\n"
               "(select sum(f.cnt) from accounts_dep.fatigue f where f.d_date<:d_date1 and f.d_date>=:d_date2 and f.id_p=h.w_id and f.id_o=%1 and f.i_night=h.i_night) i_time,\n"
               "(select sum(f.cnt*f.price)::numeric(10,2) from accounts_dep.fatigue f where f.d_date<:d_date3 and f.d_date>=:d_date4 and f.id_p=h.w_id and f.id_o=%1 and f.i_night=h.i_night) f_price,\n"
               "(select case when coalesce(sum(f.cnt),0)::numeric(10,2)=0 then 0 else coalesce(sum((f.cnt*f.price))/sum(f.cnt),0)::numeric(10,2) end \n"
               "from accounts_dep.fatigue f where f.d_date<:d_date5 and f.d_date>=:d_date6 and f.id_p=h.w_id and f.id_o=%1 and f.i_night=h.i_night) average_price,\n"
               "%2\n"
               "from accounts_dep.h_tabel h\n"
               "%3"
               "where h.year=:i_year and h.month=:i_month and i_type=%1 \n"
               "group by h.w_id, p.s_caption, h.i_type, h.i_night\n"
               "order by fio, id, h.i_night")
        .arg(kind)
        .arg(kDayLines, kWorkerName);
}

const QString kH_Tabel7777 = hoursSheet(7777);
const QString kH_Tabel7778 = hoursSheet(7778);

const QString kH_Tabel_all = QStringLiteral(
    "select p.s_caption fio, h.w_id id,\n"
    "coalesce((select sum(s.time) from accounts_dep.smena s where s.data<:d_date1 and s.data>=:d_date2 and s.w_id=h.w_id),0)+\n"
    "coalesce((select sum(f.cnt) from accounts_dep.fatigue f where f.d_date<:d_date7 and f.d_date>=:d_date8 and f.id_p=h.w_id),0) i_time,\n"
    "coalesce((select sum((s.kol_vo-s.brak)*s.cena)::numeric(10,2)from accounts_dep.smena s where s.data<:d_date3 and s.data>=:d_date4 and s.w_id=h.w_id),0)+ \n"
    "coalesce((select sum(f.cnt*f.price)::numeric(10,2)from accounts_dep.fatigue f where f.d_date<:d_date5 and f.d_date>=:d_date6 and f.id_p=h.w_id),0) f_price,\n"
    "%1\n"
    "from accounts_dep.h_tabel h\n"
    "%2"
    "where h.year=:i_year and h.month=:i_month\n"
    "group by h.w_id, p.s_caption\n"
    "order by fio, id\n")
    .arg(kDayLines, kWorkerName);

const QString kPrice = QStringLiteral(
    "select sum((s.kol_vo-s.brak)*s.cena)::numeric(100,2) as price from accounts_dep.smena s where s.data<:d_date1 and "
    "s.data>=:d_date2 and s.cena>0 and s.kol_vo>0");

QString hoursTotal(int kind)
{
    return QStringLiteral(
               "select sum(f.cnt*f.price)::numeric(100,2) as price from accounts_dep.fatigue f where f.d_date<:d_date1 and "
               "f.d_date>=:d_date2 and f.cnt>0 and f.price>0 and f.id_o=%1")
        .arg(kind);
}

// A month with journal entries but no hour entries, or the other way round, still has a total.
const QString kAllPrice = QStringLiteral(
    "select(\n"
    "(coalesce((select sum((s.kol_vo-s.brak)*s.cena) from accounts_dep.smena s where s.data<:d_date1 and s.data>=:d_date2 and s.cena>0 and s.kol_vo>0),0)+\n"
    "coalesce((select sum(f.cnt*f.price) from accounts_dep.fatigue f where f.d_date<:d_date3 and f.d_date>=:d_date4 and f.cnt>0 and f.price>0),0))::numeric(20,2)) price");

const QString kQ_year = QStringLiteral("select distinct ht.year from accounts_dep.h_tabel ht order by year");

struct ModeLook {
    int tag;
    QString caption;
    int nameWidth;
};

const ModeLook kModes[] = {
    {piecework_mode::kPiecework, QStringLiteral("Табель сделка (27)"), 238},
    {piecework_mode::kUtilityWorks, QStringLiteral("Табель хоз. работы (27)"), 208},
    {piecework_mode::kAveragePiecework, QStringLiteral("Табель ср. сдельная (27)"), 208},
    {piecework_mode::kGeneral, QStringLiteral("Общий табель (27)"), 304},
};

const ModeLook& lookOf(int mode)
{
    for (const ModeLook& m : kModes)
        if (m.tag == mode) return m;
    return kModes[0];
}

QList<ColumnSpec> sheetColumns()
{
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    QList<ColumnSpec> columns{{.field = QStringLiteral("fio"), .title = QStringLiteral("Фамилия И. О."), .width = 208},
                              {.field = QStringLiteral("s_night"), .title = QStringLiteral(" "), .width = 36}};
    columns += timesheet_days::dayColumns(22);
    columns.append(timesheet_days::totalsColumn(
        {.field = QStringLiteral("f_price"), .title = QStringLiteral("Итого (р.)"), .alignment = right, .width = 80}));
    columns.append(timesheet_days::totalsColumn(
        {.field = QStringLiteral("i_time"), .title = QStringLiteral("Итого (ч.)"), .alignment = right, .width = 70}));
    columns.append(timesheet_days::totalsColumn(
        {.field = QStringLiteral("average_price"), .title = QStringLiteral("Час (р.)"), .alignment = right, .width = 60}));
    return columns;
}

} // namespace

namespace piecework_mode {

QString statement(int mode)
{
    switch (mode) {
    case kUtilityWorks: return kH_Tabel7777;
    case kAveragePiecework: return kH_Tabel7778;
    case kGeneral: return kH_Tabel_all;
    default: return kH_Tabel0;
    }
}

void setPeriod(Dataset& query, int month, int year)
{
    const QDate first(year, month, 1);
    const QDate next = first.addMonths(1);
    for (int n = 1; n <= 8; ++n) {
        const QString name = QStringLiteral("d_date%1").arg(n);
        if (query.hasParameter(name)) query.setParam(name, n % 2 ? next : first);
    }
    if (query.hasParameter(QStringLiteral("i_month"))) query.setParam(QStringLiteral("i_month"), month);
    if (query.hasParameter(QStringLiteral("i_year"))) query.setParam(QStringLiteral("i_year"), year);
}

} // namespace piecework_mode

int writePieceworkTimesheet(const QSqlDatabase& db, int mode, int month, int year, ExcelApp& excel,
                            const ExportProgress& progress)
{
    using namespace piecework_mode;
    Dataset sheet(db, statement(mode));
    setPeriod(sheet, month, year);
    sheet.open();
    if (excel.OpenExcel(QString()) == -1) return -1;
    excel.SetExcelVisible(false);
    const int total = sheet.recordCount();
    if (progress) progress(0, total);

    const auto heading = [&excel](int column, const QString& text, bool asText) {
        excel.WriteExcelCell(1, column, 2, text, asText, true, true);
    };
    excel.WriteExcelCell(1, 1, 1, formats::monthName(month) + QLatin1Char(' ') + QString::number(year), true, true, true);
    heading(1, QStringLiteral("Фамилия И.О."), true);
    for (int d = 1; d <= 31; ++d) heading(d + 2, QString::number(d), false);
    heading(34, QStringLiteral("Итого (ч.)"), true);
    heading(35, QStringLiteral("Итого (р.)"), true);
    if (hasRate(mode)) heading(36, QStringLiteral("Час (р.)"), true);

    int row = 3;
    for (sheet.first(); !sheet.eof(); sheet.next(), ++row) {
        const auto number = [&](int column, const QString& field) {
            excel.WriteExcelCell(1, column, row, formats::general(sheet.value(field), true), false, true, false);
        };
        excel.WriteExcelCell(1, 1, row, sheet.asString(QStringLiteral("fio")), true, true, false);
        if (hasDayNight(mode)) excel.WriteExcelCell(1, 2, row, sheet.asString(QStringLiteral("s_night")), true, true, false);
        for (int d = 1; d <= 31; ++d) number(d + 2, QStringLiteral("d%1").arg(d));
        number(34, QStringLiteral("i_time"));
        number(35, QStringLiteral("f_price"));
        if (hasRate(mode)) number(36, QStringLiteral("average_price"));
        if (progress) progress(row - 2, total);
    }
    excel.SetExcelVisible(true);
    return 1;
}

TForm27::TForm27(TDataModule6& dm, SpreadsheetOpener& opener, QString excelFolder, QWidget* parent)
    : QDialog(parent),
      H_Tabel0(dm.ADO_DB, kH_Tabel0), H_Tabel7777(dm.ADO_DB, kH_Tabel7777), H_Tabel7778(dm.ADO_DB, kH_Tabel7778),
      H_Tabel_all(dm.ADO_DB, kH_Tabel_all),
      price(dm.ADO_DB, kPrice), price7(dm.ADO_DB, hoursTotal(7777)), price8(dm.ADO_DB, hoursTotal(7778)),
      all_price(dm.ADO_DB, kAllPrice), q_year(dm.ADO_DB, kQ_year),
      m_dm(dm), m_prompts(dm.prompts()), m_opener(opener), m_excelFolder(std::move(excelFolder))
{
    setObjectName(QStringLiteral("Form27"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);

    DBGrid = new DataGrid(this);
    DBGrid->setObjectName(QStringLiteral("DBGrid"));
    m_model = new TimesheetGridModel(&H_Tabel0, sheetColumns(), DBGrid);
    DBGrid->setGridModel(m_model);
    DBGrid->setItemDelegate(new TimesheetCellPainter(DBGrid));
    layout->addWidget(DBGrid);

    auto* panel = new QHBoxLayout;
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems(formats::monthNames());
    cb_year = new QComboBox(this);
    cb_year->setObjectName(QStringLiteral("cb_year"));
    auto* monthLabel = new QLabel(QStringLiteral("Месяц:"), this);
    monthLabel->setBuddy(ComboBox1);
    auto* yearLabel = new QLabel(QStringLiteral("Год:"), this);
    yearLabel->setBuddy(cb_year);
    panel->addWidget(monthLabel);
    panel->addWidget(ComboBox1);
    panel->addWidget(yearLabel);
    panel->addWidget(cb_year);
    panel->addStretch();
    const auto total = [this, panel](const QString& caption, const char* name) {
        auto* label = new QLabel(caption, this);
        auto* value = new QLabel(this);
        value->setObjectName(QLatin1String(name));
        value->setMinimumWidth(90);
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
        panel->addWidget(label);
        panel->addWidget(value);
        return value;
    };
    price8Text = total(QStringLiteral("Ср. сдел.:"), "price8Text");
    price7Text = total(QStringLiteral("Хоз. работы:"), "price7Text");
    priceText = total(QStringLiteral("Сделка:"), "priceText");
    all_priceText = total(QStringLiteral("Итого:"), "all_priceText");
    layout->addLayout(panel);

    auto* buttons = new QHBoxLayout;
    const auto button = [this, buttons](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        buttons->addWidget(b);
        return b;
    };
    Button2 = button(QStringLiteral("Excel"), "Button2");
    Button5 = button(QStringLiteral("Обновить"), "Button5");
    Button3 = button(QStringLiteral("Перестроить"), "Button3");
    PB = new QProgressBar(this);
    PB->setObjectName(QStringLiteral("PB"));
    PB->setMinimum(1);
    PB->hide();
    buttons->addWidget(PB, 1);
    buttons->addStretch();
    Button4 = button(QStringLiteral("Печать"), "Button4");
    Button4->hide();
    Button1 = button(QStringLiteral("Выход"), "Button1");
    layout->addLayout(buttons);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, guarded(m_prompts, [this] { ComboBox1Change(); }));
    connect(cb_year, &QComboBox::activated, this, guarded(m_prompts, [this] { ComboBox1Change(); }));
    connect(Button5, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button5Click(); }));
    connect(Button3, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button3Click(); }));
    connect(Button2, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button2Click(); }));
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
    resize(1280, 600);
}

int TForm27::month() const { return ComboBox1->currentIndex() + 1; }

int TForm27::year() const { return cb_year->currentText().toInt(); }

void TForm27::fillYears()
{
    // Today's year is always offered, so a month of a year without rows can be rebuilt.
    q_year.close();
    q_year.open();
    QList<int> years{today().year()};
    for (q_year.first(); !q_year.eof(); q_year.next()) {
        const int y = q_year.asInt(QStringLiteral("year"));
        if (!years.contains(y)) years << y;
    }
    std::sort(years.begin(), years.end());
    cb_year->clear();
    for (int y : std::as_const(years)) cb_year->addItem(QString::number(y));
    cb_year->setCurrentText(QString::number(today().year()));
}

void TForm27::setMode(int tag)
{
    using namespace piecework_mode;
    Dataset* sheets[] = {&H_Tabel0, &H_Tabel7777, &H_Tabel7778, &H_Tabel_all};
    const int index = tag == kUtilityWorks ? 1 : tag == kAveragePiecework ? 2 : tag == kGeneral ? 3 : 0;
    Tag = lookOf(tag).tag;
    CurrentTabel = sheets[index];
    setWindowTitle(lookOf(tag).caption);
    m_nameWidth = lookOf(tag).nameWidth;
    DBGrid->setColumnHidden(m_model->columnOf(QStringLiteral("s_night")), !hasDayNight(Tag));
    DBGrid->setColumnHidden(m_model->columnOf(QStringLiteral("average_price")), !hasRate(Tag));
    DBGrid->setDataset(CurrentTabel);
}

void TForm27::openMode(int tag)
{
    setMode(tag);
    {
        const QSignalBlocker block(ComboBox1);
        ComboBox1->setCurrentIndex(today().month() - 1);
        fillYears();
    }
    const auto closeQueries = qScopeGuard([this] {
        Button2->setText(QStringLiteral("Excel"));
        CurrentTabel->close();
        q_year.close();
        for (Dataset* t : {&price, &price7, &price8, &all_price}) t->close();
    });
    ComboBox1Change();
    exec();
}

void TForm27::ComboBox1Change()
{
    using namespace piecework_mode;
    CurrentTabel->close();
    setPeriod(*CurrentTabel, month(), year());
    CurrentTabel->open();

    const std::pair<Dataset*, QLabel*> totals[] = {
        {&all_price, all_priceText}, {&price, priceText}, {&price7, price7Text}, {&price8, price8Text}};
    for (const auto& [query, label] : totals) {
        query->close();
        setPeriod(*query, month(), year());
        query->open();
        label->setText(formats::general(query->value(QStringLiteral("price")), true));
    }

    m_model->setMonth(month(), year());
    const int days = QDate(year(), month(), 1).daysInMonth();
    for (int d = 1; d <= 31; ++d) DBGrid->setColumnHidden(m_model->columnOf(QStringLiteral("d%1").arg(d)), d > days);
    DBGrid->setColumnWidth(m_model->columnOf(QStringLiteral("fio")), m_nameWidth + 20 * (31 - days));
}

void TForm27::Button5Click()
{
    CurrentTabel->close();
    CurrentTabel->open();
}

void TForm27::Button3Click()
{
    rebuildShowingProgress(PB, m_prompts, {CurrentTabel}, [this](const timesheet_rebuild::Progress& progress) {
        timesheet_rebuild::hourRows(m_dm.ADO_DB, month(), year(), progress);
    });
}

void TForm27::Button2Click()
{
    ExcelApp excel(m_prompts, m_opener, m_excelFolder);
    exportShowingProgress(Button2, [&](const ExportProgress& progress) {
        writePieceworkTimesheet(m_dm.ADO_DB, Tag, month(), year(), excel, progress);
    });
}
