#include "journal/brigade_dialog.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "data/money.h"
#include "data/prompts.h"
#include "data/row_filter.h"
#include "rules/entry_limits.h"
#include "rules/price_rule.h"
#include "ui/data_grid.h"
#include "ui/dialog_buttons.h"
#include "ui/entry_flow.h"
#include "ui/guard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kIncomplete = QStringLiteral("Все поля должны быть заполнены!");
/// An hours cell the user has typed into (the others follow the worker above).
constexpr int kTypedRole = Qt::UserRole + 1;

bool isDayOff(const QDate& d) { return d.dayOfWeek() >= 6; }

/// The typed columns in keyboard order, with the caption a message names them by and the
/// largest value each holds.
struct Typed {
    int column;
    QString caption;
    qint64 max;
};
const QList<Typed>& typedColumns()
{
    static const QList<Typed> list = {{TForm33::QuantityColumn, QStringLiteral("Кол-во"), entry_limits::kQuantityMax},
                                      {TForm33::HoursColumn, QStringLiteral("Время"), entry_limits::kHoursMax},
                                      {TForm33::DefectsColumn, QStringLiteral("Брак"), entry_limits::kDefectsMax}};
    return list;
}

bool typed(int column) { return column >= TForm33::QuantityColumn && column <= TForm33::DefectsColumn; }

/// The brigade's grid as the keyboard goes through it: Tab and Shift+Tab from one typed cell to
/// the next (quantity, hours, defects, then the next worker's), Enter to the next worker's
/// quantity; past the last cell the focus moves on to "Запись". Typing a digit types over a cell.
class BrigadeTable : public QTableWidget {
public:
    using QTableWidget::QTableWidget;

    /// Moves as the key does from the current cell.
    void step(int key)
    {
        const int row = currentRow(), column = currentColumn();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (row + 1 < rowCount()) setCurrentCell(row + 1, TForm33::QuantityColumn);
            else leave(true);
            return;
        }
        const bool forward = key == Qt::Key_Tab;
        int r = row, c = column + (forward ? 1 : -1);
        if (c > TForm33::DefectsColumn) {
            ++r;
            c = TForm33::QuantityColumn;
        } else if (c < TForm33::QuantityColumn) {
            --r;
            c = TForm33::DefectsColumn;
        }
        if (r >= 0 && r < rowCount()) setCurrentCell(r, c);
        else leave(forward);
    }

protected:
    bool focusNextPrevChild(bool next) override
    {
        if (rowCount() == 0) leave(next);
        else step(next ? Qt::Key_Tab : Qt::Key_Backtab);
        return true;
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && rowCount() > 0) {
            step(event->key());
            event->accept();
            return;
        }
        QTableWidget::keyPressEvent(event);
    }
    void focusInEvent(QFocusEvent* event) override
    {
        if (rowCount() > 0 && !typed(currentColumn())) setCurrentCell(std::max(currentRow(), 0), TForm33::QuantityColumn);
        QTableWidget::focusInEvent(event);
    }

private:
    /// The focus to the control before or after the grid in the dialog's keyboard order.
    void leave(bool forward)
    {
        QWidget* w = this;
        do w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        while (w != this && (isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus) || !w->isEnabled() ||
                             !w->isVisibleTo(window()) || w->window() != window()));
        w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    }
};

/// A cell's editor: digits only; Tab, Shift+Tab and Enter keep what was typed and move as the
/// grid does, rather than leave the grid or press the dialog's default button.
class DigitsDelegate : public QStyledItemDelegate {
public:
    DigitsDelegate(BrigadeTable* table) : QStyledItemDelegate(table), m_table(table) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), editor));
        return editor;
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return || key == Qt::Key_Enter) {
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                m_table->step(key);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    BrigadeTable* m_table;
};

QTableWidgetItem* readOnlyItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QTableWidgetItem* numberItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

