#include "ui/data_grid.h"
#include "data/dataset.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>

DataGrid::DataGrid(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab and Shift+Tab go on to the window's next field, as everywhere else; the arrows move
    // between cells.
    setTabKeyNavigation(false);
    setAlternatingRowColors(false);
    // Rows of one height, never measured one by one: a sheet of thousands of rows opens and
    // scrolls at the cost of the rows on the screen.
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &DataGrid::sortBy);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, &DataGrid::showContextMenu);
}

void DataGrid::setGridModel(GridModel* model)
{
    m_model = model;
    setModel(model);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (m_syncing || !m_model || !m_model->dataset() || !current.isValid()) return;
        m_syncing = true;
        m_model->dataset()->setRecNo(current.row() + 1);
        m_syncing = false;
    });
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        if (m_model && m_model->dataset()) followDataset(m_model->dataset()->recNo() - 1);
    });
    setDataset(model->dataset());
    applyColumns();
}

void DataGrid::setDataset(Dataset* dataset)
{
    if (!m_model) return;
    disconnect(m_currentConnection);
    m_model->setDataset(dataset);
    if (dataset) {
        applySearch();
        applySort();
        m_currentConnection = connect(dataset, &Dataset::currentChanged, this, &DataGrid::followDataset);
        followDataset(dataset->recNo() - 1);
    }
}

void DataGrid::followDataset(int row)
{
    if (m_syncing || !m_model) return;
    m_syncing = true;
    if (row >= 0 && row < m_model->rowCount()) {
        const int column = std::max(0, currentIndex().column());
        const QModelIndex idx = m_model->index(row, column);
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    } else {
        selectionModel()->clearSelection();
    }
    m_syncing = false;
}

void DataGrid::applyColumns()
{
    const auto& cols = m_model->columns();
    for (int i = 0; i < cols.size(); ++i) {
        setColumnHidden(i, cols.at(i).hidden);
        if (cols.at(i).width > 0) setColumnWidth(i, cols.at(i).width);
    }
}

void DataGrid::sortBy(int column)
{
    if (!m_model || column < 0 || column >= m_model->columns().size() || m_model->columns().at(column).field.isEmpty()) return;
    m_sortOrder = column == m_sortColumn && m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_sortColumn = column;
    applySort();
}

void DataGrid::applySort()
{
    Dataset* ds = m_model ? m_model->dataset() : nullptr;
    if (!ds || m_sortColumn < 0) return;
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(m_sortColumn, m_sortOrder);
    placeFrozen();
    const QString field = m_model->columns().at(m_sortColumn).field;
    ds->setSort(field + (m_sortOrder == Qt::DescendingOrder ? QStringLiteral(" DESC") : QString()));
}

void DataGrid::bindKey(int key, QAbstractButton* button) { m_keys.insert(key, button); }

void DataGrid::actAs(QAbstractButton* add, QAbstractButton* change, QAbstractButton* remove, QAbstractButton* refresh)
{
    const std::pair<int, QAbstractButton*> keys[] = {
        {Qt::Key_Insert, add}, {Qt::Key_Return, change}, {Qt::Key_Delete, remove}, {Qt::Key_F5, refresh}};
    for (const auto& [key, button] : keys) {
        if (!button) continue;
        bindKey(key, button);
        addToContextMenu(button);
        // The key shows where the mouse rests on the button.
        button->setToolTip(QStringLiteral("%1 (%2)").arg(button->text().remove(QLatin1Char('&')),
                                                         key == Qt::Key_Return ? QStringLiteral("Enter")
                                                                               : QKeySequence(key).toString(QKeySequence::NativeText)));
    }
}

void DataGrid::addToContextMenu(QAbstractButton* button, const QString& caption) { m_menu << MenuItem{button, nullptr, caption}; }

void DataGrid::addToContextMenu(QAction* action) { m_menu << MenuItem{nullptr, action}; }

void DataGrid::addContextSeparator() { m_menu << MenuItem{}; }

QLineEdit* DataGrid::makeSearchBox(QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QStringLiteral("SearchBox"));
    box->setPlaceholderText(QStringLiteral("Поиск"));
    box->setClearButtonEnabled(true);
    // Ctrl+F anywhere in the window goes to the search.
    auto* find = new QShortcut(QKeySequence::Find, parent ? parent : this);
    connect(find, &QShortcut::activated, box, [box] {
        box->setFocus(Qt::ShortcutFocusReason);
        box->selectAll();
    });
    box->setToolTip(QStringLiteral("Поиск (%1)").arg(QKeySequence(QKeySequence::Find).toString(QKeySequence::NativeText)));
    m_searchBox = box;
    connect(box, &QLineEdit::textChanged, this, &DataGrid::applySearch);
    return box;
}

void DataGrid::applySearch()
{
    Dataset* ds = m_model ? m_model->dataset() : nullptr;
    if (!ds || !m_searchBox) return;
    QStringList fields;
    for (int c = 0; c < m_model->columns().size(); ++c)
        if (!isColumnHidden(c) && !m_model->columns().at(c).field.isEmpty()) fields << m_model->columns().at(c).field;
    ds->setSearch(m_searchBox->text().trimmed(), fields);
}

