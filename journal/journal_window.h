#pragma once
#include "data/dataset.h"
#include "data/money.h"
#include "data/version_check.h"

#include <QDialog>
#include <functional>

class TDataModule6;
class Prompts;
class DataGrid;
class GridModel;
class QDateEdit;
class QCheckBox;
class QRadioButton;
class QPushButton;
class QMenuBar;
class QMenu;
class QAction;
class QTimer;
class QLabel;
class QLineEdit;
class QStatusBar;
class TForm11;
class TForm30;
class TForm33;
class TForm34;

/// The working window: the production journal of one date and one shift, approving and
/// deleting entries, and the way to every other window of the client.
class TForm1 : public QDialog {
    Q_OBJECT
public:
    TForm1(TDataModule6& dm, QWidget* parent = nullptr);
    ~TForm1() override;

    // State other windows read.
    int CurrentShift = 1;
    Dataset* CurrentQuery = nullptr;
    QString AccessCode;
    int BuildTime = 0;
    int BuildDate = 0;

    QDateEdit* DateT = nullptr;
    QCheckBox* CBox1 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QRadioButton* RadioButton4 = nullptr;
    DataGrid* DBGrid2 = nullptr;
    QPushButton* Button1 = nullptr;  // "Добавить"
    /// "Добавить бригаду…" (Alt+Insert): entries of one operation for several workers.
    QPushButton* BrigadeButton = nullptr;
    QPushButton* Button2 = nullptr;  // "Изменить"
    QPushButton* Button3 = nullptr;  // "Удалить"
    QPushButton* Button8 = nullptr;  // "Обновить"
    QPushButton* Button5 = nullptr;  // "Ср.сд./хоз. работы"
    QPushButton* Button4 = nullptr;  // "Выход"
    /// "История": the history of changes of the current entry.
    QPushButton* HistoryButton = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QAction *N1, *N2, *N3, *N4, *N5, *N6, *N7, *N8, *N9, *N10, *N11, *N13, *N14, *N15, *N17, *N20;
    QAction* N18 = nullptr;  // "Закрытие месяца…"
    QAction* N19 = nullptr;  // "Проверка табеля"
    /// "Отчеты" → "Найти записи…" (Ctrl+Shift+F): the entries of a period holding a text.
    QAction* FindEntriesAction = nullptr;
    QAction* SummaryAction = nullptr;       // "Сводка за месяц"
    QTimer* Timer1 = nullptr;
    /// Shows only the entries holding its text.
    QLineEdit* SearchBox = nullptr;
    /// The role, the database and its server, the shown entries' count and sum, and what the
    /// last approval did.
    QStatusBar* StatusBar = nullptr;
    /// The context menu's approval items, for the roles that may approve: the selected entries,
    /// and every entry the shift shows.
    QAction* ApproveAction = nullptr;
    QAction* WithdrawAction = nullptr;
    QAction* ApproveAllAction = nullptr;
    /// The entry dialog that "Добавить" and "Изменить" open.
    TForm11* Form11 = nullptr;
    /// The history window that "История" opens.
    TForm30* Form30 = nullptr;
    /// The brigade's dialog that "Добавить бригаду…" opens.
    TForm33* Form33 = nullptr;
    /// The search window that "Найти записи…" opens.
    TForm34* Form34 = nullptr;

    /// The journal date.
    QDate date() const;

    /// Opens a window from this one and, when it returns, activates this window again
    /// (today's date, the four shifts reloaded), as returning from any window of the client does.
    void runChild(const std::function<void()>& open);
    /// Wires a button or menu item to a window that opens from here; until wired it stays disabled.
    void wire(QAction* item, const std::function<void()>& open);
    void wire(QPushButton* button, const std::function<void()>& open);
    /// What the 30-second timer runs (the version check).
    std::function<void()> onTimer;
    /// The workstation's clock.
    std::function<QDate()> today = [] { return QDate::currentDate(); };

    // Handlers.
    void FormActivate();
    void DateTChange();
    void Button8Click();
    void RadioButtonClick(int shift);
    void CBox1Click();
    void DBGrid2DblClick();
    /// Approves the selected entries (or withdraws their marks), those not yet so, after one
    /// question with their count and sum; says in the status bar what was done.
    /// The rows among those given whose approval differs from the one asked, and their sum.
    struct Marking {
        QList<int> rows;
        Money sum;
    };
    Marking toMark(const QList<int>& among, bool approved) const;
    void setApproval(bool approved);
    /// "Утвердить все записи смены": every entry the shift shows, as setApproval.
    void approveAll();
    /// "Добавить": the entry dialog for a new entry of the current shift on the journal's date.
    void Button1Click();
    /// "Изменить": the entry dialog for the current entry; the grid returns to its row afterwards.
    void Button2Click();
    void Button3Click();
    /// "История": the history of changes of the current entry.
    void HistoryButtonClick();
    /// "Добавить бригаду…": the brigade's dialog on the journal's date and shift; once it has
    /// saved, the journal shows its entries, else it comes back as from any window.
    void BrigadeButtonClick();
    /// "Найти записи…": the search window; the entry chosen there is shown in the journal.
    void FindEntriesActionClick();
    /// Shows the entry: its date and shift, the grid's current row on it (the search box
    /// cleared when it hides the entry); with id 0, the date and shift alone.
    void goToEntry(int id, const QDate& day, int shift);

    /// Esc, "Выход" and the close box end the run: after asking, the answer "Нет" being the default.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void reopenShifts();
    /// The four shifts of the date now in DateT, and the day-off box following that date.
    void reloadForDate();
    void styleShiftButtons();
    /// Says whether the journal date's month is closed, and greys out adding, changing and
    /// deleting entries while it is.
    void showMonthState();
    /// The role may approve and the grid has an entry.
    bool mayApprove() const;
    /// Switches the current entry's mark (a withdrawal after a question) and says so in the
    /// status bar.
    void switchApproval();
    /// Writes the marks of the grid's rows in one transaction, then shows the shift again with
    /// the same current cell and the same rows selected; names the entries another client changed
    /// meanwhile, which are left as they are. The count written.
    int writeMarks(const QList<int>& rows, bool approved);
    /// The grid rows selected, or the current one.
    QList<int> selectedRows() const;
    void showTotals();
    void updateApprovalItems();
    Dataset& shiftQuery(int shift) const;
    /// Where the shift last worked in is kept: apart for each role.
    QString shiftMemoryKey() const;

    TDataModule6& m_dm;
    Prompts& m_prompts;
    GridModel* m_model = nullptr;
    QList<QRadioButton*> m_shiftButtons;
    bool m_firstShow = true;
    QLabel* m_roleLabel = nullptr;
    QLabel* m_monthLabel = nullptr;   // "Месяц MM.YYYY закрыт"
    QLabel* m_databaseLabel = nullptr;
    QLabel* m_totalsLabel = nullptr;
};
