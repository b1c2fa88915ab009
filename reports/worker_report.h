#pragma once
#include "reports/report_window.h"

/// The worker report: each worker's earnings in the period by nomenclature group, with the
/// utility-work and average-piecework money beside them.
class TForm16 : public ReportWindow {
    Q_OBJECT
public:
    explicit TForm16(TDataModule6& dm, QObject* parent = nullptr);

    Dataset t_Report;
    ReportLabel QRLabel1{QStringLiteral("Отчет по рабочим")};

    static ReportLayout makeLayout(const ReportLabel& title);
    /// The title the reports hub gives the period.
    static QString titleFor(const QDate& from, const QDate& to);

protected:
    QString titleFor(const ReportRequest& request) const override { return titleFor(request.from, request.to); }
};
