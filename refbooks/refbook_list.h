#pragma once
#include "ui/grid_model.h"

#include <QWidget>
#include <functional>

class Dataset;
class DataGrid;
class Prompts;
class QDialog;
class QHBoxLayout;
class QLineEdit;
class QPushButton;

/// What one reference-book list window makes of the shared list pattern.
struct RefBookConfig {
    enum class Match { StartsWith, Contains };
    enum class SearchKeys {
        /// Up and Down move the grid's row; every other key that does not type (cursor keys,
        /// Home, End, Delete) is swallowed; typing, Backspace, Enter and Esc work as usual.
        OnlyTyping,
        /// Up and Down move the grid's row; every other key keeps its usual effect.
        UpDownOnly,
    };
    enum class Button { Add, Change, Delete };

    Dataset* dataset = nullptr;          ///< the grid's query
    QList<ColumnSpec> columns;
    QString searchField;                 ///< the text field the search field filters
    Match match = Match::StartsWith;
    bool blankSearchShowsAll = false;    ///< a search text of blanks only lifts the filter
    SearchKeys searchKeys = SearchKeys::OnlyTyping;
    bool searchVisible = true;           ///< whether the search field shows before any opener touches it
    bool searchAboveButtons = false;     ///< across the width above the buttons, or in the button bar

    /// The bar's buttons, left to right, with their object names; "Выход" stands on the right.
    QList<std::pair<Button, QString>> buttons = {
        {Button::Add, QStringLiteral("Button1")},
        {Button::Change, QStringLiteral("Button2")},
        {Button::Delete, QStringLiteral("Button3")},
    };
    QString exitButton = QStringLiteral("Button4");
    bool addIsDefault = true;            ///< the add button is the default button outside pick mode

    /// How the openers of the list window (RefBookWindow) prepare it.
    bool browseLiftsFilter = false;      ///< the reference opener switches the query's filter off
    struct Pick {
        bool changeDefault = true;       ///< "Выбрать" becomes the default button
        bool resetSearch = true;         ///< the search field is shown and cleared
        /// A filter switched on for the pick (the search replaces it, an empty search lifts it),
        /// switched off again afterwards.
        QString filter;
        bool hideSearchAfter = false;    ///< the search field is hidden again once the pick is over
        QString nameField;               ///< the field a pick hands back as the name
        bool trimName = true;            ///< handed back trimmed of surrounding blanks, or as stored
    } pick;

    /// The window's own add, change (reference mode) and delete; each runs guarded, and change
    /// and delete never run on an empty list.
    std::function<void()> add;
    std::function<void()> change;
    std::function<void()> remove;
    /// A double click on the grid; by default the change button's action.
    std::function<void()> doubleClick;
};

/// The list pattern of the reference books: a grid over a query, "Добавить", "Изменить",
/// "Удалить", "Выход" and the search field Edit1, with the browse and pick modes. A list window
/// puts one in itself and is told by it only what differs (RefBookConfig).
class RefBookList : public QWidget {
    Q_OBJECT
public:
    /// Hands the chosen row back to the calling dialog.
    using HandBack = std::function<void(const Dataset&)>;

    RefBookList(QDialog* window, Prompts& prompts, RefBookConfig config);

    /// The mode set by the opener: 0 reference book, anything else a pick for the caller it names.
    int Tag = 0;
    bool picking() const { return Tag != 0; }

    DataGrid* grid() const { return m_grid; }
    QLineEdit* search() const { return m_search; }
    QPushButton* button(RefBookConfig::Button which) const;
    QPushButton* exitButton() const { return m_exit; }
    GridModel* model() const { return m_model; }
    Dataset& dataset() const { return *m_config.dataset; }
    /// Puts a window's own control into the bar, after the add, change and delete buttons.
    void addToBar(QWidget* widget);

    // --- what openers set
    /// Reference mode: tag 0, "Изменить" not default (the add button default again where it
    /// is by design), add and delete shown. The search field is left as it is.
    void prepareBrowse();
    /// Pick mode: the tag, "Выбрать" shown (and default, by the pick style), add and delete
    /// hidden, the search field shown and cleared (which lifts the search filter) unless the
    /// pick style keeps it, the pick style's filter switched on, and where the pick goes.
    void preparePick(int tag, HandBack handBack);
    /// After a pick: nothing handed back any more, "Выбрать" not default, add and delete shown
    /// again, the pick's filter off and, by the pick style, the search field hidden.
    void finishPick();
    const RefBookConfig& config() const { return m_config; }
    void setTag(int tag) { Tag = tag; }
    void setHandBack(HandBack handBack) { m_handBack = std::move(handBack); }
    void setChangeCaption(const QString& caption);
    void setChangeDefault(bool on);
    void setEditButtonsVisible(bool on);
    /// Shows the search field and clears it; the filter follows the (now empty) text.
    void resetSearch();
    void hideSearch();

    // --- handlers
    /// Every change of the search text: lifts the filter on empty text, otherwise keeps the rows
    /// whose search field starts with (or contains) the text taken literally, case ignored.
    void Edit1Change();
    /// "Изменить"/"Выбрать" and the grid's double click: in pick mode hands the current row back
    /// (nothing when the list is empty) and closes the window; otherwise the window's change.
    void changeOrPick();
    void closeWindow();
    /// Closes and reopens the query; the remembered row becomes current again when the list
    /// still has a row at that position, else the first row.
    void reopen(int keepRecNo = 0);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool searchKeyPress(class QKeyEvent* key);

    QDialog* m_window;
    Prompts& m_prompts;
    RefBookConfig m_config;
    HandBack m_handBack;
    bool m_searchedInPick = false;   // the last opening was a pick: its search is not the book's
    GridModel* m_model = nullptr;
    DataGrid* m_grid = nullptr;
    QLineEdit* m_search = nullptr;
    QHBoxLayout* m_bar = nullptr;
    int m_barInsertAt = 0;
    QPushButton* m_add = nullptr;
    QPushButton* m_change = nullptr;
    QPushButton* m_delete = nullptr;
    QPushButton* m_exit = nullptr;
};