TForm33::TForm33(TDataModule6& dm, QWidget* parent)
    : QDialog(parent), Workers(dm.ADO_DB, sql::Workers), m_dm(dm), m_prompts(dm.prompts()), m_writer(dm.ADO_DB)
{
    setObjectName(QStringLiteral("Form33"));
    setWindowTitle(QStringLiteral("Заведение позиций бригады (33)"));
    Workers.setObjectName(QStringLiteral("BrigadeWorkers"));

    auto* content = new QWidget(this);
    auto label = [content](const char* name, const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, content);
        l->setObjectName(QLatin1String(name));
        l->setBuddy(buddy);
        return l;
    };
    auto display = [content](const char* name) {
        auto* e = new QLineEdit(content);
        e->setObjectName(QLatin1String(name));
        e->setReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        return e;
    };

    OperationEdit = display("OperationEdit");
    OperationEdit->setMinimumWidth(360);
    OperationLabel = label("OperationLabel", QStringLiteral("Операция"), OperationEdit);
    OperationButton = new QPushButton(QStringLiteral("..."), content);
    OperationButton->setObjectName(QStringLiteral("OperationButton"));
    OperationButton->setAutoDefault(true);   // Enter on the pick opens it
    OperationButton->setFixedWidth(32);
    ColourEdit = new QLineEdit(content);
    ColourEdit->setObjectName(QStringLiteral("ColourEdit"));
    ColourEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), ColourEdit));
    ColourLabel = label("ColourLabel", QStringLiteral("Цвет"), ColourEdit);
    DayEdit = new QDateEdit(content);
    DayEdit->setObjectName(QStringLiteral("DayEdit"));
    DayEdit->setCalendarPopup(true);
    DayEdit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    QLabel* dayLabel = label("DayLabel", QStringLiteral("Дата"), DayEdit);
    ShiftBox = new QComboBox(content);
    ShiftBox->setObjectName(QStringLiteral("ShiftBox"));
    ShiftBox->addItems({QStringLiteral("Смена №1"), QStringLiteral("Смена №2"), QStringLiteral("Смена №3"),
                        QStringLiteral("Переработка")});
    QLabel* shiftLabel = label("ShiftLabel", QStringLiteral("Смена"), ShiftBox);
    DayOffBox = new QCheckBox(QStringLiteral("Выходной"), content);
    DayOffBox->setObjectName(QStringLiteral("DayOffBox"));
    BasePriceEdit = display("BasePriceEdit");
    QLabel* baseLabel = label("BasePriceLabel", QStringLiteral("Цена база"), BasePriceEdit);
    PriceEdit = display("PriceEdit");
    QLabel* priceLabel = label("PriceLabel", QStringLiteral("Цена итог"), PriceEdit);

    WorkerSearch = new QLineEdit(content);
    WorkerSearch->setObjectName(QStringLiteral("WorkerSearch"));
    WorkerSearch->setPlaceholderText(QStringLiteral("Фамилия"));
    QLabel* searchLabel = label("WorkerSearchLabel", QStringLiteral("Поиск:"), WorkerSearch);
    WorkersGrid = new DataGrid(content);
    WorkersGrid->setObjectName(QStringLiteral("WorkersGrid"));
    ColumnSpec name{QStringLiteral("fio"), QStringLiteral("ФИО"), Qt::AlignLeft | Qt::AlignVCenter, false, 260};
    name.style = [this](const Dataset& ds, int row, int role) -> QVariant {
        if (role != Qt::CheckStateRole) return {};
        return m_picked.contains(int(Dataset::toLongLong(ds.valueAt(row, QStringLiteral("id"))))) ? Qt::Checked : Qt::Unchecked;
    };
    WorkersGrid->setGridModel(new GridModel(&Workers, {name}, this));
    WorkersGrid->horizontalHeader()->setStretchLastSection(true);
    WorkersGrid->setTabKeyNavigation(false);   // Tab goes on to the brigade
    QLabel* workersLabel = label("WorkersLabel", QStringLiteral("Рабочие"), WorkersGrid);

    auto* table = new BrigadeTable(0, 5, content);
    BrigadeGrid = table;
    BrigadeGrid->setObjectName(QStringLiteral("BrigadeGrid"));
    BrigadeGrid->setHorizontalHeaderLabels(
        {QStringLiteral("ФИО"), QStringLiteral("Кол-во"), QStringLiteral("Время"), QStringLiteral("Брак"), QStringLiteral("Сумма")});
    BrigadeGrid->setItemDelegate(new DigitsDelegate(table));
    BrigadeGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    BrigadeGrid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                                 QAbstractItemView::EditKeyPressed);
    BrigadeGrid->setColumnWidth(NameColumn, 200);
    for (int c : {QuantityColumn, HoursColumn, DefectsColumn}) BrigadeGrid->setColumnWidth(c, 70);
    BrigadeGrid->horizontalHeader()->setStretchLastSection(true);
    QLabel* brigadeLabel = label("BrigadeLabel", QStringLiteral("Бригада"), BrigadeGrid);
    CountLabel = new QLabel(content);
    CountLabel->setObjectName(QStringLiteral("CountLabel"));

    auto* grid = new QGridLayout(content);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(OperationLabel, 0, 0);
    grid->addWidget(OperationEdit, 0, 1, 1, 6);
    grid->addWidget(OperationButton, 0, 7);
    grid->addWidget(ColourLabel, 1, 0);
    grid->addWidget(ColourEdit, 1, 1);
    grid->addWidget(dayLabel, 1, 2);
    grid->addWidget(DayEdit, 1, 3);
    grid->addWidget(shiftLabel, 1, 4);
    grid->addWidget(ShiftBox, 1, 5);
    grid->addWidget(DayOffBox, 1, 6, 1, 2);
    grid->addWidget(baseLabel, 2, 0);
    grid->addWidget(BasePriceEdit, 2, 1);
    grid->addWidget(priceLabel, 2, 2);
    grid->addWidget(PriceEdit, 2, 3);
    auto* workers = new QVBoxLayout;
    auto* search = new QHBoxLayout;
    search->addWidget(searchLabel);
    search->addWidget(WorkerSearch);
    workers->addLayout(search);
    workers->addWidget(workersLabel);
    workers->addWidget(WorkersGrid, 1);
    auto* brigade = new QVBoxLayout;
    auto* title = new QHBoxLayout;
    title->addWidget(brigadeLabel);
    title->addStretch();
    title->addWidget(CountLabel);
    brigade->addLayout(title);
    brigade->addWidget(BrigadeGrid, 1);
    auto* lists = new QHBoxLayout;
    lists->addLayout(workers, 2);
    lists->addLayout(brigade, 3);
    grid->addLayout(lists, 3, 0, 1, 8);
    grid->setRowStretch(3, 1);

    const DialogButtons buttons = addDialogButtons(this, content, QStringLiteral("Запись"));
    Button1 = buttons.Button1;
    Button2 = buttons.Button2;

    setTabOrder(OperationButton, ColourEdit);
    setTabOrder(ColourEdit, DayEdit);
    setTabOrder(DayEdit, ShiftBox);
    setTabOrder(ShiftBox, DayOffBox);
    setTabOrder(DayOffBox, WorkerSearch);
    setTabOrder(WorkerSearch, WorkersGrid);
    setTabOrder(WorkersGrid, BrigadeGrid);
    setTabOrder(BrigadeGrid, Button1);
    setTabOrder(Button1, Button2);

    for (QWidget* w : {static_cast<QWidget*>(WorkerSearch), static_cast<QWidget*>(WorkersGrid)}) w->installEventFilter(this);
    connect(OperationButton, &QPushButton::clicked, this, guarded(m_prompts, [this] { OperationButtonClick(); }));
    connect(Button1, &QPushButton::clicked, this, guarded(m_prompts, [this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(WorkerSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        // As the workers list finds a worker: the names that start with the text.
        Workers.setFilter(RowFilter::like(QStringLiteral("fio"), text, false));
        Workers.setFiltered(!text.isEmpty());
    });
    connect(WorkersGrid, &QAbstractItemView::clicked, this, guarded(m_prompts, [this] { switchCurrentWorker(); }));
    // A day off doubles the price, as the journal's box says for its date.
    connect(DayEdit, &QDateEdit::dateChanged, this, [this](const QDate& day) { DayOffBox->setChecked(isDayOff(day)); });
    connect(DayOffBox, &QCheckBox::toggled, this, [this] { showPrices(); });
    connect(ShiftBox, &QComboBox::currentIndexChanged, this, [this] { showPrices(); });
    // Only what the user types arrives here: the dialog's own changes are made unheard.
    connect(BrigadeGrid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == QuantityColumn) showAmount(item->row());
        if (item->column() == HoursColumn) takeHoursBelow(item->row());
    });
    applyColourRule();
    showCount();
    resize(940, 580);
}

