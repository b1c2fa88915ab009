#include "journal/journal_window.h"
#include "data/access.h"
#include "data/codes.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/money.h"
#include "data/prompts.h"
#include "journal/brigade_dialog.h"
#include "journal/entry_search_window.h"
#include "journal/history_window.h"
#include "journal/shift_entry_dialog.h"
#include "ui/date_picker.h"
#include "rules/journal_entries.h"
#include "ui/data_grid.h"
#include "rules/month_close.h"
#include "ui/closed_month.h"
#include "ui/guard.h"
#include "ui/keyboard_style.h"
#include "ui/window_memory.h"

#include <QApplication>
#include <QItemSelection>
#include <QSet>
#include <QHash>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QVBoxLayout>
#include <numeric>

namespace {

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

bool isDayOff(const QDate& d) { return d.dayOfWeek() >= 6; }

constexpr int kWidth = 1000, kHeight = 620;

QVariant okCellStyle(const Dataset& ds, int row, int role)
{
    if (role != Qt::ForegroundRole && role != Qt::FontRole) return {};
    const bool approved = codes::isApproved(Dataset::toText(ds.valueAt(row, QStringLiteral("ok"))));
    if (role == Qt::ForegroundRole) return QBrush(approved ? kGreen : kRed);
    QFont f;
    f.setBold(true);
    return f;
}

/// The approval mark keeps its colour in the selected row too: a foreman scanning the grid with
/// the cursor on a row must still see whether it is approved.
class MarkDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant mark = index.data(Qt::ForegroundRole);
        if (mark.canConvert<QBrush>()) option->palette.setBrush(QPalette::HighlightedText, mark.value<QBrush>());
    }
};

/// Widens the columns whose titles or longest values (an entry time with seconds) the default
/// widths would cut.
void fitColumns(DataGrid* grid, const GridModel& model)
{
    QHeaderView* header = grid->horizontalHeader();
    for (int c = 0; c < model.columnCount(); ++c)
        grid->setColumnWidth(c, std::max(grid->columnWidth(c), header->sectionSizeHint(c)));
    const int vvod = model.columnOf(QStringLiteral("vvod"));
    const int longest = grid->fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000 00:00:00")) +
                        2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1) + 8;
    if (vvod >= 0) grid->setColumnWidth(vvod, std::max(grid->columnWidth(vvod), longest));
}

QList<ColumnSpec> journalColumns()
{
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    return {
        {"fio", "Фамилия И.О.", Qt::AlignLeft | Qt::AlignVCenter, false, 150},
        {"marka", "Марка изделия", Qt::AlignLeft | Qt::AlignVCenter, false, 105},
        {"vid", "Операция", Qt::AlignLeft | Qt::AlignVCenter, false, 140},
        {"nmn", "Вид", Qt::AlignLeft | Qt::AlignVCenter, false, 130},
        {"color", "Цвет", right, false, 50},
        {"time", "Часы", right, false, 45},
        {"kol_vo", "Кол-во", right, false, 60},
        {"brak", "Брак", right, false, 45},
        {"summa", "Итого (р.)", right, false, 80},
        {"prize", "Премия (%)", right, true, 70},
        {"ok", "OK", Qt::AlignCenter, false, 40, {}, okCellStyle},
        {"vvod", "Заведен", Qt::AlignLeft | Qt::AlignVCenter, false, 115},
    };
}

} // namespace

