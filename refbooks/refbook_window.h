#pragma once
#include "refbooks/refbook_list.h"

#include <QDialog>

class DataGrid;
class Prompts;
class QLineEdit;
class QPushButton;

/// The frame of a reference-book list window: the list pattern filling the window, its grid,
/// search field and buttons under the names the window gives them, and the two ways the window
/// is opened (reference book and pick). A book adds its configuration and its own handlers.
class RefBookWindow : public QDialog {
    Q_OBJECT
public:
    RefBookList& list() const { return *m_list; }

    DataGrid* DBGrid1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    /// The bar's buttons by their names; which is "Добавить", "Изменить", "Удалить" and
    /// "Выход" is the book's own numbering.
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;

protected:
    RefBookWindow(Prompts& prompts, const QString& objectName, const QString& caption, RefBookConfig config,
                  QWidget* parent);

    /// The reference book: tag 0 and the buttons set for it; the query opened (its filter
    /// switched off first where the book says so), the window shown modally, the query closed.
    void runBrowse();
    /// The picker for a calling dialog: tag, buttons, search and filter as the book's pick style
    /// says; the query opened, the window shown modally; afterwards the pick style's restores
    /// and the query closed. A pick hands the current row back; closing the window otherwise
    /// leaves the caller as it was.
    void runPick(int tag, RefBookList::HandBack handBack);

    Prompts& m_prompts;
    RefBookList* m_list = nullptr;
};
