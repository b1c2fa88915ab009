#pragma once
#include "ui/grid_model.h"

#include <QPointer>
#include <QTableView>

class QAbstractButton;
class QAction;
class QLineEdit;

/// A read-only grid over a GridModel whose current row follows the dataset's current record
/// and moves it when the user picks another row. A click on a column's title sorts the rows by
/// it (a second click the other way round); Ctrl+C copies the selected rows' shown cells as
/// tab-separated text; the keys and the context menu do what the window's own buttons do.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    /// Shows the model; hidden columns are hidden and widths applied.
    void setGridModel(GridModel* model);
    GridModel* gridModel() const { return m_model; }
    /// Binds the grid to another dataset, keeping the columns (and the order chosen by a title).
    void setDataset(Dataset* dataset);

    /// The window's usual buttons, any of them null: Insert clicks "Добавить", Enter "Изменить",
    /// Delete "Удалить" and F5 "Обновить", and the context menu offers them in that order.
    void actAs(QAbstractButton* add, QAbstractButton* change, QAbstractButton* remove, QAbstractButton* refresh);
    /// A key (Enter, Insert, Delete, F5…) pressed in the grid clicks the button, when the button
    /// is shown and enabled.
    void bindKey(int key, QAbstractButton* button);
    /// The context menu's items, in order: a button (its caption, or the one given, shown and
    /// enabled as the button is), an action, or a separator (nullptr). "Копировать" always
    /// closes the menu.
    void addToContextMenu(QAbstractButton* button, const QString& caption = {});
    void addToContextMenu(QAction* action);
    void addContextSeparator();
    /// A box that shows only the rows holding its text in one of the shown columns; the text goes
    /// on applying to a dataset the grid is bound to later (another shift of the journal).
    QLineEdit* makeSearchBox(QWidget* parent);

    /// Keeps the first column in place while the others scroll across (a sheet's names beside
    /// its days); call once the grid's model and cell painter are set.
    void freezeFirstColumn();

    /// The selected rows' shown cells, tab between cells and a line break after each row; a cell
    /// holding a tab, a line break or a double quote in double quotes, its quotes doubled.
    QString selectedText() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;


private:
    void followDataset(int row);
    void applyColumns();
    void sortBy(int column);
    void applySort();
    void applySearch();
    void showContextMenu(const QPoint& at);
    void placeFrozen();

    GridModel* m_model = nullptr;
    QPointer<QLineEdit> m_searchBox;
    QMetaObject::Connection m_currentConnection;
    bool m_syncing = false;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QHash<int, QAbstractButton*> m_keys;
    struct MenuItem {
        QAbstractButton* button = nullptr;
        QAction* action = nullptr;
        QString caption;   // of a button, when not its own
    };
    QList<MenuItem> m_menu;
    QTableView* m_frozen = nullptr;
};
