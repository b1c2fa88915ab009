#pragma once
#include "reports/report_window.h"

/// The detailed worker report: each worker's entries in the period by product and operation,
/// with hours, rejects, pieces and earnings, and a table of the hour-paid work beside them.
class TForm20 : public ReportWindow {
    Q_OBJECT
public:
    explicit TForm20(TDataModule6& dm, QObject* parent = nullptr);

    Dataset w_Report;
    ReportLabel QRLabel1{QStringLiteral("Детальный отчет по рабочим")};

    static ReportLayout makeLayout(const ReportLabel& title);
    /// The title the reports hub gives the period.
    static QString titleFor(const QDate& from, const QDate& to);

protected:
    QString titleFor(const ReportRequest& request) const override { return titleFor(request.from, request.to); }
};
