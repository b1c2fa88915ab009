#pragma once
#include "data/dataset.h"
#include "reports/engine/report_engine.h"
#include "reports/engine/report_preview.h"
#include "rules/sheet_statements.h"

#include <QDate>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class ReportData;
class TDataModule6;
class QWidget;

/// A hub report's title: "   " + what + " за период с " + from + " по " + to, short dates.
QString periodTitle(const QString& what, const QDate& from, const QDate& to);

/// A report window: one query and one banded layout, never shown itself, only its print
/// preview. The caller sets the query's parameters (and the product-kind filter), opens the
/// query, sets the title label, prepares the report, shows its preview and closes the query.
class ReportWindow : public QObject {
    Q_OBJECT
public:
    /// The product-kind choice of the reports hub (setProductKindFilter on the query).
    void setProductKind(int kind);
    /// Sets every odd-numbered date parameter of the query (data1, data3 …) to from and every
    /// even-numbered one to to: the half-open period from ≤ d < to.
    void setPeriod(const QDate& from, const QDate& to);

    /// Takes the open query's rows (the fields the layout reads, held compactly) for the report;
    /// throws ReportError when the query is closed. Pages are laid out when asked for.
    void prepare();
    /// Every page of the prepared report, laid out the first time it is asked (tests, small
    /// reports); the preview and the PDF never hold them all.
    const ReportDocument& document() const;
    int pageCount() const { return m_report ? m_report->pageCount() : 0; }
    /// The print preview of the prepared report (prepared first when it has not been); returns
    /// when the preview is closed.
    void preview(QWidget* parent = nullptr);
    /// Writes the prepared report as a PDF; throws ReportError when it cannot.
    void savePdf(const QString& path) const;
    /// Runs the query for the request and writes the report to a PDF page by page as its rows
    /// arrive, holding neither the rows nor the pages (a whole plant's month in little memory).
    /// Throws DbError for the query, ReportError for the file; returns the number of pages.
    int writePdfFor(const ReportRequest& request, const QString& path);

    /// Fills the query from the request, opens it, sets the title label and prepares the report.
    void prepareFor(const ReportRequest& request);
    /// Prepares the report for the request and shows its preview; the query is closed once its
    /// rows are taken.
    void run(const ReportRequest& request, QWidget* parent = nullptr);
    /// The query's statement for the request (the query closed and set for it), to be read on
    /// another session: the reports hub reads it in the background.
    Statement statementFor(const ReportRequest& request);
    /// How the report's rows for a request are read on another session (the reports hub reads
    /// them in the background): the query's statement and product-kind filter, read into the
    /// fields the layout uses.
    std::function<std::shared_ptr<const ReportData>(const QSqlDatabase& db)> rowsReader(const ReportRequest& request);
    /// As run(), on rows read by rowsReader(request).
    void runWithRows(const ReportRequest& request, std::shared_ptr<const ReportData> rows, QWidget* parent = nullptr);

    const ReportLayout& layout() const { return m_layout; }
    Dataset& reportQuery() { return *m_query; }

protected:
    /// Sets the query's parameters from the request: by default the period (setPeriod) and
    /// the product kind.
    virtual void applyRequest(const ReportRequest& request);
    /// The title label's caption for the request.
    virtual QString titleFor(const ReportRequest& request) const = 0;

    ReportWindow(TDataModule6& dm, const QString& name, PreviewZoom zoom, QObject* parent);
    /// Called once by the window's constructor: its query (by name), its title label and layout.
    void setReport(Dataset& query, const QString& queryName, const ReportLabel& title, ReportLayout layout);

private:
    TDataModule6& m_dm;
    PreviewZoom m_zoom;
    Dataset* m_query = nullptr;
    QString m_queryName;
    ReportLabel m_title;
    ReportLayout m_layout;
    std::unique_ptr<PagedReport> m_report;
    mutable std::optional<ReportDocument> m_document;
};
