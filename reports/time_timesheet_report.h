#pragma once
#include "reports/report_window.h"

/// The printed time timesheet: the month's hours of every worker by day, all shifts and
/// hour-paid work together, always with 31 day columns.
class TForm15 : public ReportWindow {
    Q_OBJECT
public:
    explicit TForm15(TDataModule6& dm, QObject* parent = nullptr);

    Dataset H_Tabel;
    ReportLabel QRLabel33{QStringLiteral("Данные за:")};

    /// Sets the month (1..12) and the year of the query.
    void setMonth(int month, int year);

    static ReportLayout makeLayout(const ReportLabel& title);
    /// The title the time timesheet gives the month: "Март 2024 г.".
    static QString titleFor(int month, int year);

protected:
    void applyRequest(const ReportRequest& request) override { setMonth(request.month, request.year); }
    QString titleFor(const ReportRequest& request) const override { return titleFor(request.month, request.year); }
};
