#include "journal/history_window.h"
#include "data/background_job.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "export/excel_export.h"
#include "ui/data_grid.h"
#include "ui/date_picker.h"
#include "ui/guard.h"
#include "ui/job_progress.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>

using change_history::Record;

namespace {

const QString kTitle = QStringLiteral("История изменений");
// The sheet the records go on, and its continuations: "История (2)" ….
const QString kSheetName = QStringLiteral("История");

/// A column of the window and of its workbook: the field of the grid's rows, the title, the
/// width in the grid, and the value a record shows there.
struct Column {
    QString field;
    QString title;
    int width;
    QVariant (*value)(const Record&);
};

const QList<Column>& columns()
{
    static const QList<Column> list = {
        {QStringLiteral("at"), QStringLiteral("Когда"), 0, [](const Record& r) { return QVariant(r.at); }},
        {QStringLiteral("db_user"), QStringLiteral("Кто"), 70, [](const Record& r) { return QVariant(r.dbUser); }},
        {QStringLiteral("client"), QStringLiteral("Клиент"), 100, [](const Record& r) { return QVariant(r.client); }},
        {QStringLiteral("what"), QStringLiteral("Что"), 60, [](const Record& r) { return QVariant(r.what()); }},
        {QStringLiteral("action"), QStringLiteral("Действие"), 100, [](const Record& r) { return QVariant(r.actionText()); }},
        {QStringLiteral("row_id"), QStringLiteral("№"), 55,
         [](const Record& r) { return r.rowId ? QVariant(r.rowId) : QVariant(QMetaType::fromType<qlonglong>()); }},
        {QStringLiteral("subject"), QStringLiteral("Запись"), 150, [](const Record& r) { return QVariant(r.subject); }},
        {QStringLiteral("reason"), QStringLiteral("Причина"), 90, [](const Record& r) { return QVariant(r.reason); }},
        {QStringLiteral("changes"), QStringLiteral("Изменения"), 150, [](const Record& r) { return QVariant(r.changesText()); }},
    };
    return list;
}

/// A value as the grid and the workbook show it.
QString shownText(const QVariant& value)
{
    if (value.userType() == QMetaType::QDateTime) return formats::dateTime(value.toDateTime());
    return formats::general(value);
}

QList<ColumnSpec> gridColumns()
{
    QList<ColumnSpec> specs;
    for (const Column& c : columns()) {
        ColumnSpec spec{c.field, c.title, Qt::AlignLeft | Qt::AlignVCenter, false, c.width};
        spec.format = shownText;
        if (c.field == QLatin1String("row_id")) spec.alignment = Qt::AlignRight | Qt::AlignVCenter;
        // The changes are one line; the whole of them shows on pointing at the cell.
        if (c.field == QLatin1String("changes"))
            spec.style = [field = c.field](const Dataset& ds, int row, int role) {
                return role == Qt::ToolTipRole ? ds.valueAt(row, field) : QVariant();
            };
        specs << spec;
    }
    return specs;
}

/// No rows yet, with the window's fields.
Dataset::Snapshot emptySnapshot()
{
    Dataset::Snapshot rows;
    for (const Column& c : columns()) {
        rows.fields << c.field;
        rows.types.push_back(c.value(Record()).metaType());
    }
    return rows;
}

void append(Dataset::Snapshot& rows, const Record& r)
{
    for (const Column& c : columns()) rows.cells.push_back(c.value(r));
    ++rows.rowCount;
}

// Records read before the reading looks whether it was asked to stop.
constexpr int kCheckEvery = 1000;

} // namespace

