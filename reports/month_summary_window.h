#pragma once
#include "data/access.h"
#include "data/dataset.h"
#include "rules/month_summary.h"

#include <QDate>
#include <QDialog>
#include <functional>
#include <optional>

class TDataModule6;
class Prompts;
class JobProgress;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;

/// "Сводка за месяц": the month at a glance for the head of the department and the planner,
/// charts of the month's output, money, hours and approvals with their figures, read in the
/// background for the month chosen as in the sheets; printed and saved as a PDF; a click on a
/// day's bar goes to the journal on that day and shift.
class TForm35 : public QDialog {
    Q_OBJECT
public:
    explicit TForm35(TDataModule6& dm, QWidget* parent = nullptr);
    ~TForm35() override;

    QComboBox* ComboBox1 = nullptr;      // "Месяц:"
    QComboBox* cb_year = nullptr;        // "Год:"
    QLabel* TotalsLabel = nullptr;       // the month's totals
    QTabWidget* Pages = nullptr;         // a tab a page of charts
    QPushButton* PrintButton = nullptr;  // "Печать"
    QPushButton* PdfButton = nullptr;    // "PDF"
    QPushButton* CloseButton = nullptr;  // "Выход"
    QProgressBar* PB = nullptr;
    Dataset q_year;

    /// The workstation's clock: the window opens on today's month, or on the month last shown.
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    /// Where "PDF" saves: the user's choice of a file name (empty: not saved).
    std::function<QString(QWidget* parent, const QString& suggested)> askPdfPath;

    /// A day and shift chosen by a click on a day's bar.
    struct Place {
        QDate day;
        int shift = 1;
    };
    /// Shown modally on the month the sheets showed last (else today's), read at once. The day
    /// and shift clicked, or none.
    std::optional<Place> openFor(const QDate& today);
    /// After the login: the warehouse sees finished products only, as its reports hub does.
    void holdToRole(access_rights::Role role);
    int productKind() const { return m_productKind; }

    int month() const;
    int year() const;
    /// A month or year chosen: reads its figures in the background, "Отмена" beside the bar.
    void ComboBox1Change();
    /// A day's bar clicked: closes the window on that day and shift.
    void chooseDay(int day, int shift);
    /// "Печать": the charts on the printer the user chooses, A4 landscape.
    void PrintButtonClick();
    /// "PDF": the charts into a PDF file the user names.
    void PdfButtonClick();

    /// The figures shown, once read.
    const std::optional<month_summary::Summary>& summary() const { return m_summary; }
    JobProgress* work() const { return m_work; }

protected:
    void done(int result) override;

private:
    void showFigures(const month_summary::Summary& summary);

    TDataModule6& m_dm;
    Prompts& m_prompts;
    JobProgress* m_work = nullptr;
    int m_productKind = 0;
    std::optional<month_summary::Summary> m_summary;
    std::optional<Place> m_chosen;
};