TForm1::TForm1(TDataModule6& dm, QWidget* parent) : QDialog(parent), m_dm(dm), m_prompts(dm.prompts())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Табель"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    auto* layout = new QVBoxLayout(this);

    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu ? menu->addAction(caption) : MainMenu1->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    QMenu* refs = MainMenu1->addMenu(QStringLiteral("&Справочники"));
    N2 = refs->menuAction();
    N2->setObjectName(QStringLiteral("N2"));
    N1 = item(refs, "N1", QStringLiteral("&Рабочие"));
    N3 = item(refs, "N3", QStringLiteral("&Изделия"));
    N4 = item(refs, "N4", QStringLiteral("&Цены"));
    N6 = item(refs, "N6", QStringLiteral("&Операции"));
    N8 = item(refs, "N8", QStringLiteral("&Ном. группы"));
    QMenu* sheets = MainMenu1->addMenu(QStringLiteral("&Табель"));
    N11 = sheets->menuAction();
    N11->setObjectName(QStringLiteral("N11"));
    N9 = item(sheets, "N9", QStringLiteral("Табель с&делка"));
    N13 = item(sheets, "N13", QStringLiteral("Табель по с&менам"));
    N14 = item(sheets, "N14", QStringLiteral("Табель &хоз. работ"));
    N15 = item(sheets, "N15", QStringLiteral("Табель с&р. сдельная"));
    N17 = item(sheets, "N17", QStringLiteral("&Общий табель"));
    sheets->addSeparator();
    N19 = item(sheets, "N19", QStringLiteral("&Проверка табеля"));
    N18 = item(sheets, "N18", QStringLiteral("&Закрытие месяца…"));
    N20 = item(sheets, "N20", QStringLiteral("&История изменений"));
    QMenu* reports = MainMenu1->addMenu(QStringLiteral("&Отчеты"));
    N7 = reports->menuAction();
    N7->setObjectName(QStringLiteral("N7"));
    N10 = item(reports, "N10", QStringLiteral("&Сводные отчеты"));
    FindEntriesAction = item(reports, "FindEntriesAction", QStringLiteral("&Найти записи…"));
    FindEntriesAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    SummaryAction = item(reports, "SummaryAction", QStringLiteral("Сводка за &месяц"));
    N5 = item(nullptr, "N5", QStringLiteral("&Выход"));
    for (QAction* a : {N1, N3, N4, N6, N8, N9, N13, N14, N15, N17, N18, N19, N20, N10, FindEntriesAction, SummaryAction}) a->setEnabled(false);
    connect(N5, &QAction::triggered, this, &QDialog::reject);
    layout->setMenuBar(MainMenu1);
    openMenuBarOnF10(this, MainMenu1);

    auto* top = new QHBoxLayout;
    DateT = datePicker(QStringLiteral("DateT"), this);
    DateT->setDate(QDate::currentDate());
    auto* dateLabel = new QLabel(QStringLiteral("Дата"), this);
    dateLabel->setObjectName(QStringLiteral("LabelDateT"));
    dateLabel->setBuddy(DateT);
    top->addWidget(dateLabel);
    top->addWidget(DateT);
    CBox1 = new QCheckBox(QStringLiteral("Выходной"), this);
    CBox1->setObjectName(QStringLiteral("CBox1"));
    CBox1->setAutoFillBackground(true);
    top->addWidget(CBox1);
    top->addSpacing(20);
    const QStringList shiftCaptions = {QStringLiteral("Смена №1"), QStringLiteral("Смена №2"),
                                       QStringLiteral("Смена №3"), QStringLiteral("Переработка")};
    for (int i = 0; i < 4; ++i) {
        auto* rb = new QRadioButton(shiftCaptions.at(i), this);
        rb->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        rb->setAutoFillBackground(true);
        m_shiftButtons << rb;
        top->addWidget(rb);
        connect(rb, &QRadioButton::clicked, this, guarded(m_prompts, [this, i] { RadioButtonClick(i + 1); }));
    }
    RadioButton1 = m_shiftButtons[0];
    RadioButton2 = m_shiftButtons[1];
    RadioButton3 = m_shiftButtons[2];
    RadioButton4 = m_shiftButtons[3];
    RadioButton1->setChecked(true);
    top->addStretch();
    layout->addLayout(top);

    DBGrid2 = new DataGrid(this);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    m_model = new GridModel(&m_dm.Smena1, journalColumns(), this);
    DBGrid2->setGridModel(m_model);
    DBGrid2->setItemDelegateForColumn(m_model->columnOf(QStringLiteral("ok")), new MarkDelegate(DBGrid2));
    fitColumns(DBGrid2, *m_model);
    SearchBox = DBGrid2->makeSearchBox(this);
    auto* searchLabel = new QLabel(QStringLiteral("Поиск:"), this);
    searchLabel->setBuddy(SearchBox);
    top->addWidget(searchLabel);
    top->addWidget(SearchBox);
    layout->addWidget(DBGrid2, 1);

    auto* bottom = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        bottom->addWidget(b);
        return b;
    };
    Button1 = button("Button1", QStringLiteral("Добавить"));
    BrigadeButton = button("BrigadeButton", QStringLiteral("Добавить бригаду…"));
    BrigadeButton->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Insert));
    Button2 = button("Button2", QStringLiteral("Изменить"));
    Button3 = button("Button3", QStringLiteral("Удалить"));
    Button8 = button("Button8", QStringLiteral("Обновить"));
    Button5 = button("Button5", QStringLiteral("Ср.сд./хоз. работы"));
    HistoryButton = button("HistoryButton", QStringLiteral("История"));
    bottom->addStretch();
    Button4 = button("Button4", QStringLiteral("Выход"));
    layout->addLayout(bottom);

    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(false);
    m_totalsLabel = new QLabel(this);
    m_totalsLabel->setObjectName(QStringLiteral("TotalsLabel"));
    m_roleLabel = new QLabel(this);
    m_roleLabel->setObjectName(QStringLiteral("RoleLabel"));
    m_databaseLabel = new QLabel(this);
    m_databaseLabel->setObjectName(QStringLiteral("DatabaseLabel"));
    StatusBar->addPermanentWidget(m_totalsLabel);
    m_monthLabel = new QLabel(this);
    m_monthLabel->setObjectName(QStringLiteral("MonthLabel"));
    m_monthLabel->hide();
    StatusBar->addPermanentWidget(m_monthLabel);
    StatusBar->addPermanentWidget(m_roleLabel);
    StatusBar->addPermanentWidget(m_databaseLabel);
    layout->addWidget(StatusBar);

    // The grid's keys and context menu do what the buttons do; approving has its own items.
    DBGrid2->actAs(Button1, Button2, Button3, Button8);
    ApproveAction = new QAction(QStringLiteral("Утвердить"), this);
    ApproveAction->setObjectName(QStringLiteral("ApproveAction"));
    WithdrawAction = new QAction(QStringLiteral("Снять отметку"), this);
    WithdrawAction->setObjectName(QStringLiteral("WithdrawAction"));
    ApproveAllAction = new QAction(QStringLiteral("Утвердить все записи смены"), this);
    ApproveAllAction->setObjectName(QStringLiteral("ApproveAllAction"));
    connect(ApproveAction, &QAction::triggered, this, guarded(m_prompts, [this] { setApproval(true); }));
    connect(WithdrawAction, &QAction::triggered, this, guarded(m_prompts, [this] { setApproval(false); }));
    connect(ApproveAllAction, &QAction::triggered, this, guarded(m_prompts, [this] { approveAll(); }));
    DBGrid2->addContextSeparator();
    DBGrid2->addToContextMenu(ApproveAction);
    DBGrid2->addToContextMenu(WithdrawAction);
    DBGrid2->addToContextMenu(ApproveAllAction);
    DBGrid2->addContextSeparator();
    DBGrid2->addToContextMenu(HistoryButton, QStringLiteral("История изменений"));
    DBGrid2->installEventFilter(this);
    connect(DBGrid2->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { updateApprovalItems(); });
    for (QPushButton* b : {Button1, Button2, Button5, BrigadeButton}) b->setEnabled(false);
    connect(BrigadeButton, &QPushButton::clicked, this, guarded(m_prompts, [this] { BrigadeButtonClick(); }));
    connect(FindEntriesAction, &QAction::triggered, this, guarded(m_prompts, [this] { FindEntriesActionClick(); }));
    // Looking at an entry's history is no visit to another window: the journal stays on its date.
    connect(HistoryButton, &QPushButton::clicked, this, guarded(m_prompts, [this] { HistoryButtonClick(); }));

    connect(Button3, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button3Click(); }));
    connect(Button8, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button8Click(); }));
    connect(Button4, &QPushButton::clicked, this, &QDialog::reject);
    connect(CBox1, &QCheckBox::toggled, this, guarded(m_prompts, [this] { CBox1Click(); }));
    connect(DBGrid2, &QAbstractItemView::doubleClicked, this, guarded(m_prompts, [this] { DBGrid2DblClick(); }));
    // Whatever changes the date (a pick in the calendar, arrow keys, the mouse wheel, typing), the
    // grid shows that date at once: a stale grid would let "Удалить" keep the wrong day in step.
    connect(DateT, &QDateEdit::dateChanged, this, guarded(m_prompts, [this] { reloadForDate(); }));
    // Closing the calendar on a pick, or Enter in the box, also hands the focus to the grid.
    connect(DateT->calendarWidget(), &QCalendarWidget::clicked, this,
            [this] { QTimer::singleShot(0, this, [this] { DBGrid2->setFocus(); }); });
    DateT->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(30000);
    connect(Timer1, &QTimer::timeout, this, guarded(m_prompts, [this] { if (onTimer) onTimer(); }));
    Timer1->start();

    for (Dataset* q : {&m_dm.Smena1, &m_dm.Smena2, &m_dm.Smena3, &m_dm.Smena4}) {
        connect(q, &Dataset::reset, this, [this, q] { if (q == &shiftQuery(CurrentShift)) showTotals(); });
        connect(q, &Dataset::currentChanged, this, [this] { updateApprovalItems(); });
    }

    styleShiftButtons();
    setFixedSize(kWidth, kHeight);
}

