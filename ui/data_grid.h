#pragma once
#include "ui/grid_model.h"

#include <QTableView>

/// A read-only grid over a GridModel whose current row follows the dataset's current record
/// and moves it when the user picks another row.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    /// Shows the model; hidden columns are hidden and widths applied.
    void setGridModel(GridModel* model);
    GridModel* gridModel() const { return m_model; }
    /// Binds the grid to another dataset, keeping the columns.
    void setDataset(Dataset* dataset);

private:
    void followDataset(int row);
    void applyColumns();
    GridModel* m_model = nullptr;
    QMetaObject::Connection m_currentConnection;
    bool m_syncing = false;
};
