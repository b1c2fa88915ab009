#include "timesheets/time_timesheet.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "reports/time_timesheet_report.h"
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
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kFirstYear = 2007;

const QString kLatestYear = QStringLiteral("select max(year) as year from accounts_dep.h_tabel");

QList<ColumnSpec> shiftColumns()
{
    QList<ColumnSpec> columns{{.field = QStringLiteral("fio"), .title = QStringLiteral("Фамилия И. О."), .width = 200}};
    columns += timesheet_days::dayColumns();
    columns.append(timesheet_days::totalsColumn({.field = QStringLiteral("summ"), .title = QStringLiteral("Итого"),
                                                 .alignment = Qt::AlignRight | Qt::AlignVCenter, .width = 50}));
    return columns;
}

} // namespace

int writeTimeTimesheet(const QSqlDatabase& db, int month, int year, ExcelApp& excel, const ExportProgress& progress)
{
    return writeTimeTimesheet(sheet_rows::timeTimesheet(db, month, year), month, year, excel, progress);
}

int writeTimeTimesheet(const QList<sheet_rows::TimeTimesheetRow>& rows, int month, int year, ExcelApp& excel,
                       const ExportProgress& progress)
{
    if (excel.OpenExcel(QString()) == -1) return -1;
    excel.SetExcelVisible(false);
    const int total = int(rows.size());
    if (progress) progress(0, total);

    excel_table::setNumberFormat(excel, 2, 33, excel_table::kHours);
    excel.WriteExcelCell(1, 1, 1, formats::monthName(month) + QLatin1Char(' ') + QString::number(year), true, true, true);
    excel.WriteExcelCell(1, 1, 2, QStringLiteral("Фамилия И.О."), true, true, true);
    for (int d = 1; d <= 31; ++d) excel.WriteExcelCell(1, d + 1, 2, QString::number(d), false, true, true);
    excel.WriteExcelCell(1, 33, 2, QStringLiteral("Итого"), true, true, true);

    int row = 3;
    for (const sheet_rows::TimeTimesheetRow& r : rows) {
        excel.WriteExcelCell(1, 1, row, r.fio, true, true, false);
        for (int d = 1; d <= 31; ++d) excel.WriteExcelCell(1, d + 1, row, sheet_rows::shown(r.days[d - 1]), false, true, false);
        excel.WriteExcelCell(1, 33, row, QString::number(r.total), false, true, false);
        if (progress) progress(row - 2, total);
        ++row;
    }
    excel_table::finish(excel, 2, 33, row - 1);
    excel.SetExcelVisible(true);
    return 1;
}

TForm19::TForm19(TDataModule6& dm, ExcelApp& excel, TForm15& form15, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_prompts(dm.prompts()), m_excel(excel), m_form15(form15)
{
    setObjectName(QStringLiteral("Form19"));
    setWindowTitle(QStringLiteral("Табель по времени"));
    auto* layout = new QVBoxLayout(this);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    layout->addWidget(PageControl1);
    Dataset* queries[] = {&dm.H_Tabel_1, &dm.H_Tabel_2, &dm.H_Tabel_3};
    DataGrid** grids[] = {&DBGrid1, &DBGrid2, &DBGrid3};
    QWidget** tabs[] = {&TabSheet1, &TabSheet2, &TabSheet3};
    for (int i = 0; i < 3; ++i) {
        QWidget* tab = new QWidget;
        tab->setObjectName(QStringLiteral("TabSheet%1").arg(i + 1));
        *tabs[i] = tab;
        auto* tabLayout = new QVBoxLayout(tab);
        auto* grid = new DataGrid(tab);
        grid->setObjectName(QStringLiteral("DBGrid%1").arg(i + 1));
        auto* model = new TimesheetGridModel(queries[i], shiftColumns(), grid);
        grid->setGridModel(model);
        grid->setItemDelegate(new TimesheetCellPainter(grid));
        grid->freezeFirstColumn();
        m_models << model;
        *grids[i] = grid;
        tabLayout->addWidget(grid);
        if (i == 0) {
            auto* row = new QHBoxLayout;
            Button1 = new QPushButton(QStringLiteral("Перестроить"), tab);
            Button1->setObjectName(QStringLiteral("Button1"));
            PB = JobProgress::newBar(tab);
            Button2 = new QPushButton(QStringLiteral("Excel"), tab);
            Button2->setObjectName(QStringLiteral("Button2"));
            row->addWidget(Button1);
            row->addWidget(PB, 1);
            row->addWidget(Button2);
            row->addStretch();
            tabLayout->addLayout(row);
        }
        PageControl1->addTab(tab, QStringLiteral("Смена №%1").arg(i + 1));
    }

    auto* bottom = new QHBoxLayout;
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems(formats::monthNames());
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    auto* monthLabel = new QLabel(QStringLiteral("Месяц:"), this);
    monthLabel->setBuddy(ComboBox1);
    auto* yearLabel = new QLabel(QStringLiteral("Год:"), this);
    yearLabel->setBuddy(ComboBox2);
    Button5 = new QPushButton(QStringLiteral("Обновить"), this);
    Button5->setObjectName(QStringLiteral("Button5"));
    Button6 = new QPushButton(QStringLiteral("Печать"), this);
    Button6->setObjectName(QStringLiteral("Button6"));
    Button4 = new QPushButton(QStringLiteral("Выход"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    for (QWidget* w : std::initializer_list<QWidget*>{monthLabel, ComboBox1, yearLabel, ComboBox2, Button5, Button6})
        bottom->addWidget(w);
    bottom->addStretch();
    bottom->addWidget(Button4);
    layout->addLayout(bottom);
    for (DataGrid* grid : findChildren<DataGrid*>()) {
        grid->actAs(nullptr, nullptr, nullptr, Button5);
        grid->addToContextMenu(Button1);
        grid->addToContextMenu(Button2);
    }

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, guarded(m_prompts, [this] { ComboBox1Change(); }));
    connect(ComboBox2, &QComboBox::currentIndexChanged, this, guarded(m_prompts, [this] { ComboBox1Change(); }));
    connect(Button5, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button5Click(); }));
    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button2Click(); }));
    connect(Button6, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button6Click(); }));
    connect(Button4, &QPushButton::clicked, this, &QDialog::reject);
    m_work = new JobProgress(dm.ADO_DB, m_prompts, PB, this);
    resize(1100, 560);
}

