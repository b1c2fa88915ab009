#include "ui/data_grid.h"
#include "data/dataset.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>

DataGrid::DataGrid(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
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
    const QString field = m_model->columns().at(m_sortColumn).field;
    ds->setSort(field + (m_sortOrder == Qt::DescendingOrder ? QStringLiteral(" DESC") : QString()));
}

void DataGrid::bindKey(int key, QAbstractButton* button) { m_keys.insert(key, button); }

void DataGrid::addToContextMenu(QAbstractButton* button) { m_menu << MenuItem{button, nullptr}; }

void DataGrid::addToContextMenu(QAction* action) { m_menu << MenuItem{nullptr, action}; }

void DataGrid::addContextSeparator() { m_menu << MenuItem{}; }

QLineEdit* DataGrid::makeSearchBox(QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QStringLiteral("SearchBox"));
    box->setPlaceholderText(QStringLiteral("Поиск"));
    box->setClearButtonEnabled(true);
    connect(box, &QLineEdit::textChanged, this, [this](const QString& text) {
        Dataset* ds = m_model ? m_model->dataset() : nullptr;
        if (!ds) return;
        QStringList fields;
        for (int c = 0; c < m_model->columns().size(); ++c)
            if (!isColumnHidden(c) && !m_model->columns().at(c).field.isEmpty()) fields << m_model->columns().at(c).field;
        ds->setSearch(text.trimmed(), fields);
    });
    return box;
}

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
            if (!isColumnHidden(c)) cells << m_model->index(r, c).data().toString().replace(QLatin1Char('\t'), QLatin1Char(' '));
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

void DataGrid::showContextMenu(const QPoint& at)
{
    QMenu menu(this);
    for (const MenuItem& item : std::as_const(m_menu)) {
        if (item.action) {
            if (item.action->isVisible()) menu.addAction(item.action);
        } else if (QAbstractButton* b = item.button) {
            if (!b->isVisibleTo(b->window())) continue;
            QAction* a = menu.addAction(b->text());
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
