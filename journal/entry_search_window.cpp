#include "journal/entry_search_window.h"
#include "data/background_job.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/money.h"
#include "data/prompts.h"
#include "export/excel_export.h"
#include "ui/data_grid.h"
#include "ui/date_picker.h"
#include "ui/guard.h"
#include "ui/job_progress.h"

#include <QApplication>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

// Set-based, the period first: the workers, products and operation kinds whose names hold the
// text are found first among the few of them (a worker by the person rows that name him, by id or
// by code, and then named as the journal names him: by his id, else by his code); the period's
// entries are then read once by the index on their date, those of the marks each shift of the
// journal leaves out left out, and kept when they are of those or of a colour holding the text
// (only a text that can be part of a number is compared with the colours). Each worker and
// product among the entries found is named once. The totals are of all entries found; the rows are
// only the first ones in the journal's order of days and shifts, chosen on their sort keys alone
// so that the choice stays in memory, and then read whole.
// A worker w.w_id as the journal names him: by his person row, else the first that names him by code.
const QString kNamed = QStringLiteral(R"(cross join lateral (
    select p.s_caption
    from (select p.s_caption, 0 as by_code, p.id from cmn_contractor.person p where p.id=w.w_id
          union all
          select p.s_caption, 1, p.id from cmn_contractor.person p
          where accounts_dep.person_code_id(p.s_code)=w.w_id and p.id<>w.w_id) p
    order by p.by_code, p.id limit 1) n)");

const QString kFindEntries = QStringLiteral(R"(
with workers as materialized (
  select w.w_id
  from (select distinct unnest(array[p.id, accounts_dep.person_code_id(p.s_code)]) as w_id
        from cmn_contractor.person p where p.s_caption ilike :pattern) w
  %1
  where w.w_id is not null and n.s_caption ilike :pattern),
products as materialized (select z.id::integer as id from accounts_dep.izdel z where z.marka ilike :pattern),
operations as materialized (
  select o.id from accounts_dep.oper o join accounts_dep.vid_oper v on v.id=o.vid where v.vid ilike :pattern),
smena as materialized (
  select id, data, smena, w_id, i_id, o_id, cena, kol_vo, brak, color, time, prize, ok, vvod
  from accounts_dep.smena
  where data >= :date1 and data < :date2 and smena in (1, 2, 3, 4)
    and ok <> (case smena when 1 then :ok1 when 2 then :ok2 when 3 then :ok3 else :ok4 end)
    and (w_id in (select w_id from workers) or i_id in (select id from products)
         or o_id in (select id from operations) or color::text ilike :colours)),
person as materialized (
  select w.w_id, n.s_caption
  from (select distinct w_id from smena) w
  %1),
izdel as materialized (
  select i.i_id as id, z.marka from (select distinct i_id from smena) i join accounts_dep.izdel z on z.id=i.i_id),
kinds as (select oper.id, oper.naimen, vid_oper.vid from accounts_dep.oper join accounts_dep.vid_oper on oper.vid=vid_oper.id),
totals as (
  select count(*) as found_count, coalesce(sum(kol_vo), 0) as found_quantity,
         coalesce(sum(round((kol_vo-brak)*cena::numeric, 2)), 0) as found_amount
  from smena
  where w_id in (select w_id from person) and i_id in (select id from izdel) and o_id in (select id from kinds)),
shown as (
  select smena.id, person.s_caption as fio, izdel.marka, kinds.vid, kinds.naimen
  from smena join izdel on smena.i_id=izdel.id join kinds on smena.o_id=kinds.id join person on person.w_id=smena.w_id
  order by smena.data, smena.smena, person.s_caption, izdel.marka, kinds.vid, kinds.naimen, smena.color, smena.id
  limit :shown)
select smena.id, smena.data, smena.smena, smena.w_id, smena.i_id, smena.o_id, smena.cena,
       shown.fio, shown.marka, shown.vid,
       (case shown.naimen when 0 then 'Готовая продукция' else 'Заготовки' end) as nmn, shown.naimen,
       smena.brak, smena.kol_vo::numeric as kol_vo, round((kol_vo-brak)*smena.cena::numeric, 2) as summa,
       smena.prize, smena.color, smena.time, smena.ok, smena.vvod,
       totals.found_count, totals.found_quantity, totals.found_amount
from shown join smena on smena.id=shown.id cross join totals
order by smena.data, smena.smena, shown.fio, shown.marka, shown.vid, shown.naimen, smena.color, smena.id
)").arg(kNamed);

const QString kExcel = QStringLiteral("Excel");

QList<ColumnSpec> foundColumns(const QList<ColumnSpec>& journalColumns)
{
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    QList<ColumnSpec> columns = {{QStringLiteral("data"), QStringLiteral("Дата"), Qt::AlignLeft | Qt::AlignVCenter, false, 0},
                                 {QStringLiteral("smena"), QStringLiteral("Смена"), right, false, 45}};
    return columns + journalColumns;
}

} // namespace

