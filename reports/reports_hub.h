#pragma once
#include "data/access.h"
#include "data/dataset.h"

#include <QDialog>
#include <map>
#include <memory>

class TDataModule6;
class ExcelApp;
class Prompts;
class ReportWindow;
struct ReportKind;
struct ReportRequest;
class QDateEdit;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class JobProgress;
class QRadioButton;

/// The reports hub: a period and a product kind, the four summary reports by product and by
/// worker in their previews, and the period's output by product as a spreadsheet.
class TForm18 : public QDialog {
    Q_OBJECT
public:
    TForm18(TDataModule6& dm, ExcelApp& excel, QWidget* parent = nullptr);
    ~TForm18() override;

    QGroupBox* RadioGroup1 = nullptr;   // "Вид продукции": "Все", "Готовая продукция", "Заготовки"
    QGroupBox* GroupBox1 = nullptr;     // "Период отбора"
    QLabel* Label1 = nullptr;           // "с"
    QDateEdit* DTPicker1 = nullptr;
    QLabel* Label2 = nullptr;           // "по"
    QDateEdit* DTPicker2 = nullptr;
    QPushButton* Button2 = nullptr;     // "Отчет по продукции"
    QPushButton* Button4 = nullptr;     // "Отчет по рабочим"
    QPushButton* Button1 = nullptr;     // "Детальный отчет по рабочим"
    QPushButton* Button3 = nullptr;     // "Детальный отчет по продукции"
    QPushButton* Button6 = nullptr;     // "Excel (k из N)"
    QPushButton* Button5 = nullptr;     // "Выход"
    QProgressBar* PB = nullptr;         // shown while a report or the spreadsheet is read
    Dataset XLS_Rep;

    /// The item of RadioGroup1: 0 "Все", 1 "Готовая продукция", 2 "Заготовки".
    int productKind() const;
    void setProductKind(int item);
    /// After the login: a role held to one product kind (the warehouse: finished products) has
    /// it chosen; the login disables the choice as the access table says.
    void holdToRole(access_rights::Role role);
    /// The chosen period and product kind.
    ReportRequest request() const;

    /// Opening from the main window's menu: the whole month before today's, then shown modally.
    /// Opens with the period of the last report or workbook the user made (kept between runs),
    /// else with the previous month.
    void openFromMenu(const QDate& today);
    /// The period a opening from the menu sets: the first day of the month before today's up
    /// to the first day of today's month.
    static std::pair<QDate, QDate> previousMonth(const QDate& today);

    /// A report button: the report's preview over the chosen period and product kind.
    void runReport(const ReportKind& kind);
    /// The report window of that name ("Form17") once a button has made it, else nullptr.
    ReportWindow* reportWindow(const QString& window) const;

    /// "Excel": the period's output by product into a new workbook, shown when written.
    void Button6Click();

    /// The hub's work in the background: its progress and "Отмена".
    JobProgress* work() const { return m_work; }

protected:
    /// A run still going on is stopped before the hub closes.
    void done(int result) override;

private:
    /// Keeps the period for the next opening.
    void keepPeriod() const;
    TDataModule6& m_dm;
    ExcelApp& m_excel;
    Prompts& m_prompts;
    QList<QRadioButton*> m_kinds;
    std::map<QString, std::unique_ptr<ReportWindow>> m_reports;   // by report window, made once
    JobProgress* m_work = nullptr;
};