TForm1::~TForm1() = default;

QDate TForm1::date() const { return DateT->date(); }

Dataset& TForm1::shiftQuery(int shift) const { return m_dm.smenaQuery(shift); }

QString TForm1::shiftMemoryKey() const
{
    return QStringLiteral("journal/shift/%1").arg(int(access_rights::roleForCode(AccessCode)));
}

void TForm1::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QScreen* s = screen()) {
        // Wide enough for every column where the screen allows, never wider or taller than it.
        const QRect available = s->availableGeometry();
        int columns = 0;
        for (int c = 0; c < m_model->columnCount(); ++c)
            if (!DBGrid2->isColumnHidden(c)) columns += DBGrid2->columnWidth(c);
        const int chrome = width() - DBGrid2->width() + 2 * DBGrid2->frameWidth() + DBGrid2->verticalScrollBar()->sizeHint().width();
        const int frame = std::max(0, frameGeometry().width() - width());
        setFixedSize(std::min(std::max(kWidth, columns + chrome), available.width() - frame),
                     std::min(kHeight, available.height() - std::max(0, frameGeometry().height() - height())));
        move(available.center() - rect().center());
    }
    runGuarded(m_prompts, [this] { FormActivate(); });
    // The shift the user worked in last in his role, the first time the journal shows in a run;
    // a role that may not change the shift (the planner) sees shift 1.
    if (std::exchange(m_firstShow, false)) {
        const int shift = WindowMemory::kept(shiftMemoryKey(), 1).toInt();
        if (shift >= 2 && shift <= 4 && m_shiftButtons.at(shift - 1)->isEnabled()) {
            m_shiftButtons.at(shift - 1)->setChecked(true);
            runGuarded(m_prompts, [this, shift] { RadioButtonClick(shift); });
        }
    }
}

