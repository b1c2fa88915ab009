#include "reports/month_summary_window.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "reports/engine/report_expression.h"
#include "reports/month_summary_charts.h"
#include "ui/guard.h"
#include "ui/job_progress.h"
#include "ui/month_choice.h"

#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidget* figureTable(const SummaryFigure& f, QWidget* parent)
{
    auto* table = new QTableWidget(int(f.rows.size()), int(f.headings.size()), parent);
    table->setObjectName(f.name + QStringLiteral("Table"));
    table->setHorizontalHeaderLabels(f.headings);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    for (int r = 0; r < f.rows.size(); ++r)
        for (int c = 0; c < f.headings.size(); ++c) {
            auto* item = new QTableWidgetItem(f.rows.at(r).value(c));
            item->setTextAlignment((c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
            if (r == f.rows.size() - 1) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            }
            table->setItem(r, c, item);
        }
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    const int height = table->horizontalHeader()->sizeHint().height() +
                       int(f.rows.size()) * table->verticalHeader()->defaultSectionSize() + 4;
    table->setFixedHeight(height);
    return table;
}

} // namespace

TForm35::TForm35(TDataModule6& dm, QWidget* parent)
    : QDialog(parent), q_year(dm.ADO_DB, kQ_year), m_dm(dm), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form35"));
    setWindowTitle(QStringLiteral("Сводка за месяц"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    auto* layout = new QVBoxLayout(this);

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
    for (QWidget* w : std::initializer_list<QWidget*>{monthLabel, ComboBox1, yearLabel, cb_year}) panel->addWidget(w);
    TotalsLabel = new QLabel(this);
    TotalsLabel->setObjectName(QStringLiteral("TotalsLabel"));
    TotalsLabel->setWordWrap(true);
    panel->addSpacing(12);
    panel->addWidget(TotalsLabel, 1);
    layout->addLayout(panel);

    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    layout->addWidget(Pages, 1);

    auto* buttons = new QHBoxLayout;
    const auto button = [this, buttons](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    PrintButton = button(QStringLiteral("Печать"), "PrintButton");
    PdfButton = button(QStringLiteral("PDF"), "PdfButton");
    PB = JobProgress::newBar(this);
    buttons->addWidget(PB, 1);
    buttons->addStretch();
    CloseButton = button(QStringLiteral("Выход"), "CloseButton");
    layout->addLayout(buttons);

    connect(ComboBox1, &QComboBox::currentIndexChanged, this, guarded(m_prompts, [this] { ComboBox1Change(); }));
    connect(cb_year, &QComboBox::activated, this, guarded(m_prompts, [this] { ComboBox1Change(); }));
    connect(PrintButton, &QPushButton::clicked, this, guarded(m_prompts, [this] { PrintButtonClick(); }));
    connect(PdfButton, &QPushButton::clicked, this, guarded(m_prompts, [this] { PdfButtonClick(); }));
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    m_work = new JobProgress(dm.ADO_DB, m_prompts, PB, this);
    askPdfPath = [](QWidget* parent, const QString& suggested) {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("Сохранить в PDF"), suggested, QStringLiteral("PDF (*.pdf)"));
    };
    resize(1000, 700);
}

TForm35::~TForm35() = default;

void TForm35::done(int result)
{
    m_work->stop();
    QDialog::done(result);
}

int TForm35::month() const { return ComboBox1->currentIndex() + 1; }
int TForm35::year() const { return cb_year->currentText().toInt(); }

void TForm35::holdToRole(access_rights::Role role)
{
    // As the hub: a role that may not choose the product kind there sees finished products only.
    m_productKind = access_rights::mayUse(role, QStringLiteral("Form18"), QStringLiteral("RadioGroup1")) ? 0 : 1;

}

std::optional<TForm35::Place> TForm35::openFor(const QDate& todayDate)
{
    m_chosen.reset();
    {
        const QSignalBlocker block(ComboBox1);
        ComboBox1->setCurrentIndex(todayDate.month() - 1);
        fillYearChoice(cb_year, q_year, todayDate.year());
        q_year.close();
        keptPeriod(ComboBox1, cb_year);
    }
    ComboBox1Change();
    exec();
    return m_chosen;
}

void TForm35::ComboBox1Change()
{
    keepPeriod(month(), year());
    m_work->stop();
    m_summary.reset();
    Pages->clear();
    TotalsLabel->clear();
    PrintButton->setEnabled(false);
    PdfButton->setEnabled(false);
    auto read = std::make_shared<month_summary::Summary>();
    const month_summary::Request request{month(), year(), m_productKind};
    m_work->read([read, request](JobContext& context) { *read = month_summary::read(context.db(), request); },
                 [this, read](BackgroundJob::Outcome outcome) {
                     if (outcome == BackgroundJob::Outcome::Done) showFigures(*read);
                 },
                 {ComboBox1, cb_year});
}

void TForm35::showFigures(const month_summary::Summary& summary)
{
    m_summary = summary;
    // A role held to finished products is told so, as its printed pages' title does.
    TotalsLabel->setText((summary.request.productKind == 1 ? QStringLiteral("Готовая продукция. ") : QString()) + summaryTotals(summary));
    for (SummaryPage& page : summaryPages(summary, [this](int day, int shift) { chooseDay(day, shift); })) {
        auto* tab = new QWidget(Pages);
        QBoxLayout* box = page.sideBySide ? static_cast<QBoxLayout*>(new QHBoxLayout(tab)) : new QVBoxLayout(tab);
        for (SummaryFigure& f : page.figures) {
            auto* column = new QVBoxLayout;
            auto* view = new QChartView(f.chart.release(), tab);
            view->setObjectName(f.name);
            view->setRenderHint(QPainter::Antialiasing);
            view->setMinimumHeight(160);
            column->addWidget(view, 1);
            column->addWidget(figureTable(f, tab));
            box->addLayout(column, 1);
        }
        Pages->addTab(tab, page.caption);
    }
    PrintButton->setEnabled(true);
    PdfButton->setEnabled(true);
}

void TForm35::chooseDay(int day, int shift)
{
    const QDate date(year(), month(), day);
    if (!date.isValid()) return;
    m_chosen = Place{date, shift};
    accept();
}

void TForm35::PrintButtonClick()
{
    if (!m_summary) return;
    QPrinter printer;
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setFullPage(true);
    printer.setDocName(summaryTitle(m_summary->request));
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted) return;
    QPainter painter;
    if (!painter.begin(&printer)) {
        m_prompts.error(QStringLiteral("Принтер недоступен"));
        return;
    }
    paintSummary(painter, printer, *m_summary);
}

void TForm35::PdfButtonClick()
{
    if (!m_summary) return;
    const QString suggested = QDir::home().filePath(
        QStringLiteral("summary-%1-%2.pdf").arg(m_summary->request.year).arg(m_summary->request.month, 2, 10, QLatin1Char('0')));
    const QString path = askPdfPath ? askPdfPath(this, suggested) : QString();
    if (path.isEmpty()) return;
    try {
        writeSummaryPdf(*m_summary, path);
    } catch (const ReportError& e) {
        m_prompts.error(e.text());
    }
}
