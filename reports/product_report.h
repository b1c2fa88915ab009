#pragma once
#include "reports/report_window.h"

/// The product report: the period's good pieces and boxes by nomenclature group, operation
/// kind, product kind and colour.
class TForm17 : public ReportWindow {
    Q_OBJECT
public:
    explicit TForm17(TDataModule6& dm, QObject* parent = nullptr);

    Dataset t_Report;
    ReportLabel QRLabel1{QStringLiteral("Отчет по продукции")};

    static ReportLayout makeLayout(const ReportLabel& title);
    /// The title the reports hub gives the period.
    static QString titleFor(const QDate& from, const QDate& to);

protected:
    QString titleFor(const ReportRequest& request) const override { return titleFor(request.from, request.to); }
};