QString TForm34::containsPattern(const QString& text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_')) escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

TForm34::TForm34(TDataModule6& dm, ExcelApp& excel, const QList<ColumnSpec>& journalColumns, QWidget* parent)
    : QDialog(parent), Found(dm.ADO_DB, kFindEntries), m_excel(excel), m_prompts(dm.prompts()), m_dm(dm)
{
    setObjectName(QStringLiteral("Form34"));
    setWindowTitle(QStringLiteral("Поиск записей журнала (34)"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    Found.setObjectName(QStringLiteral("Found"));

    auto* top = new QHBoxLayout;
    FromDate = datePicker(QStringLiteral("FromDate"), this);
    ToDate = datePicker(QStringLiteral("ToDate"), this);
    TextEdit = new QLineEdit(this);
    TextEdit->setObjectName(QStringLiteral("TextEdit"));
    TextEdit->setPlaceholderText(QStringLiteral("рабочий, изделие, операция или цвет"));
    TextEdit->setClearButtonEnabled(true);
    for (auto [caption, field] : {std::pair<QString, QWidget*>{QStringLiteral("С"), FromDate},
                                  std::pair<QString, QWidget*>{QStringLiteral("По"), ToDate},
                                  std::pair<QString, QWidget*>{QStringLiteral("Содержит:"), TextEdit}}) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(field);
        top->addWidget(label);
        top->addWidget(field, field == TextEdit ? 1 : 0);
    }
    FindButton = new QPushButton(QStringLiteral("Найти"), this);
    FindButton->setObjectName(QStringLiteral("FindButton"));
    FindButton->setAutoDefault(false);
    FindButton->setDefault(true);
    top->addWidget(FindButton);

    FoundGrid = new DataGrid(this);
    FoundGrid->setObjectName(QStringLiteral("FoundGrid"));
    FoundGrid->setGridModel(new GridModel(&Found, foundColumns(journalColumns), this));
    QHeaderView* header = FoundGrid->horizontalHeader();
    for (int c = 0; c < FoundGrid->gridModel()->columnCount(); ++c)
        FoundGrid->setColumnWidth(c, std::max(FoundGrid->columnWidth(c), header->sectionSizeHint(c)));
    // The day and the moment an entry was keyed in, whole.
    for (const auto& [field, longest] : {std::pair{"data", "00.00.0000"}, std::pair{"vvod", "00.00.0000 00:00:00"}})
        FoundGrid->setColumnWidth(FoundGrid->gridModel()->columnOf(QLatin1String(field)),
                                  FoundGrid->fontMetrics().horizontalAdvance(QLatin1String(longest)) + 16);
    header->setStretchLastSection(true);

    auto* bottom = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        bottom->addWidget(b);
        return b;
    };
    GoButton = button("GoButton", QStringLiteral("Перейти"));
    ExcelButton = button("ExcelButton", kExcel);
    m_bar = JobProgress::newBar(this);
    bottom->addWidget(m_bar);
    TotalsLabel = new QLabel(this);
    TotalsLabel->setObjectName(QStringLiteral("TotalsLabel"));
    bottom->addWidget(TotalsLabel);
    bottom->addStretch();
    CloseButton = button("CloseButton", QStringLiteral("Закрыть"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(FoundGrid, 1);
    layout->addLayout(bottom);
    m_work = new JobProgress(dm.ADO_DB, m_prompts, m_bar, this);

    FoundGrid->bindKey(Qt::Key_Return, GoButton);
    FoundGrid->addToContextMenu(GoButton);
    connect(FoundGrid, &QAbstractItemView::doubleClicked, this, guarded(m_prompts, [this] { GoButtonClick(); }));
    connect(&Found, &Dataset::reset, this, [this] { showTotals(); });
    connect(FindButton, &QPushButton::clicked, this, guarded(m_prompts, [this] { FindButtonClick(); }));
    connect(GoButton, &QPushButton::clicked, this, guarded(m_prompts, [this] { GoButtonClick(); }));
    connect(ExcelButton, &QPushButton::clicked, this, guarded(m_prompts, [this] { ExcelButtonClick(); }));
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);
    resize(1000, 600);
}

TForm34::~TForm34() = default;

void TForm34::done(int result)
{
    m_work->stop();
    QDialog::done(result);
}

std::optional<TForm34::Place> TForm34::openFor(const QDate& today)
{
    if (!std::exchange(m_opened, true)) {
        FromDate->setDate(QDate(today.year(), today.month(), 1));
        ToDate->setDate(QDate(today.year(), today.month(), 1).addMonths(1).addDays(-1));
    }
    m_chosen.reset();
    Found.close();
    showTotals();
    // The text last searched for is searched again: the journal may have changed since.
    if (!TextEdit->text().trimmed().isEmpty()) FindButtonClick();
    TextEdit->setFocus(Qt::OtherFocusReason);
    TextEdit->selectAll();
    exec();
    return m_chosen;
}

void TForm34::FindButtonClick()
{
    if (ToDate->date() < FromDate->date()) {
        m_prompts.error(QStringLiteral("Дата «По» раньше даты «С»."), QStringLiteral("Ошибка"));
        return;
    }
    Found.setParam(QStringLiteral("date1"), FromDate->date());
    Found.setParam(QStringLiteral("date2"), ToDate->date().addDays(1));
    // What each shift of the journal leaves out, the search leaves out too.
    for (int shift = 1; shift <= 4; ++shift)
        Found.setParam(QStringLiteral("ok%1").arg(shift), m_dm.smenaQuery(shift).param(QStringLiteral("ok")).toString());
    const QString text = TextEdit->text().trimmed();
    Found.setParam(QStringLiteral("pattern"), containsPattern(text));
    // A colour is a number: a text with anything but digits and a minus is in none.
    static const QRegularExpression number(QStringLiteral("^[-0-9]*$"));
    Found.setParam(QStringLiteral("colours"),
                   number.match(text).hasMatch() ? QVariant(containsPattern(text)) : QVariant(QMetaType::fromType<QString>()));
    Found.setParam(QStringLiteral("shown"), shownLimit);
    auto rows = std::make_shared<Dataset::Snapshot>();
    m_work->read([rows, statement = Found.statement()](JobContext& context) { *rows = Dataset::fetch(statement, context.db()); },
                 [this, rows](BackgroundJob::Outcome outcome) {
                     if (outcome != BackgroundJob::Outcome::Done) return;
                     Found.adopt(std::move(*rows));
                     // Found rows take the focus, for Enter; none leave it in the text, to be put right.
                     (Found.isEmpty() ? static_cast<QWidget*>(TextEdit) : FoundGrid)->setFocus(Qt::OtherFocusReason);
                 },
                 {FromDate, ToDate, TextEdit, FindButton, GoButton, ExcelButton});
}

void TForm34::showTotals()
{
    if (!Found.isOpen()) {
        TotalsLabel->setText(QString());
        return;
    }
    const qlonglong count = Found.isEmpty() ? 0 : Found.asLongLong(QStringLiteral("found_count"));
    const QVariant quantity = Found.isEmpty() ? QVariant(0) : Found.value(QStringLiteral("found_quantity"));
    const Money amount = Found.isEmpty() ? Money() : Money::fromValue(Found.value(QStringLiteral("found_amount")));
    QString text = QStringLiteral("Записей: %1, кол-во %2, на сумму %3")
                       .arg(count)
                       .arg(formats::general(quantity, true), formats::general(amount.rounded(2)));
    if (count > Found.recordCount()) text += QStringLiteral(" (показаны первые %1)").arg(Found.recordCount());
    TotalsLabel->setText(text);
}

void TForm34::GoButtonClick()
{
    if (!Found.isOpen() || Found.isEmpty()) return;
    m_chosen = Place{Found.asInt(QStringLiteral("id")), Found.asDate(QStringLiteral("data")), Found.asInt(QStringLiteral("smena"))};
    accept();
}

void TForm34::ExcelButtonClick()
{
    if (!Found.isOpen()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    if (writeFoundSheet(*FoundGrid, m_excel) == -1) return;
    m_excel.SetExcelVisible(true);
}

int writeFoundSheet(const DataGrid& grid, ExcelApp& excel)
{
    const GridModel* model = grid.gridModel();
    const Dataset* rows = model ? model->dataset() : nullptr;
    if (!rows || excel.OpenExcel(QString()) == -1) return -1;
    QList<int> shown;
    for (int c = 0; c < model->columnCount(); ++c)
        if (!grid.isColumnHidden(c)) shown << c;
    for (int i = 0; i < shown.size(); ++i) {
        const ColumnSpec& spec = model->columns().at(shown.at(i));
        excel.WriteExcelCell(1, i + 1, 1, spec.title, false, false, true);
        if (spec.field == QLatin1String("summa")) excel.SetExcelNumberFormat(1, i + 1, excel_table::kMoney);
    }
    for (int r = 0; r < rows->recordCount(); ++r) {
        for (int i = 0; i < shown.size(); ++i) {
            const QString& field = model->columns().at(shown.at(i)).field;
            const int column = rows->fieldIndex(field);
            if (column < 0) continue;
            const QVariant value = rows->valueAt(r, column);
            const int type = rows->fieldType(column).id();
            // Days and moments as dates the filter sorts by, numbers as numbers, texts as texts
            // whatever they look like.
            if (type == QMetaType::QDate)
                excel.WriteExcelDate(1, i + 1, r + 2, value.toDate());
            else if (type == QMetaType::QDateTime)
                excel.WriteExcelDateTime(1, i + 1, r + 2, value.toDateTime());
            else if (type == QMetaType::QString)
                excel.WriteExcelCell(1, i + 1, r + 2, value.toString(), true, false, false);
            else
                excel.WriteExcelCell(1, i + 1, r + 2, formats::general(value, type == QMetaType::Double), false, false, false);
        }
    }
    excel_table::finish(excel, 1, int(shown.size()), rows->recordCount() + 1);
    return rows->recordCount();
}
