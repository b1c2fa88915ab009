#include "ui/data_grid.h"
#include "data/dataset.h"

#include <QHeaderView>

DataGrid::DataGrid(QWidget* parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
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