void TForm1::reject()
{
    if (!isVisible() || m_prompts.question(QStringLiteral("Завершить работу?"), QStringLiteral("Выход"))) QDialog::reject();
}

void TForm1::runChild(const std::function<void()>& open)
{
    runGuarded(m_prompts, open);
    runGuarded(m_prompts, [this] { FormActivate(); });
}

void TForm1::wire(QAction* item, const std::function<void()>& open)
{
    item->setEnabled(true);
    connect(item, &QAction::triggered, this, [this, open] { runChild(open); });
}

void TForm1::wire(QPushButton* button, const std::function<void()>& open)
{
    button->setEnabled(true);
    connect(button, &QPushButton::clicked, this, [this, open] { runChild(open); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // Space on the approval mark switches it, as a double-click does.
    if (watched == DBGrid2 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier &&
            DBGrid2->currentIndex().column() == m_model->columnOf(QStringLiteral("ok"))) {
            runGuarded(m_prompts, [this] { DBGrid2DblClick(); });
            return true;
        }
    }
    if (watched == DateT && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            runGuarded(m_prompts, [this] { DateTChange(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm1::FormActivate()
{
    m_roleLabel->setText(QStringLiteral("Роль: %1").arg(access_rights::roleName(access_rights::roleForCode(AccessCode))));
    const QSqlDatabase& db = m_dm.ADO_DB;
    m_databaseLabel->setText(QStringLiteral("База: %1 на %2%3")
                                 .arg(db.databaseName(), db.hostName(), db.port() > 0 ? QStringLiteral(":%1").arg(db.port()) : QString()));
    {
        const QSignalBlocker quiet(DateT);   // the shifts are reloaded below, once
        DateT->setDate(today());
    }
    // The entry dialog doubles prices on a ticked box: it must say what today is, never what an
    // earlier pick left.
    CBox1->setChecked(isDayOff(DateT->date()));
    for (int shift = 1; shift <= 4; ++shift) {
        shiftQuery(shift).close();
        shiftQuery(shift).setFiltered(false);
    }
    reopenShifts();
}

void TForm1::reopenShifts()
{
    m_dm.openShifts(DateT->date());
    showMonthState();
}

void TForm1::DateTChange()
{
    reloadForDate();
    DBGrid2->setFocus();
}

void TForm1::reloadForDate()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    reopenShifts();
    CBox1->setChecked(isDayOff(DateT->date()));
}

void TForm1::showMonthState()
{
    const QDate day = DateT->date();
    const bool closed = month_close::isClosed(m_dm.ADO_DB, day.month(), day.year());
    greyForClosedMonth({Button1, Button2, Button3, BrigadeButton}, closed);
    m_monthLabel->setText(closed ? QStringLiteral("Месяц %1 закрыт").arg(month_close::monthText(day.month(), day.year()))
                                 : QString());
    m_monthLabel->setVisible(closed);
}

void TForm1::Button8Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore { ~Restore() { QApplication::restoreOverrideCursor(); } } restore;
    for (int shift = 1; shift <= 4; ++shift) shiftQuery(shift).refresh();
}

void TForm1::RadioButtonClick(int shift)
{
    if (!m_shiftButtons.at(shift - 1)->isChecked()) return;
    DBGrid2->setDataset(&shiftQuery(shift));
    CurrentShift = shift;
    WindowMemory::keep(shiftMemoryKey(), shift);
    styleShiftButtons();
    showTotals();
}

void TForm1::styleShiftButtons()
{
    for (QRadioButton* rb : std::as_const(m_shiftButtons)) {
        QFont f = rb->font();
        f.setBold(rb->isChecked());
        rb->setFont(f);
        rb->setStyleSheet(rb->isChecked() ? QStringLiteral("QRadioButton { background-color: rgb(0, 128, 0); }") : QString());
    }
}

void TForm1::CBox1Click()
{
    QFont f = CBox1->font();
    f.setBold(CBox1->isChecked());
    CBox1->setFont(f);
    CBox1->setStyleSheet(CBox1->isChecked() ? QStringLiteral("QCheckBox { background-color: rgb(255, 0, 0); }") : QString());
}

void TForm1::DBGrid2DblClick()
{
    if (AccessCode == access_rights::kForemenCode) return;
    CurrentQuery = &shiftQuery(CurrentShift);
    if (CurrentQuery->isEmpty()) return;
    switchApproval();
}

bool TForm1::mayApprove() const
{
    return AccessCode != access_rights::kForemenCode && DBGrid2->isEnabled() && !shiftQuery(CurrentShift).isEmpty();
}

QList<int> TForm1::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& i : DBGrid2->selectionModel()->selectedRows()) rows << i.row();
    if (rows.isEmpty() && DBGrid2->currentIndex().isValid()) rows << DBGrid2->currentIndex().row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

TForm1::Marking TForm1::toMark(const QList<int>& among, bool approved) const
{
    const Dataset& q = *CurrentQuery;
    Marking m;
    for (const int row : among)
        if (codes::isApproved(q.valueAt(row, QStringLiteral("ok")).toString()) != approved) {
            m.rows << row;
            m.sum += Money::fromValue(q.valueAt(row, QStringLiteral("summa")));
        }
    return m;
}

void TForm1::setApproval(bool approved)
{
    if (!mayApprove()) return;
    CurrentQuery = &shiftQuery(CurrentShift);
    const auto [rows, sum] = toMark(selectedRows(), approved);
    if (rows.isEmpty()) return;
    if (rows.size() == 1) {
        // One entry: as Space or a double-click on its mark.
        DBGrid2->setCurrentIndex(m_model->index(rows.first(), DBGrid2->currentIndex().column()));
        switchApproval();
        return;
    }
    const QString amount = formats::general(sum.rounded(2));
    const QString asked = approved ? QStringLiteral("Утвердить записи (%1) на сумму %2?").arg(rows.size()).arg(amount)
                                   : QStringLiteral("Снять отметку с записей (%1) на сумму %2?").arg(rows.size()).arg(amount);
    if (!m_prompts.question(asked, approved ? QStringLiteral("Утверждение") : QStringLiteral("Снятие отметки"))) return;
    const int written = writeMarks(rows, approved);
    StatusBar->showMessage(approved ? QStringLiteral("Утверждено записей: %1").arg(written)
                                    : QStringLiteral("Отметка снята с записей: %1").arg(written));
}

void TForm1::approveAll()
{
    if (!mayApprove()) return;
    CurrentQuery = &shiftQuery(CurrentShift);
    QList<int> all(CurrentQuery->recordCount());
    std::iota(all.begin(), all.end(), 0);
    const auto [rows, sum] = toMark(all, true);
    if (rows.isEmpty()) {
        StatusBar->showMessage(QStringLiteral("Все записи смены уже утверждены"));
        return;
    }
    const QString asked =
        QStringLiteral("Утвердить все записи смены (%1) на сумму %2?").arg(rows.size()).arg(formats::general(sum.rounded(2)));
    if (!m_prompts.question(asked, QStringLiteral("Утверждение"))) return;
    StatusBar->showMessage(QStringLiteral("Утверждено записей: %1").arg(writeMarks(rows, true)));
}

void TForm1::switchApproval()
{
    Dataset& q = *CurrentQuery;
    const QModelIndex current = DBGrid2->currentIndex();
    const int row = current.isValid() ? current.row() : q.recNo() - 1;
    if (row < 0) return;
    const int id = q.valueAt(row, QStringLiteral("id")).toInt();
    const bool wasApproved = codes::isApproved(q.valueAt(row, QStringLiteral("ok")).toString());
    const QString entry = QStringLiteral("%1, %2").arg(q.valueAt(row, QStringLiteral("fio")).toString().trimmed(),
                                                      q.valueAt(row, QStringLiteral("marka")).toString().trimmed());
    // Taking an approval back is asked, however it is asked for.
    if (wasApproved && !m_prompts.question(QStringLiteral("Снять отметку с записи %1 (%2)?").arg(id).arg(entry),
                                           QStringLiteral("Снятие отметки")))
        return;
    if (writeMarks({row}, !wasApproved) == 0) return;
    StatusBar->showMessage(wasApproved ? QStringLiteral("Запись %1 (%2): отметка снята").arg(id).arg(entry)
                                       : QStringLiteral("Запись %1 (%2): утверждена").arg(id).arg(entry));
}

int TForm1::writeMarks(const QList<int>& rows, bool approved)
{
    Dataset& q = *CurrentQuery;
    QList<shift_entry::ShownMark> entries;
    QHash<int, QString> names;
    for (const int row : rows) {
        const int id = q.valueAt(row, QStringLiteral("id")).toInt();
        entries << shift_entry::ShownMark{id, q.valueAt(row, QStringLiteral("ok")).toString()};
        names.insert(id, QStringLiteral("%1 (%2, %3)")
                             .arg(id)
                             .arg(q.valueAt(row, QStringLiteral("fio")).toString().trimmed(),
                                  q.valueAt(row, QStringLiteral("marka")).toString().trimmed()));
    }
    QSet<int> selected;
    for (const int row : selectedRows()) selected.insert(q.valueAt(row, QStringLiteral("id")).toInt());
    const QModelIndex current = DBGrid2->currentIndex();
    const int currentId = current.isValid() ? q.valueAt(current.row(), QStringLiteral("id")).toInt() : 0;
    const int column = current.isValid() ? current.column() : 0;

    const QList<int> left = shift_entry::setMarks(m_dm.ADO_DB, entries, approved);
    q.refresh();

    // The same place: the current cell (the mark's column stays, so Space, Down, Space… goes on
    // down the shift) and the rows selected before.
    QItemSelection keep;
    int currentRow = -1;
    for (int row = 0; row < q.recordCount(); ++row) {
        const int id = q.valueAt(row, QStringLiteral("id")).toInt();
        if (id == currentId) currentRow = row;
        if (selected.contains(id)) keep.select(m_model->index(row, 0), m_model->index(row, m_model->columnCount() - 1));
    }
    if (currentRow >= 0) {
        q.setRecNo(currentRow + 1);
        DBGrid2->selectionModel()->setCurrentIndex(m_model->index(currentRow, column), QItemSelectionModel::NoUpdate);
    }
    DBGrid2->selectionModel()->select(keep, QItemSelectionModel::ClearAndSelect);

    if (!left.isEmpty()) {
        QStringList named;
        for (const int id : left) named << names.value(id);
        m_prompts.information(QStringLiteral("Эти записи другой пользователь изменил или удалил, пока они были на экране; "
                                             "они оставлены как есть:\n%1")
                                  .arg(named.join(QLatin1Char('\n'))),
                              QStringLiteral("Утверждение"));
    }
    return int(entries.size() - left.size());
}

void TForm1::updateApprovalItems()
{
    const bool may = mayApprove();
    const bool approved = may && codes::isApproved(shiftQuery(CurrentShift).asString(QStringLiteral("ok")));
    ApproveAction->setVisible(may || AccessCode != access_rights::kForemenCode);
    WithdrawAction->setVisible(ApproveAction->isVisible());
    // With several rows selected each item offers what some of them are not yet.
    bool anyApproved = approved, anyNot = may && !approved;
    if (may)
        for (const int row : selectedRows()) {
            const bool a = codes::isApproved(shiftQuery(CurrentShift).valueAt(row, QStringLiteral("ok")).toString());
            anyApproved = anyApproved || a;
            anyNot = anyNot || !a;
        }
    ApproveAction->setEnabled(may && anyNot);
    WithdrawAction->setEnabled(may && anyApproved);
    ApproveAllAction->setVisible(ApproveAction->isVisible());
    ApproveAllAction->setEnabled(may);
}

void TForm1::showTotals()
{
    const Dataset& q = shiftQuery(CurrentShift);
    Money sum;
    const int column = q.isOpen() ? q.fieldIndex(QStringLiteral("summa")) : -1;
    if (column >= 0)
        for (int r = 0; r < q.recordCount(); ++r) sum += Money::fromValue(q.valueAt(r, column));
    m_totalsLabel->setText(QStringLiteral("Записей: %1, на сумму %2").arg(q.isOpen() ? q.recordCount() : 0).arg(formats::general(sum.rounded(2))));
}

void TForm1::Button1Click()
{
    CurrentQuery = &shiftQuery(CurrentShift);
    if (Form11) Form11->openForAdd(DateT->date());
}

void TForm1::Button2Click()
{
    CurrentQuery = &shiftQuery(CurrentShift);
    Dataset& q = *CurrentQuery;
    const int recNo = q.recNo();
    if (q.isEmpty() || !Form11) return;
    Form11->openForChange(q);
    if (!q.isEmpty()) q.setRecNo(std::min(recNo, q.recordCount()));
}

void TForm1::Button3Click()
{
    Dataset& q = shiftQuery(CurrentShift);
    if (q.isEmpty() || q.isNull(QStringLiteral("id"))) return;
    // The question says which entry it is about, below its own words.
    const QString which = QStringLiteral("%1, %2, %3 шт.")
                              .arg(q.asString(QStringLiteral("fio")).trimmed(), q.asString(QStringLiteral("marka")).trimmed(),
                                   formats::general(q.value(QStringLiteral("kol_vo"))));
    if (!m_prompts.question(QStringLiteral("Удалить позицию из списка?\n%1").arg(which), QStringLiteral("Удаление"))) {
        q.refresh();
        return;
    }
    const shift_entry::Removal removal = shift_entry::remove(m_dm.ADO_DB, q.asInt(QStringLiteral("id")));
    q.refresh();
    if (removal != shift_entry::Removal::Deleted)
        m_prompts.error(shift_entry::removalMessage(removal), QStringLiteral("Ошибка"));
}

void TForm1::HistoryButtonClick()
{
    const Dataset& q = shiftQuery(CurrentShift);
    if (q.isEmpty() || !Form30) return;
    Form30->openForEntry(change_history::Table::Journal, q.asInt(QStringLiteral("id")),
                         QStringLiteral("запись журнала №%1: %2, %3, %4")
                             .arg(q.asInt(QStringLiteral("id")))
                             .arg(q.asString(QStringLiteral("fio")).trimmed(), q.asString(QStringLiteral("marka")).trimmed(),
                                  formats::date(q.asDate(QStringLiteral("data")))));
}

void TForm1::BrigadeButtonClick()
{
    if (!Form33) return;
    const TForm33::Added added = Form33->openForAdd(DateT->date(), CurrentShift, CBox1->isChecked(), today());
    if (added.id == 0) FormActivate();
    else goToEntry(added.id, added.day, added.shift);
}

void TForm1::FindEntriesActionClick()
{
    if (!Form34) return;
    if (const auto found = Form34->openFor(today())) goToEntry(found->id, found->day, found->shift);
}

void TForm1::goToEntry(int id, const QDate& day, int shift)
{
    {
        const QSignalBlocker quiet(DateT);   // the shifts are reloaded below, once
        DateT->setDate(day);
    }
    reloadForDate();
    m_shiftButtons.at(std::clamp(shift, 1, 4) - 1)->setChecked(true);
    RadioButtonClick(std::clamp(shift, 1, 4));
    Dataset& q = shiftQuery(CurrentShift);
    if (!q.locate(QStringLiteral("id"), id) && !SearchBox->text().isEmpty()) {
        SearchBox->clear();
        q.locate(QStringLiteral("id"), id);
    }
    DBGrid2->setFocus(Qt::OtherFocusReason);
}