namespace {

/// A cell as spreadsheets read tab-separated text: one holding a tab, a line break or a double
/// quote in double quotes, its own quotes doubled, so that it stays one cell of its row.
QString copiedCell(QString text)
{
    static const QRegularExpression special(QStringLiteral("[\t\n\r\"]"));
    if (!text.contains(special)) return text;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

QString DataGrid::selectedText() const
{
    if (!m_model) return {};
    QList<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows()) rows << i.row();
    if (rows.isEmpty() && currentIndex().isValid()) rows << currentIndex().row();
    std::sort(rows.begin(), rows.end());
    QString out;
    for (int r : std::as_const(rows)) {
        QStringList cells;
        for (int c = 0; c < m_model->columnCount(); ++c)
            if (!isColumnHidden(c)) cells << copiedCell(m_model->index(r, c).data().toString());
        out += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

void DataGrid::keyPressEvent(QKeyEvent* event)
{
    if (event == QKeySequence::Copy) {
        QApplication::clipboard()->setText(selectedText());
        event->accept();
        return;
    }
    const int key = event->key() == Qt::Key_Enter ? Qt::Key_Return : event->key();
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        QAbstractButton* button = m_keys.value(key);
        if (button && button->isEnabled() && button->isVisibleTo(button->window())) {
            event->accept();
            button->click();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void DataGrid::freezeFirstColumn()
{
    if (m_frozen || !m_model) return;
    m_frozen = new QTableView(this);
    m_frozen->setObjectName(objectName() + QStringLiteral("Frozen"));
    m_frozen->setModel(m_model);
    m_frozen->setSelectionModel(selectionModel());
    m_frozen->setItemDelegate(itemDelegate());
    m_frozen->setFocusPolicy(Qt::NoFocus);
    m_frozen->setSelectionBehavior(selectionBehavior());
    m_frozen->setSelectionMode(selectionMode());
    m_frozen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_frozen->verticalHeader()->hide();
    m_frozen->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    m_frozen->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozen->horizontalHeader()->setHighlightSections(false);
    m_frozen->horizontalHeader()->setFixedHeight(horizontalHeader()->sizeHint().height());
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setFrameShape(QFrame::NoFrame);
    m_frozen->setContextMenuPolicy(Qt::CustomContextMenu);
    const auto hideOthers = [this] {
        for (int c = 1; c < m_model->columnCount(); ++c) m_frozen->setColumnHidden(c, true);
        m_frozen->setColumnWidth(0, columnWidth(0));
    };
    hideOthers();
    connect(m_model, &QAbstractItemModel::modelReset, m_frozen, hideOthers);
    connect(horizontalHeader(), &QHeaderView::sectionResized, m_frozen, [this](int section, int, int size) {
        if (section != 0) return;
        m_frozen->setColumnWidth(0, size);
        placeFrozen();
    });
    connect(m_frozen->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(), &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, m_frozen->verticalScrollBar(), &QAbstractSlider::setValue);
    connect(m_frozen->horizontalHeader(), &QHeaderView::sectionClicked, this, &DataGrid::sortBy);
    connect(m_frozen, &QAbstractItemView::doubleClicked, this, &QAbstractItemView::doubleClicked);
    connect(m_frozen, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { showContextMenu(viewport()->mapFromGlobal(m_frozen->viewport()->mapToGlobal(at))); });
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    viewport()->stackUnder(m_frozen);
    m_frozen->show();
    placeFrozen();
}

void DataGrid::placeFrozen()
{
    if (!m_frozen) return;
    m_frozen->setGeometry(frameWidth(), frameWidth(), isColumnHidden(0) ? 0 : columnWidth(0),
                          viewport()->height() + horizontalHeader()->height());
    m_frozen->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
    if (horizontalHeader()->isSortIndicatorShown()) {
        m_frozen->horizontalHeader()->setSortIndicatorShown(m_sortColumn == 0);
        m_frozen->horizontalHeader()->setSortIndicator(0, m_sortOrder);
    }
}

void DataGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    placeFrozen();
}

QModelIndex DataGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = QTableView::moveCursor(action, modifiers);
    // A cell moved to by the keys is not left under the frozen column.
    if (m_frozen && action == MoveLeft && current.column() > 0 &&
        visualRect(current).topLeft().x() < m_frozen->columnWidth(0)) {
        const int offset = visualRect(current).topLeft().x() - m_frozen->columnWidth(0);
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + offset);
    }
    return current;
}

void DataGrid::showContextMenu(const QPoint& at)
{
    QMenu menu(this);
    for (const MenuItem& item : std::as_const(m_menu)) {
        if (item.action) {
            if (item.action->isVisible()) menu.addAction(item.action);
        } else if (QAbstractButton* b = item.button) {
            if (!b->isVisibleTo(b->window())) continue;
            QAction* a = menu.addAction(item.caption.isEmpty() ? b->text() : item.caption);
            a->setEnabled(b->isEnabled());
            const QPointer<QAbstractButton> target(b);
            connect(a, &QAction::triggered, this, [target] {
                if (target && target->isEnabled()) target->click();
            });
        } else {
            menu.addSeparator();
        }
    }
    if (!menu.isEmpty()) menu.addSeparator();
    QAction* copy = menu.addAction(QStringLiteral("Копировать"));
    copy->setShortcut(QKeySequence::Copy);
    connect(copy, &QAction::triggered, this, [this] { QApplication::clipboard()->setText(selectedText()); });
    menu.exec(viewport()->mapToGlobal(at));
}
