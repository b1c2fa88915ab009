#pragma once
#include "reports/report_window.h"

/// The detailed product report: the period's pieces, rejects, boxes and earnings by
/// nomenclature group, product, operation kind, product kind and colour.
class TForm21 : public ReportWindow {
    Q_OBJECT
public:
    explicit TForm21(TDataModule6& dm, QObject* parent = nullptr);

    Dataset i_Report;
    ReportLabel QRLabel1{QStringLiteral("Детальный отчет по продукции")};

    static ReportLayout makeLayout(const ReportLabel& title);
    /// The title the reports hub gives the period.
    static QString titleFor(const QDate& from, const QDate& to);

protected:
    QString titleFor(const ReportRequest& request) const override { return titleFor(request.from, request.to); }
};
