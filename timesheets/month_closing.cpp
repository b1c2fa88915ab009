#include "timesheets/month_closing.h"
#include "data/data_module.h"
#include "data/dataset.h"
#include "data/formats.h"
#include "data/prompts.h"
#include "rules/month_close.h"
#include "timesheets/timesheet_progress.h"
#include "ui/data_grid.h"
#include "ui/grid_model.h"
#include "ui/guard.h"
#include "ui/job_progress.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

MonthChoice MonthChoice::make(QWidget* parent, QBoxLayout* into)
{
    MonthChoice c;
    c.month = new QComboBox(parent);
    c.month->setObjectName(QStringLiteral("ComboBox1"));
    c.month->addItems(formats::monthNames());
    c.year = new QSpinBox(parent);
    c.year->setObjectName(QStringLiteral("SpinYear"));
    c.year->setRange(2000, 2100);
    auto* monthLabel = new QLabel(QStringLiteral("Месяц:"), parent);
    monthLabel->setBuddy(c.month);
    auto* yearLabel = new QLabel(QStringLiteral("Год:"), parent);
    yearLabel->setBuddy(c.year);
    into->addWidget(monthLabel);
    into->addWidget(c.month);
    into->addWidget(yearLabel);
    into->addWidget(c.year);
    return c;
}

void MonthChoice::set(const QDate& day)
{
    month->setCurrentIndex(day.month() - 1);
    year->setValue(day.year());
}

int MonthChoice::monthNumber() const { return month->currentIndex() + 1; }
int MonthChoice::yearNumber() const { return year->value(); }

namespace {

QProgressBar* progressBar(QWidget* parent, QBoxLayout* into)
{
    auto* bar = JobProgress::newBar(parent);
    into->addWidget(bar, 1);
    return bar;
}

QPushButton* button(QWidget* parent, QBoxLayout* into, const QString& caption, const char* name)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    into->addWidget(b);
    return b;
}

QString optionalNumber(const QVariant& v) { return v.isNull() ? QStringLiteral("пусто") : v.toString(); }

} // namespace

