#pragma once
#include "refbooks/pick_targets.h"
#include "refbooks/refbook_list.h"

#include <QDialog>

class DataGrid;
class TDataModule6;
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

    /// The reference book from the journal's menu: tag 0, "Изменить" not default, "Добавить"
    /// and "Удалить" shown, the search field as the book keeps it; the query opened (its filter
    /// switched off first where the book says so), the window shown modally, the query closed.
    void openBrowse();

    DataGrid* DBGrid1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    /// The bar's buttons by their names; which is "Добавить", "Изменить", "Удалить" and
    /// "Выход" is the book's own numbering.
    QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr, *Button4 = nullptr;

protected:
    /// The book's own add, change (reference mode) and delete.
    struct Handlers {
        std::function<void()> add, change, remove;
    };
    template <class W>
    static Handlers handlers(W* window, void (W::*add)(), void (W::*change)(), void (W::*remove)())
    {
        return {[window, add] { (window->*add)(); }, [window, change] { (window->*change)(); },
                [window, remove] { (window->*remove)(); }};
    }

    RefBookWindow(Prompts& prompts, const QString& objectName, const QString& caption, RefBookConfig config,
                  Handlers handlers, QWidget* parent);

    /// The picker for a calling dialog: tag, buttons, search and filter as the book's pick style
    /// says; the query opened, the window shown modally; afterwards the pick style's restores
    /// and the query closed. A pick hands the current row back; closing the window otherwise
    /// leaves the caller as it was.
    void runPick(int tag, RefBookList::HandBack handBack);
    /// runPick handing back the row's name field (see RefBookConfig::Pick) and its id.
    void runPick(int tag, QLineEdit& name, int& id);
    /// Runs an edit dialog's opening; when it asks for it, the list is reread and put back on
    /// the row it stood on (keepRow) or on its first row.
    void runDialog(const std::function<bool()>& open, bool keepRow);

    Prompts& m_prompts;
    RefBookList* m_list = nullptr;
};