TForm30::TForm30(TDataModule6& dm, ExcelApp& excel, QWidget* parent)
    : QDialog(parent), Changes(dm.ADO_DB), m_excel(excel), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form30"));
    setWindowTitle(kTitle);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    Changes.setObjectName(QStringLiteral("Changes"));

    m_period = new QWidget(this);
    m_period->setObjectName(QStringLiteral("Period"));
    auto* period = new QHBoxLayout(m_period);
    period->setContentsMargins(0, 0, 0, 0);
    FromDate = datePicker(QStringLiteral("FromDate"), m_period);
    ToDate = datePicker(QStringLiteral("ToDate"), m_period);
    for (auto [caption, picker] : {std::pair{QStringLiteral("С"), FromDate}, std::pair{QStringLiteral("По"), ToDate}}) {
        auto* label = new QLabel(caption, m_period);
        label->setBuddy(picker);
        period->addWidget(label);
        period->addWidget(picker);
    }
    ApprovedOnly = new QCheckBox(QStringLiteral("Только утвержденные записи"), m_period);
    ApprovedOnly->setObjectName(QStringLiteral("ApprovedOnly"));
    ApprovedOnly->setChecked(true);
    period->addSpacing(12);
    period->addWidget(ApprovedOnly);
    period->addStretch();

    HistoryGrid = new DataGrid(this);
    HistoryGrid->setObjectName(QStringLiteral("HistoryGrid"));
    HistoryGrid->setGridModel(new GridModel(&Changes, gridColumns(), this));
    HistoryGrid->horizontalHeader()->setStretchLastSection(true);
    // The time of a change whole, with its seconds; no title cut.
    const int when = HistoryGrid->fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000 00:00:00")) + 16;
    HistoryGrid->setColumnWidth(0, when);
    for (int c = 1; c < columns().size(); ++c)
        HistoryGrid->setColumnWidth(c, std::max(HistoryGrid->columnWidth(c), HistoryGrid->horizontalHeader()->sectionSizeHint(c)));

    auto* bar = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        bar->addWidget(b);
        return b;
    };
    RefreshButton = button("RefreshButton", QStringLiteral("Обновить"));
    ExcelButton = button("ExcelButton", QStringLiteral("Excel"));
    m_bar = JobProgress::newBar(this);
    bar->addWidget(m_bar);
    CountLabel = new QLabel(this);
    CountLabel->setObjectName(QStringLiteral("CountLabel"));
    bar->addWidget(CountLabel);
    bar->addStretch();
    QLineEdit* search = HistoryGrid->makeSearchBox(this);
    auto* searchLabel = new QLabel(QStringLiteral("Поиск:"), this);
    searchLabel->setBuddy(search);
    bar->addWidget(searchLabel);
    bar->addWidget(search);
    CloseButton = button("CloseButton", QStringLiteral("Закрыть"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_period);
    layout->addWidget(HistoryGrid, 1);
    layout->addLayout(bar);
    m_work = new JobProgress(dm.ADO_DB, m_prompts, m_bar, this);
    // The rows shown, after a search too.
    connect(&Changes, &Dataset::reset, this, [this] {
        CountLabel->setText(Changes.isOpen() ? QStringLiteral("Записей: %1").arg(Changes.recordCount()) : QString());
    });
    HistoryGrid->actAs(nullptr, nullptr, nullptr, RefreshButton);

    connect(RefreshButton, &QPushButton::clicked, this, guarded(m_prompts, [this] { RefreshButtonClick(); }));
    connect(ExcelButton, &QPushButton::clicked, this, guarded(m_prompts, [this] { ExcelButtonClick(); }));
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    resize(1000, 600);
}

TForm30::~TForm30() = default;

void TForm30::done(int result)
{
    m_work->stop();
    QDialog::done(result);
}

void TForm30::openForEntry(change_history::Table table, qlonglong rowId, const QString& entry)
{
    m_table = table;
    m_rowId = rowId;
    m_period->hide();
    showEntryColumns(false);
    setWindowTitle(QStringLiteral("%1 — %2 (30)").arg(kTitle, entry));
    RefreshButtonClick();
    exec();
    Changes.close();
}

void TForm30::openForPeriod(const QDate& today)
{
    m_rowId = 0;
    m_period->show();
    showEntryColumns(true);
    setWindowTitle(QStringLiteral("%1 (30)").arg(kTitle));
    FromDate->setDate(QDate(today.year(), today.month(), 1));
    ToDate->setDate(today);
    ApprovedOnly->setChecked(true);
    RefreshButtonClick();
    exec();
    Changes.close();
}

