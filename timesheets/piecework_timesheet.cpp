#include "timesheets/piecework_timesheet.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "rules/month_close.h"
#include "rules/month_rebuild.h"
#include "rules/sheet_rows.h"
#include "timesheets/day_columns.h"
#include "timesheets/timesheet_progress.h"
#include "ui/data_grid.h"
#include "ui/closed_month.h"
#include "ui/guard.h"
#include "data/background_job.h"
#include "ui/job_progress.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace {

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

// Earnings and rates are numeric: shown exactly, from their digits.
QString moneyText(const QVariant& value)
{
    return value.isNull() ? QString() : formats::general(Money::fromValue(value));
}

QList<ColumnSpec> sheetColumns()
{
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    QList<ColumnSpec> columns{{.field = QStringLiteral("fio"), .title = QStringLiteral("Фамилия И. О."), .width = 208},
                              {.field = QStringLiteral("s_night"), .title = QStringLiteral(" "), .width = 36}};
    columns += timesheet_days::dayColumns(22);
    columns.append(timesheet_days::totalsColumn(
        {.field = QStringLiteral("f_price"), .title = QStringLiteral("Итого (р.)"), .alignment = right, .width = 80,
         .format = moneyText}));
    columns.append(timesheet_days::totalsColumn(
        {.field = QStringLiteral("i_time"), .title = QStringLiteral("Итого (ч.)"), .alignment = right, .width = 70}));
    columns.append(timesheet_days::totalsColumn(
        {.field = QStringLiteral("average_price"), .title = QStringLiteral("Час (р.)"), .alignment = right, .width = 60,
         .format = moneyText}));
    return columns;
}

} // namespace

int writePieceworkTimesheet(const QSqlDatabase& db, int mode, int month, int year, ExcelApp& excel,
                            const ExportProgress& progress)
{
    const QList<sheet_rows::PieceworkRow> rows = sheet_rows::pieceworkTimesheet(db, mode, month, year);
    return writePieceworkTimesheet(rows, sheet_rows::pieceworkTotals(db, month, year), mode, month, year, excel, progress);
}

int writePieceworkTimesheet(const QList<sheet_rows::PieceworkRow>& rows, const sheet_rows::PieceworkTotals& totals, int mode,
                            int month, int year, ExcelApp& excel, const ExportProgress& progress)
{
    using namespace piecework_mode;
    if (excel.OpenExcel(QString()) == -1) return -1;
    excel.SetExcelVisible(false);
    const int total = int(rows.size());
    if (progress) progress(0, total);

    const int lastColumn = hasRate(mode) ? 36 : 35;
    excel_table::setNumberFormat(excel, 3, 34, excel_table::kHours);
    excel_table::setNumberFormat(excel, 35, lastColumn, excel_table::kMoney);
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
    for (const sheet_rows::PieceworkRow& r : rows) {
        const auto number = [&](int column, const QString& text) {
            excel.WriteExcelCell(1, column, row, text, false, true, false);
        };
        excel.WriteExcelCell(1, 1, row, r.fio, true, true, false);
        if (hasDayNight(mode)) excel.WriteExcelCell(1, 2, row, r.night, true, true, false);
        for (int d = 1; d <= 31; ++d) number(d + 2, sheet_rows::shown(r.days[d - 1]));
        number(34, sheet_rows::shown(r.hours));
        number(35, sheet_rows::shown(r.earnings));
        if (hasRate(mode)) number(36, sheet_rows::shown(r.rate));
        if (progress) progress(row - 2, total);
        ++row;
    }
    const int lastRow = row - 1;

    // The month's totals as the window shows them, under the earnings, a row apart from the
    // table so that its filter leaves them out.
    const std::pair<QString, const std::optional<Money>*> totalsRows[] = {
        {QStringLiteral("Ср. сдел.:"), &totals.averagePiecework},
        {QStringLiteral("Хоз. работы:"), &totals.utilityWorks},
        {QStringLiteral("Сделка:"), &totals.piecework},
        {QStringLiteral("Итого:"), &totals.all},
    };
    for (const auto& [caption, amount] : totalsRows) {
        ++row;
        excel.WriteExcelCell(1, 1, row, caption, true, true, true);
        excel.WriteExcelCell(1, 35, row, sheet_rows::shown(*amount), false, true, true);
    }
    excel_table::finish(excel, 2, lastColumn, lastRow);
    excel.SetExcelVisible(true);
    return 1;
}