void TForm19::done(int result)
{
    m_work->stop();
    QDialog::done(result);
}

int TForm19::month() const { return ComboBox1->currentIndex() + 1; }

int TForm19::year() const { return ComboBox2->currentText().toInt(); }

void TForm19::fillYears(int workingYear)
{
    Dataset latest(m_dm.ADO_DB, kLatestYear);
    latest.open();
    const int last = std::max({QDate::currentDate().year(), latest.asInt(QStringLiteral("year")), workingYear});
    const int first = std::min(kFirstYear, workingYear);
    ComboBox2->clear();
    for (int y = first; y <= last; ++y) ComboBox2->addItem(QString::number(y));
}

void TForm19::openFor(const QDate& workingDate)
{
    {
        const QSignalBlocker blockMonths(ComboBox1), blockYears(ComboBox2);
        ComboBox1->setCurrentIndex(workingDate.month() - 1);
        fillYears(workingDate.year());
        ComboBox2->setCurrentIndex(ComboBox2->findText(QString::number(workingDate.year())));
        keptPeriod(ComboBox1, ComboBox2);
    }
    const auto closeShifts = qScopeGuard([this] {
        m_dm.H_Tabel_1.close();
        m_dm.H_Tabel_2.close();
        m_dm.H_Tabel_3.close();
    });
    ComboBox1Change();
    exec();
}

void TForm19::showEvent(QShowEvent* event)
{
    Button2->setText(QStringLiteral("Excel"));
    QDialog::showEvent(event);
}

void TForm19::ComboBox1Change()
{
    keepPeriod(month(), year());
    greyForClosedMonth({Button1}, month_close::isClosed(m_dm.ADO_DB, month(), year()));
    const QDate first(year(), month(), 1);
    for (int i = 0; i < 3; ++i) {
        Dataset& q = *m_models[i]->dataset();
        q.close();
        q.setParam(QStringLiteral("mnth"), month());
        q.setParam(QStringLiteral("yea"), year());
        q.setParam(QStringLiteral("date1"), first);
        q.setParam(QStringLiteral("date2"), first.addMonths(1));
        m_models[i]->setMonth(month(), year());
    }
    openShifts();
}

ShownSheets TForm19::shifts() const
{
    QList<Dataset*> out;
    for (TimesheetGridModel* model : std::as_const(m_models)) out << model->dataset();
    return ShownSheets(out, sql::H_Tabel_123, QStringLiteral("smena"));
}

void TForm19::openShifts()
{
    openInBackground(*m_work, shifts());
}

void TForm19::Button5Click()
{
    openShifts();
}

void TForm19::Button1Click()
{
    const QString shown = month_close::monthText(month(), year());
    rebuildInBackground(*m_work, m_prompts,
                        QStringLiteral("Перестроить табель за %1? Часы смен каждого работника будут составлены заново "
                                       "по записям журнала месяца; строки, совпадающие с журналом, останутся как есть.")
                            .arg(shown),
                        shown, shifts(), {Button1, Button2, Button5, Button6, ComboBox1, ComboBox2},
                        [month = month(), year = year()](const QSqlDatabase& db, const month_rebuild::Progress& progress) {
                            return month_rebuild::shiftRows(db, month, year, progress);
                        });
}

void TForm19::Button2Click()
{
    // The rows are read in the background; the workbook is written here, row by row.
    m_work->wait();
    auto rows = std::make_shared<QList<sheet_rows::TimeTimesheetRow>>();
    m_work->read(
        [rows, month = month(), year = year()](JobContext& context) {
            *rows = sheet_rows::timeTimesheet(context.db(), month, year);
        },
        [this, rows, month = month(), year = year()](BackgroundJob::Outcome outcome) {
            if (outcome != BackgroundJob::Outcome::Done) return;
            exportShowingProgress(Button2, [&](const ExportProgress& progress) {
                writeTimeTimesheet(*rows, month, year, m_excel, progress);
            });
        },
        {Button1, Button2, Button5, Button6, ComboBox1, ComboBox2});
}

void TForm19::Button6Click()
{
    m_form15.setMonth(month(), year());
    Dataset& query = m_form15.reportQuery();
    query.open();
    const auto closeQuery = qScopeGuard([&query] { query.close(); });
    m_form15.QRLabel33.setCaption(ComboBox1->currentText() + QLatin1Char(' ') + ComboBox2->currentText() +
                                  QStringLiteral(" г."));
    m_form15.prepare();
    m_form15.preview(this);
}