TForm32::TForm32(TDataModule6& dm, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form32"));
    setWindowTitle(QStringLiteral("Проверка табеля"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    period = MonthChoice::make(this, top);
    Button1 = button(this, top, QStringLiteral("Проверить"), "Button1");
    Button1->setDefault(true);
    top->addStretch();
    layout->addLayout(top);

    ResultLabel = new QLabel(this);
    ResultLabel->setObjectName(QStringLiteral("ResultLabel"));
    ResultLabel->setWordWrap(true);
    layout->addWidget(ResultLabel);

    m_differences = new Dataset(dm.ADO_DB, month_close::kDifferences, this);
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    m_model = new GridModel(m_differences,
                            {{"fio", "Фамилия И.О.", Qt::AlignLeft | Qt::AlignVCenter, false, 200},
                             {"w_id", "Код", right, false, 60},
                             {"family", "Смена / вид", Qt::AlignLeft | Qt::AlignVCenter, false, 150},
                             {"day", "Число", right, false, 55},
                             {"cell", "В табеле", right, false, 80, optionalNumber},
                             {"total", "По записям", right, false, 90, optionalNumber}},
                            this);
    DBGrid1 = new DataGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGridModel(m_model);
    layout->addWidget(DBGrid1, 1);

    auto* bottom = new QHBoxLayout;
    PB = progressBar(this, bottom);
    bottom->addStretch();
    Button2 = button(this, bottom, QStringLiteral("Выход"), "Button2");
    layout->addLayout(bottom);

    Prompts& prompts = dm.prompts();
    connect(Button1, &QPushButton::clicked, this, guarded(prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    m_work = new JobProgress(dm.ADO_DB, prompts, PB, this);
    DBGrid1->actAs(nullptr, nullptr, nullptr, Button1);
    resize(720, 520);
}

TForm32::~TForm32() = default;

void TForm32::openFor(const QDate& day)
{
    period.set(day);
    Button1Click();
    exec();
    m_differences->close();
}

void TForm32::Button1Click()
{
    const int month = period.monthNumber(), year = period.yearNumber();
    m_differences->setParams(month_close::differencesParams(month, year));
    ResultLabel->setText(QStringLiteral("Проверка табеля за %1…").arg(month_close::monthText(month, year)));
    openInBackground(*m_work, QList<Dataset*>{m_differences}, {}, [this, month, year] {
        const int n = m_differences->recordCount();
        const QString shown = month_close::monthText(month, year);
        ResultLabel->setText(n == 0 ? QStringLiteral("Расхождений нет: табель за %1 сходится с журналом и часами.").arg(shown)
                                    : QStringLiteral("Расхождений: %1. Табель за %2 расходится с журналом и часами; "
                                                     "перестройте его в окнах «Табель по сменам» и «Табель хоз. работ».")
                                          .arg(n)
                                          .arg(shown));
    });
}

bool TForm32::waitForCheck(int ms) { return m_work->wait(ms); }

void TForm32::done(int result)
{
    m_work->stop();
    QDialog::done(result);
}

TForm31::TForm31(TDataModule6& dm, TForm32& check, QWidget* parent)
    : QDialog(parent), m_dm(dm), m_prompts(dm.prompts()), m_check(check)
{
    setObjectName(QStringLiteral("Form31"));
    setWindowTitle(QStringLiteral("Закрытие месяца"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    period = MonthChoice::make(this, top);
    top->addStretch();
    layout->addLayout(top);
    StateLabel = new QLabel(this);
    StateLabel->setObjectName(QStringLiteral("StateLabel"));
    StateLabel->setWordWrap(true);
    layout->addWidget(StateLabel);

    auto* reasonRow = new QHBoxLayout;
    ReasonEdit = new QLineEdit(this);
    ReasonEdit->setObjectName(QStringLiteral("ReasonEdit"));
    ReasonEdit->setPlaceholderText(QStringLiteral("нужна, чтобы открыть закрытый месяц"));
    auto* reasonLabel = new QLabel(QStringLiteral("Причина:"), this);
    reasonLabel->setBuddy(ReasonEdit);
    reasonRow->addWidget(reasonLabel);
    reasonRow->addWidget(ReasonEdit, 1);
    layout->addLayout(reasonRow);

    auto* listLabel = new QLabel(QStringLiteral("Закрытые месяцы:"), this);
    ClosedList = new QTableWidget(0, 3, this);
    ClosedList->setObjectName(QStringLiteral("ClosedList"));
    ClosedList->setHorizontalHeaderLabels({QStringLiteral("Месяц"), QStringLiteral("Закрыт"), QStringLiteral("Кем")});
    ClosedList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ClosedList->setSelectionBehavior(QAbstractItemView::SelectRows);
    ClosedList->setSelectionMode(QAbstractItemView::SingleSelection);
    ClosedList->verticalHeader()->hide();
    ClosedList->horizontalHeader()->setStretchLastSection(true);
    ClosedList->setColumnWidth(0, 90);
    ClosedList->setColumnWidth(1, 150);
    listLabel->setBuddy(ClosedList);
    layout->addWidget(listLabel);
    layout->addWidget(ClosedList, 1);

    auto* bottom = new QHBoxLayout;
    Button1 = button(this, bottom, QStringLiteral("Закрыть месяц"), "Button1");
    Button2 = button(this, bottom, QStringLiteral("Открыть месяц"), "Button2");
    PB = progressBar(this, bottom);
    bottom->addStretch();
    Button3 = button(this, bottom, QStringLiteral("Выход"), "Button3");
    layout->addLayout(bottom);

    connect(period.month, &QComboBox::currentIndexChanged, this, guarded(m_prompts, [this] { showState(); }));
    connect(period.year, &QSpinBox::valueChanged, this, guarded(m_prompts, [this] { showState(); }));
    connect(ClosedList, &QTableWidget::currentCellChanged, this, [this](int row) {
        const QTableWidgetItem* item = ClosedList->item(row, 0);
        if (item) runGuarded(m_prompts, [&] { period.set(item->data(Qt::UserRole).toDate()); });
    });
    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button2Click(); }));
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);
    m_work = new JobProgress(dm.ADO_DB, m_prompts, PB, this);
    resize(560, 420);
}

void TForm31::openFor(const QDate& day)
{
    {
        const QSignalBlocker months(period.month), years(period.year);
        period.set(day.addMonths(-1));
    }
    ReasonEdit->clear();
    showState();
    exec();
}

void TForm31::showState()
{
    const int month = period.monthNumber(), year = period.yearNumber();
    const QList<month_close::ClosedMonth> closed = month_close::closedMonths(m_dm.ADO_DB);
    const QSignalBlocker quiet(ClosedList);   // refilling it is no choice of a month
    ClosedList->setRowCount(int(closed.size()));
    QString state = QStringLiteral("Месяц %1 открыт: его записи можно изменять.").arg(month_close::monthText(month, year));
    bool isClosed = false;
    for (int r = 0; r < closed.size(); ++r) {
        const month_close::ClosedMonth& c = closed.at(r);
        auto* name = new QTableWidgetItem(month_close::monthText(c.month, c.year));
        name->setData(Qt::UserRole, QDate(c.year, c.month, 1));
        const QString when = c.closedAt.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm"));
        ClosedList->setItem(r, 0, name);
        ClosedList->setItem(r, 1, new QTableWidgetItem(when));
        ClosedList->setItem(r, 2, new QTableWidgetItem(c.closedBy));
        if (c.month == month && c.year == year) {
            isClosed = true;
            state = QStringLiteral("Месяц %1 закрыт %2 (%3): его записи, часы и табель не изменяются.")
                        .arg(month_close::monthText(month, year), when, c.closedBy);
        }
    }
    // Who opened it again last, and why, as the history keeps it.
    if (const std::optional<month_close::Reopening> r = month_close::lastReopening(m_dm.ADO_DB, month, year))
        state += QStringLiteral(" Открыт снова %1 (%2): %3.")
                     .arg(r->at.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm")), r->by, r->reason);
    StateLabel->setText(state);
    if (!m_work->isRunning()) {
        Button1->setEnabled(!isClosed);
        Button2->setEnabled(isClosed);
    }
}

void TForm31::Button1Click()
{
    const int month = period.monthNumber(), year = period.yearNumber();
    const QString shown = month_close::monthText(month, year);
    if (!m_prompts.question(QStringLiteral("Закрыть месяц %1? После закрытия его записи, часы и табель изменить нельзя, "
                                           "пока месяц не откроют снова.")
                                .arg(shown),
                            QStringLiteral("Закрытие месяца")))
        return;
    auto result = std::make_shared<month_close::CloseResult>();
    m_work->run([result, month, year](JobContext& context) { *result = month_close::close(context.db(), month, year); },
                [this, result, month, year, shown](BackgroundJob::Outcome outcome) {
                    showState();
                    if (outcome != BackgroundJob::Outcome::Done) return;
                    switch (result->outcome) {
                    case month_close::Outcome::Done:
                        m_prompts.information(QStringLiteral("Месяц %1 закрыт.").arg(shown), QStringLiteral("Закрытие месяца"));
                        break;
                    case month_close::Outcome::AlreadyClosed:
                        m_prompts.information(QStringLiteral("Месяц %1 уже закрыт.").arg(shown), QStringLiteral("Закрытие месяца"));
                        break;
                    case month_close::Outcome::Inconsistent:
                        if (m_prompts.question(QStringLiteral("Месяц %1 не закрыт: его табель расходится с журналом и часами "
                                                              "(расхождений: %2). Перестройте табель месяца и закройте его снова.\n\n"
                                                              "Показать расхождения?")
                                                   .arg(shown)
                                                   .arg(result->differences.size()),
                                               QStringLiteral("Закрытие месяца")))
                            m_check.openFor(QDate(year, month, 1));
                        break;
                    case month_close::Outcome::NotClosed: break;
                    }
                },
                {Button1, Button2, Button3, period.month, period.year, ReasonEdit});
}

void TForm31::Button2Click()
{
    const int month = period.monthNumber(), year = period.yearNumber();
    const QString shown = month_close::monthText(month, year);
    const QString reason = ReasonEdit->text().trimmed();
    if (reason.isEmpty()) {
        m_prompts.error(QStringLiteral("Укажите причину, по которой месяц %1 открывается.").arg(shown), QStringLiteral("Закрытие месяца"));
        ReasonEdit->setFocus();
        return;
    }
    const month_close::Outcome outcome = month_close::reopen(m_dm.ADO_DB, month, year, reason);
    showState();
    if (outcome == month_close::Outcome::Done) {
        ReasonEdit->clear();
        m_prompts.information(QStringLiteral("Месяц %1 открыт.").arg(shown), QStringLiteral("Закрытие месяца"));
    } else {
        m_prompts.information(QStringLiteral("Месяц %1 не был закрыт.").arg(shown), QStringLiteral("Закрытие месяца"));
    }
}

bool TForm31::waitForWork(int ms) { return m_work->wait(ms); }

void TForm31::done(int result)
{
    m_work->stop();
    QDialog::done(result);
}