TForm27::TForm27(TDataModule6& dm, SpreadsheetOpener& opener, QString excelFolder, QWidget* parent)
    : QDialog(parent),
      H_Tabel0(dm.ADO_DB, piecework_mode::statement(piecework_mode::kPiecework)),
      H_Tabel7777(dm.ADO_DB, piecework_mode::statement(piecework_mode::kUtilityWorks)),
      H_Tabel7778(dm.ADO_DB, piecework_mode::statement(piecework_mode::kAveragePiecework)),
     
      H_Tabel_all(dm.ADO_DB, piecework_mode::statement(piecework_mode::kGeneral)), q_year(dm.ADO_DB, kQ_year),
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
    DBGrid->freezeFirstColumn();
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
    // The totals have a row of their own: on a narrow screen they and the period stay in view.
    auto* totals = new QHBoxLayout;
    totals->addStretch();
    const auto total = [this, totals](const QString& caption, const char* name) {
        auto* label = new QLabel(caption, this);
        auto* value = new QLabel(this);
        value->setObjectName(QLatin1String(name));
        value->setMinimumWidth(90);
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
        totals->addWidget(label);
        totals->addWidget(value);
        return value;
    };
    price8Text = total(QStringLiteral("Ср. сдел.:"), "price8Text");
    price7Text = total(QStringLiteral("Хоз. работы:"), "price7Text");
    priceText = total(QStringLiteral("Сделка:"), "priceText");
    all_priceText = total(QStringLiteral("Итого:"), "all_priceText");
    layout->addLayout(panel);
    layout->addLayout(totals);

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
    PB = JobProgress::newBar(this);
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
    m_work = new JobProgress(dm.ADO_DB, m_prompts, PB, this);
    DBGrid->actAs(nullptr, nullptr, nullptr, Button5);
    DBGrid->addToContextMenu(Button3);
    DBGrid->addToContextMenu(Button2);
    resize(1280, 600);
}

void TForm27::done(int result)
{
    m_work->stop();
    QDialog::done(result);
}

int TForm27::month() const { return ComboBox1->currentIndex() + 1; }

int TForm27::year() const { return cb_year->currentText().toInt(); }

void TForm27::fillYears()
{
    fillYearChoice(cb_year, q_year, today().year());
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
        keptPeriod(ComboBox1, cb_year);
    }
    const auto closeQueries = qScopeGuard([this] {
        Button2->setText(QStringLiteral("Excel"));
        CurrentTabel->close();
        q_year.close();
    });
    ComboBox1Change();
    exec();
}

void TForm27::ComboBox1Change()
{
    using namespace piecework_mode;
    keepPeriod(month(), year());
    greyForClosedMonth({Button3}, month_close::isClosed(m_dm.ADO_DB, month(), year()));
    CurrentTabel->close();
    setPeriod(*CurrentTabel, month(), year());
    for (QLabel* total : {all_priceText, priceText, price7Text, price8Text}) total->clear();
    // The sheet and its totals are read together in the background and shown together.
    auto totals = std::make_shared<sheet_rows::PieceworkTotals>();
    openInBackground(
        *m_work, QList<Dataset*>{CurrentTabel},
        [totals, month = month(), year = year()](JobContext& context) {
            *totals = sheet_rows::pieceworkTotals(context.db(), month, year);
        },
        [this, totals] {
            all_priceText->setText(sheet_rows::shown(totals->all));
            priceText->setText(sheet_rows::shown(totals->piecework));
            price7Text->setText(sheet_rows::shown(totals->utilityWorks));
            price8Text->setText(sheet_rows::shown(totals->averagePiecework));
        });

    m_model->setMonth(month(), year());
    const int days = QDate(year(), month(), 1).daysInMonth();
    for (int d = 1; d <= 31; ++d) DBGrid->setColumnHidden(m_model->columnOf(QStringLiteral("d%1").arg(d)), d > days);
    DBGrid->setColumnWidth(m_model->columnOf(QStringLiteral("fio")), m_nameWidth + 20 * (31 - days));
}

void TForm27::Button5Click()
{
    openInBackground(*m_work, QList<Dataset*>{CurrentTabel});
}

void TForm27::Button3Click()
{
    const QString shown = month_close::monthText(month(), year());
    rebuildInBackground(*m_work, m_prompts,
                        QStringLiteral("Перестроить табель за %1? Строки часов хоз. работ и среднесдельной оплаты будут "
                                       "составлены заново по записям часов месяца; строки, совпадающие с записями, останутся как есть.")
                            .arg(shown),
                        shown, QList<Dataset*>{CurrentTabel}, {Button2, Button5, Button3, ComboBox1, cb_year},
                        [month = month(), year = year()](const QSqlDatabase& db, const month_rebuild::Progress& progress) {
                            return month_rebuild::hourRows(db, month, year, progress);
                        });
}

void TForm27::Button2Click()
{
    // The rows are read in the background; the workbook is written here, row by row.
    m_work->wait();
    auto rows = std::make_shared<QList<sheet_rows::PieceworkRow>>();
    auto totals = std::make_shared<sheet_rows::PieceworkTotals>();
    m_work->read(
        [rows, totals, mode = Tag, month = month(), year = year()](JobContext& context) {
            *rows = sheet_rows::pieceworkTimesheet(context.db(), mode, month, year);
            *totals = sheet_rows::pieceworkTotals(context.db(), month, year);
        },
        [this, rows, totals, mode = Tag, month = month(), year = year()](BackgroundJob::Outcome outcome) {
            if (outcome != BackgroundJob::Outcome::Done) return;
            ExcelApp excel(m_prompts, m_opener, m_excelFolder);
            exportShowingProgress(Button2, [&](const ExportProgress& progress) {
                writePieceworkTimesheet(*rows, *totals, mode, month, year, excel, progress);
            });
        },
        {Button2, Button3, Button5, ComboBox1, cb_year});
}
