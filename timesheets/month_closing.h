#pragma once
#include <QDate>
#include <QDialog>

class TDataModule6;
class Prompts;
class Dataset;
class DataGrid;
class GridModel;
class JobProgress;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

/// A month and year chosen by name and number, as the sheet windows choose them.
struct MonthChoice {
    QComboBox* month = nullptr;
    QSpinBox* year = nullptr;
    /// Makes both with their labels ("Месяц:", "Год:") in the layout of parent.
    static MonthChoice make(QWidget* parent, class QBoxLayout* into);
    void set(const QDate& day);
    int monthNumber() const;
    int yearNumber() const;
};

/// "Проверка табеля": every cell of a month's timesheet that differs from the hours of its
/// journal and hour entries, one line each (worker, shift or kind, day, the cell, the sum).
class TForm32 : public QDialog {
    Q_OBJECT
public:
    TForm32(TDataModule6& dm, QWidget* parent = nullptr);
    ~TForm32() override;

    MonthChoice period;
    DataGrid* DBGrid1 = nullptr;
    QLabel* ResultLabel = nullptr;
    QPushButton* Button1 = nullptr;   // "Проверить"
    QPushButton* Button2 = nullptr;   // "Выход"
    QProgressBar* PB = nullptr;

    /// Opens modally and checks the month of the day given at once.
    void openFor(const QDate& day);
    /// Checks the chosen month in the background; the result shows when the check ends.
    void Button1Click();
    /// Waits for a running check (for tests).
    bool waitForCheck(int ms = 30000);

    void done(int result) override;

private:
    Dataset* m_differences = nullptr;
    GridModel* m_model = nullptr;
    JobProgress* m_work = nullptr;
};

/// "Закрытие месяца": closes a month for changes (after checking that its timesheet agrees with
/// its entries) and opens one again with a stated reason; lists the closed months.
class TForm31 : public QDialog {
    Q_OBJECT
public:
    TForm31(TDataModule6& dm, TForm32& check, QWidget* parent = nullptr);

    MonthChoice period;
    QLabel* StateLabel = nullptr;
    QLineEdit* ReasonEdit = nullptr;
    QTableWidget* ClosedList = nullptr;
    QPushButton* Button1 = nullptr;   // "Закрыть месяц"
    QPushButton* Button2 = nullptr;   // "Открыть месяц"
    QPushButton* Button3 = nullptr;   // "Выход"
    QProgressBar* PB = nullptr;

    /// Opens modally on the month before the day given (the month usually closed next).
    void openFor(const QDate& day);
    /// Asks, then checks and closes the chosen month in the background; a month whose timesheet
    /// differs is left open, and the differences are offered.
    void Button1Click();
    /// Opens the chosen month again; the reason must be given.
    void Button2Click();
    bool waitForWork(int ms = 30000);

    void done(int result) override;

private:
    void showState();

    TDataModule6& m_dm;
    Prompts& m_prompts;
    TForm32& m_check;
    JobProgress* m_work = nullptr;
};
