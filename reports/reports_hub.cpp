#include "reports/reports_hub.h"
#include "data/data_module.h"
#include "data/prompts.h"
#include "data/background_job.h"
#include "export/excel_export.h"
#include "rules/sheet_rows.h"
#include "ui/job_progress.h"
#include "reports/output_sheet.h"
#include "reports/report_kinds.h"
#include "reports/report_window.h"
#include "ui/date_picker.h"
#include "ui/guard.h"

#include <QApplication>
#include <QDateEdit>
#include "ui/window_memory.h"
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QVBoxLayout>

TForm18::TForm18(TDataModule6& dm, ExcelApp& excel, QWidget* parent)
    : QDialog(parent), XLS_Rep(dm.ADO_DB, sheet_statements::kXlsRep), m_dm(dm), m_excel(excel), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form18"));
    setWindowTitle(QStringLiteral("Отчеты (8)"));
    XLS_Rep.setObjectName(QStringLiteral("XLS_Rep"));

    RadioGroup1 = new QGroupBox(QStringLiteral("Вид продукции"), this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    auto* kindsLayout = new QVBoxLayout(RadioGroup1);
    for (const QString& caption : {QStringLiteral("Все"), QStringLiteral("Готовая продукция"), QStringLiteral("Заготовки")}) {
        auto* item = new QRadioButton(caption, RadioGroup1);
        item->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(m_kinds.size()));
        kindsLayout->addWidget(item);
        m_kinds << item;
    }
    m_kinds.first()->setChecked(true);

    GroupBox1 = new QGroupBox(QStringLiteral("Период отбора"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label1 = new QLabel(QStringLiteral("с"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    DTPicker1 = datePicker(QStringLiteral("DTPicker1"), GroupBox1);
    Label1->setBuddy(DTPicker1);
    Label2 = new QLabel(QStringLiteral("по"), GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    DTPicker2 = datePicker(QStringLiteral("DTPicker2"), GroupBox1);
    Label2->setBuddy(DTPicker2);
    auto* periodLayout = new QHBoxLayout(GroupBox1);
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, DTPicker1, Label2, DTPicker2}) periodLayout->addWidget(w);

    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    Button2 = button("Button2", QStringLiteral("Отчет по продукции"));
    Button4 = button("Button4", QStringLiteral("Отчет по рабочим"));
    Button1 = button("Button1", QStringLiteral("Детальный отчет по рабочим"));
    Button3 = button("Button3", QStringLiteral("Детальный отчет по продукции"));
    Button6 = button("Button6", QStringLiteral("Excel (0 из 0)"));
    Button5 = button("Button5", QStringLiteral("Выход"));
    connect(Button5, &QPushButton::clicked, this, &QDialog::reject);   // also Esc

    // Each report button starts the report that names it in the list of report kinds.
    for (const ReportKind& kind : reportKinds()) {
        if (kind.startedBy.window != objectName()) continue;
        if (auto* b = findChild<QPushButton*>(kind.startedBy.control))
            connect(b, &QPushButton::clicked, this, guarded(m_prompts, [this, &kind] { runReport(kind); }));
    }
    connect(Button6, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button6Click(); }));

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {Button2, Button4, Button1, Button3, Button6}) buttons->addWidget(b);
    PB = JobProgress::newBar(this);
    buttons->addWidget(PB);
    buttons->addStretch();
    buttons->addWidget(Button5);
    auto* left = new QVBoxLayout;
    left->addWidget(RadioGroup1);
    left->addWidget(GroupBox1);
    left->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(buttons);
    m_work = new JobProgress(dm.ADO_DB, m_prompts, PB, this);
}

void TForm18::done(int result)
{
    m_work->stop();
    QDialog::done(result);
}

TForm18::~TForm18() = default;

int TForm18::productKind() const
{
    for (int i = 0; i < m_kinds.size(); ++i)
        if (m_kinds.at(i)->isChecked()) return i;
    return 0;
}

void TForm18::setProductKind(int item) { m_kinds.value(item, m_kinds.first())->setChecked(true); }

void TForm18::holdToRole(access_rights::Role role)
{
    if (!access_rights::mayUse(role, objectName(), RadioGroup1->objectName())) setProductKind(1);
}

ReportRequest TForm18::request() const
{
    ReportRequest r;
    r.from = DTPicker1->date();
    r.to = DTPicker2->date();
    r.productKind = productKind();
    return r;
}

std::pair<QDate, QDate> TForm18::previousMonth(const QDate& today)
{
    const QDate first(today.year(), today.month(), 1);
    return {first.addMonths(-1), first};
}

void TForm18::openFromMenu(const QDate& today)
{
    auto [from, to] = previousMonth(today);
    // The period of the last report or workbook, where the user made one.
    const QVariantList kept = WindowMemory::kept(QStringLiteral("hub/period")).toList();
    if (kept.size() == 2 && kept[0].toDate().isValid() && kept[1].toDate().isValid()) {
        from = kept[0].toDate();
        to = kept[1].toDate();
    }
    DTPicker1->setDate(from);
    DTPicker2->setDate(to);
    exec();
}

void TForm18::keepPeriod() const
{
    WindowMemory::keep(QStringLiteral("hub/period"), QVariantList{DTPicker1->date(), DTPicker2->date()});
}

void TForm18::runReport(const ReportKind& kind)
{
    std::unique_ptr<ReportWindow>& window = m_reports[kind.window];
    if (!window) window = kind.make(m_dm);
    // The report's rows are read in the background; the hub stays responsive, shows its bar and
    // "Отмена", and lays out and shows the preview once they are in.
    ReportWindow* report = window.get();
    const ReportRequest asked = request();
    keepPeriod();
    auto read = report->rowsReader(asked);
    auto rows = std::make_shared<std::shared_ptr<const ReportData>>();
    m_work->read([read, rows](JobContext& context) { *rows = read(context.db()); },
                [this, report, asked, rows](BackgroundJob::Outcome outcome) {
                    if (outcome == BackgroundJob::Outcome::Done) report->runWithRows(asked, std::move(*rows), this);
                },
                {Button1, Button2, Button3, Button4, Button6, RadioGroup1, GroupBox1});
}

ReportWindow* TForm18::reportWindow(const QString& window) const
{
    const auto it = m_reports.find(window);
    return it == m_reports.end() ? nullptr : it->second.get();
}

void TForm18::Button6Click()
{
    // The period's rows are read in the background; the workbook is written here.
    keepPeriod();
    auto rows = std::make_shared<QList<sheet_rows::OutputRow>>();
    m_work->read(
        [rows, request = request()](JobContext& context) { *rows = sheet_rows::output(context.db(), request); },
        [this, rows](BackgroundJob::Outcome outcome) {
            if (outcome != BackgroundJob::Outcome::Done) return;
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
            const int opened = writeOutputSheet(*rows, m_excel, [this](int written, int total) {
                Button6->setText(QStringLiteral("Excel (") + QString::number(written) + QStringLiteral(" из ") +
                                 QString::number(total) + QLatin1Char(')'));
            });
            if (opened == -1) return;
            m_excel.SetExcelVisible(true);
        },
        {Button1, Button2, Button3, Button4, Button6, RadioGroup1, GroupBox1});
}