TForm33::Added TForm33::openForAdd(const QDate& day, int shift, bool dayOff, const QDate& today)
{
    fillForAdd(day, shift, dayOff, today);
    exec();
    Workers.close();
    return m_added;
}

void TForm33::fillForAdd(const QDate& day, int shift, bool dayOff, const QDate& today)
{
    m_added = {};
    m_today = today;
    m_operation = {};
    m_picked.clear();
    OperationEdit->clear();
    ColourEdit->clear();
    {
        const QSignalBlocker quiet(DayEdit);   // the box below is the journal's, holiday ticks included
        DayEdit->setDate(day);
    }
    DayOffBox->setChecked(dayOff);
    ShiftBox->setCurrentIndex(std::clamp(shift, 1, 4) - 1);
    BrigadeGrid->setRowCount(0);
    WorkerSearch->clear();
    Workers.close();
    Workers.setFiltered(false);
    Workers.open();
    applyColourRule();
    showPrices();
    showCount();
}

void TForm33::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    focusAsTab(OperationButton);
}

bool TForm33::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool ctrlSpace = key->key() == Qt::Key_Space && key->modifiers() == Qt::ControlModifier;
    if (watched == WorkerSearch) {
        // Typing finds, Up and Down go through the names found, Enter picks, Ctrl+Space picks or
        // takes back; the dialog's Enter stays with "Запись" everywhere else.
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            key->key() == Qt::Key_Up ? Workers.prior() : Workers.next();
            return true;
        }
        if (enter || ctrlSpace) {
            runGuarded(m_prompts, [this, enter] { enter ? pickCurrentWorker() : switchCurrentWorker(); });
            WorkerSearch->selectAll();   // the next name typed replaces this one
            return true;
        }
    }
    if (watched == WorkersGrid && (enter || key->key() == Qt::Key_Space) &&
        (key->modifiers() == Qt::NoModifier || ctrlSpace || key->modifiers() == Qt::KeypadModifier)) {
        runGuarded(m_prompts, [this, enter] { enter ? pickCurrentWorker() : switchCurrentWorker(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QList<int> TForm33::brigade() const
{
    QList<int> ids;
    for (int r = 0; r < BrigadeGrid->rowCount(); ++r) ids << BrigadeGrid->item(r, NameColumn)->data(Qt::UserRole).toInt();
    return ids;
}

void TForm33::pickCurrentWorker()
{
    if (Workers.isEmpty()) return;
    const int id = Workers.asInt(QStringLiteral("id"));
    if (!m_picked.contains(id)) addWorker(id, Workers.asString(QStringLiteral("fio")).trimmed());
}

void TForm33::switchCurrentWorker()
{
    if (Workers.isEmpty()) return;
    const int id = Workers.asInt(QStringLiteral("id"));
    if (m_picked.contains(id)) removeWorker(id);
    else addWorker(id, Workers.asString(QStringLiteral("fio")).trimmed());
}

void TForm33::addWorker(int id, const QString& name)
{
    m_picked.insert(id);
    const int row = BrigadeGrid->rowCount();
    const QSignalBlocker quiet(BrigadeGrid);
    BrigadeGrid->insertRow(row);
    QTableWidgetItem* nameItem = readOnlyItem(name);
    nameItem->setData(Qt::UserRole, id);
    BrigadeGrid->setItem(row, NameColumn, nameItem);
    // As in the shift entry dialog: the quantity to be typed, no defects until typed; a brigade
    // works its shift together, so the hours are those of the worker above until typed.
    BrigadeGrid->setItem(row, QuantityColumn, numberItem(QString()));
    BrigadeGrid->setItem(row, HoursColumn, numberItem(row > 0 ? BrigadeGrid->item(row - 1, HoursColumn)->text() : QStringLiteral("0")));
    BrigadeGrid->setItem(row, DefectsColumn, numberItem(QStringLiteral("0")));
    QTableWidgetItem* amount = readOnlyItem(QString());
    amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    BrigadeGrid->setItem(row, AmountColumn, amount);
    if (row == 0) BrigadeGrid->setCurrentCell(0, QuantityColumn);
    WorkersGrid->viewport()->update();
    showCount();
}

void TForm33::removeWorker(int id)
{
    m_picked.remove(id);
    const int row = int(brigade().indexOf(id));
    if (row >= 0) BrigadeGrid->removeRow(row);
    WorkersGrid->viewport()->update();
    showCount();
}

void TForm33::takeHoursBelow(int row)
{
    QTableWidgetItem* typed = BrigadeGrid->item(row, HoursColumn);
    const QSignalBlocker quiet(BrigadeGrid);
    typed->setData(kTypedRole, true);
    for (int r = row + 1; r < BrigadeGrid->rowCount(); ++r)
        if (!BrigadeGrid->item(r, HoursColumn)->data(kTypedRole).toBool()) BrigadeGrid->item(r, HoursColumn)->setText(typed->text());
}

void TForm33::showCount() { CountLabel->setText(QStringLiteral("Рабочих: %1").arg(BrigadeGrid->rowCount())); }

void TForm33::OperationButtonClick()
{
    if (openOperationPick) openOperationPick(*this, m_operation.id);
    focusAfterPick();
}

void TForm33::takeOperation(const PickedOperation& operation)
{
    m_operation = operation;
    OperationEdit->setText(shift_entry::operationCaption(shift_entry::productMark(m_dm.ADO_DB, operation.productId),
                                                         operation.vid, operation.naimen));
    applyColourRule();
    showPrices();
}

void TForm33::applyColourRule()
{
    const bool on = shift_entry::takesColour(OperationEdit->text());
    if (!on) ColourEdit->clear();
    ColourEdit->setEnabled(on);
    ColourLabel->setEnabled(on);
}

int TForm33::shift() const { return ShiftBox->currentIndex() + 1; }

QString TForm33::price() const
{
    return OperationEdit->text().isEmpty()
               ? QStringLiteral("0")
               : entry_price::withSurcharges(m_operation.basePrice, DayOffBox->isChecked(), shift());
}

void TForm33::showPrices()
{
    const bool picked = !OperationEdit->text().isEmpty();
    BasePriceEdit->setText(picked ? formats::general(Money::fromValue(entry_price::rounded(m_operation.basePrice)))
                                  : QStringLiteral("0"));
    PriceEdit->setText(formats::general(Money::fromValue(entry_price::rounded(price()))));
    for (int r = 0; r < BrigadeGrid->rowCount(); ++r) showAmount(r);
}

void TForm33::showAmount(int row)
{
    const QString quantity = BrigadeGrid->item(row, QuantityColumn)->text().trimmed();
    const auto pieces = entry_limits::wholeNumber(quantity, entry_limits::kQuantityMax);
    const QSignalBlocker quiet(BrigadeGrid);
    BrigadeGrid->item(row, AmountColumn)
        ->setText(pieces ? formats::general(Money::fromValue(entry_price::amount(*pieces, price()))) : QString());
}

void TForm33::focusAfterPick()
{
    const QList<QWidget*> fields = {OperationButton, ColourEdit, WorkerSearch, BrigadeGrid};
    QWidget* next = firstEmptyField(fields, OperationButton, [this](QWidget* f) {
        if (f == OperationButton) return OperationEdit->text().isEmpty();
        if (f == ColourEdit) return ColourEdit->text().trimmed().isEmpty();
        if (f == WorkerSearch) return BrigadeGrid->rowCount() == 0;
        for (int r = 0; r < BrigadeGrid->rowCount(); ++r)
            if (BrigadeGrid->item(r, QuantityColumn)->text().trimmed().isEmpty()) return true;
        return false;
    });
    focusAsTab(next ? next : Button1);
}

void TForm33::refuseRow(int row, int column, const QString& reason)
{
    m_prompts.error(QStringLiteral("Строка %1 (%2): %3").arg(row + 1).arg(BrigadeGrid->item(row, NameColumn)->text(), reason),
                    QStringLiteral("Ошибка"));
    BrigadeGrid->setCurrentCell(row, column);
    BrigadeGrid->setFocus(Qt::OtherFocusReason);
}

void TForm33::Button1Click()
{
    // The brigade's own fields first, as the shift entry dialog checks its fields.
    QList<QWidget*> empty;
    if (OperationEdit->text().trimmed().isEmpty()) empty << OperationButton;
    if (ColourEdit->isEnabled() && ColourEdit->text().trimmed().isEmpty()) empty << ColourEdit;
    if (BrigadeGrid->rowCount() == 0) empty << WorkerSearch;
    if (!empty.isEmpty()) {
        m_prompts.error(kIncomplete, QStringLiteral("Ошибка"));
        focusAsTab(empty.first());
        return;
    }
    if (const QString problem = entry_limits::numberProblem(ColourLabel->text(), ColourEdit->text(), entry_limits::kColourMax);
        !problem.isEmpty()) {
        m_prompts.error(problem, QStringLiteral("Ошибка"));
        focusAsTab(ColourEdit);
        return;
    }

    shift_entry::Entry common;
    common.productId = m_operation.productId;
    common.operationId = m_operation.id;
    common.day = DayEdit->date();
    common.shift = shift();
    common.price = Money::fromValue(entry_price::rounded(price()));
    common.colour = ColourEdit->text().trimmed().isEmpty() ? 0 : ColourEdit->text().trimmed().toInt();
    common.keyedIn = m_today;
    QList<shift_entry::Entry> entries;
    for (int r = 0; r < BrigadeGrid->rowCount(); ++r) {
        for (const Typed& t : typedColumns()) {
            const QString text = BrigadeGrid->item(r, t.column)->text();
            const QString problem = text.trimmed().isEmpty() ? kIncomplete : entry_limits::numberProblem(t.caption, text, t.max);
            if (!problem.isEmpty()) {
                refuseRow(r, t.column, problem);
                return;
            }
        }
        shift_entry::Entry e = common;
        e.workerId = BrigadeGrid->item(r, NameColumn)->data(Qt::UserRole).toInt();
        e.quantity = BrigadeGrid->item(r, QuantityColumn)->text().trimmed().toInt();
        e.hours = BrigadeGrid->item(r, HoursColumn)->text().trimmed().toInt();
        e.defects = BrigadeGrid->item(r, DefectsColumn)->text().trimmed().toInt();
        entries << e;
    }

    const shift_entry::BatchOutcome outcome = m_writer.saveAll(entries);
    using shift_entry::Outcome;
    switch (outcome.outcome) {
    case Outcome::Saved: break;
    case Outcome::ProductGone:
    case Outcome::OperationGone:
        // The whole brigade's operation, not one worker's.
        m_prompts.error(shift_entry::outcomeMessage(outcome.outcome), QStringLiteral("Ошибка"));
        focusAsTab(OperationButton);
        return;
    default:
        refuseRow(outcome.entry, outcome.outcome == Outcome::DayHoursTooMany ? int(HoursColumn) : int(QuantityColumn),
                  shift_entry::outcomeMessage(outcome.outcome));
        return;
    }
    // The timesheet windows read their rows again.
    m_dm.H_Tabel_1.close();
    m_dm.H_Tabel_2.close();
    m_dm.H_Tabel_3.close();
    m_added = {outcome.ids.value(0), common.day, common.shift};
    accept();
}