void TForm30::showEntryColumns(bool shown)
{
    // The title of one entry's history names the table and the entry.
    for (const char* field : {"what", "row_id"})
        HistoryGrid->setColumnHidden(HistoryGrid->gridModel()->columnOf(QLatin1String(field)), !shown);
}

void TForm30::RefreshButtonClick()
{
    using namespace change_history;
    if (m_rowId == 0 && ToDate->date() < FromDate->date()) {
        m_prompts.error(QStringLiteral("Дата «По» раньше даты «С»."), QStringLiteral("Ошибка"));
        return;
    }
    // The period's changes may be many: they are read in the background, a batch at a time,
    // straight into the rows shown; the day "По" is shown with its changes. The newest come first,
    // as the user mostly looks for what was done last.
    auto rows = std::make_shared<Dataset::Snapshot>(emptySnapshot());
    BackgroundJob::Work read;
    if (m_rowId)
        read = [rows, table = m_table, id = m_rowId](JobContext& context) {
            const QList<Record> records = entryHistory(context.db(), table, id);
            for (auto r = records.crbegin(); r != records.crend(); ++r) append(*rows, *r);
        };
    else
        read = [rows, from = FromDate->date(), to = ToDate->date().addDays(1),
                scope = ApprovedOnly->isChecked() ? Scope::ApprovedEntries : Scope::Everything](JobContext& context) {
            eachPeriodChange(
                context.db(), from, to, scope,
                [&](const Record& r) {
                    append(*rows, r);
                    if (rows->rowCount % kCheckEvery == 0) context.checkCancelled();
                },
                Order::NewestFirst);
        };
    m_work->read(read,
                [this, rows](BackgroundJob::Outcome outcome) {
                    if (outcome == BackgroundJob::Outcome::Done) Changes.adopt(std::move(*rows));
                },
                {m_period, RefreshButton, ExcelButton});
}

void TForm30::ExcelButtonClick()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([this] {
        QApplication::restoreOverrideCursor();
        ExcelButton->setText(QStringLiteral("Excel"));
    });
    // The rows as shown: their order and search.
    HistorySheet sheet(m_excel);
    const int total = Changes.recordCount();
    QVariantList values;
    for (int row = 0; row < total && sheet.started(); ++row) {
        values.clear();
        for (const Column& c : columns()) values << Changes.valueAt(row, c.field);
        sheet.add(values);
        const int written = row + 1;
        if (written % 500 == 0 || written == total)
            ExcelButton->setText(QStringLiteral("Excel (") + QString::number(written) + QStringLiteral(" из ") +
                                 QString::number(total) + QLatin1Char(')'));
    }
    if (sheet.finish() == -1) return;
    m_excel.SetExcelVisible(true);
}

HistorySheet::HistorySheet(ExcelApp& excel, int rowsPerSheet) : m_excel(excel)
{
    QStringList titles;
    for (const Column& c : columns()) titles << c.title;
    m_started = m_excel.OpenExcelRows(kSheetName, titles, rowsPerSheet) == 1;
}

void HistorySheet::add(const Record& r)
{
    QVariantList values;
    values.reserve(columns().size());
    for (const Column& c : columns()) values << c.value(r);
    add(values);
}

void HistorySheet::add(const QVariantList& values)
{
    if (m_started && !m_failed && m_excel.WriteExcelRow(values) == -1) m_failed = true;
}

int HistorySheet::finish()
{
    if (!m_started) return -1;
    return m_excel.CloseExcelRows() == -1 || m_failed ? -1 : 1;
}

int writeHistorySheet(const QList<Record>& records, ExcelApp& excel, const std::function<void(int, int)>& progress, int rowsPerSheet)
{
    HistorySheet sheet(excel, rowsPerSheet);
    if (!sheet.started()) return -1;
    const int total = int(records.size());
    if (progress) progress(0, total);
    int written = 0;
    for (const Record& r : records) {
        sheet.add(r);
        if (progress) progress(++written, total);
    }
    return sheet.finish();
}
