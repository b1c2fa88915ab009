#include "reports/report_window.h"
#include "data/data_module.h"
#include "data/formats.h"
#include "reports/engine/report_data.h"
#include "reports/engine/report_render.h"

#include <QScopeGuard>

ReportWindow::ReportWindow(TDataModule6& dm, const QString& name, PreviewZoom zoom, QObject* parent)
    : QObject(parent), m_dm(dm), m_zoom(zoom)
{
    setObjectName(name);
}

void ReportWindow::setReport(Dataset& query, const QString& queryName, const ReportLabel& title, ReportLayout layout)
{
    m_query = &query;
    m_query->setObjectName(queryName);
    m_queryName = queryName;
    m_title = title;
    m_layout = std::move(layout);
}

QString periodTitle(const QString& what, const QDate& from, const QDate& to)
{
    return QStringLiteral("   ") + what + QStringLiteral(" за период с ") + formats::date(from) + QStringLiteral(" по ") +
           formats::date(to);
}

void ReportWindow::setProductKind(int kind) { sheet_statements::setProductKindFilter(*m_query, kind); }

void ReportWindow::applyRequest(const ReportRequest& request)
{
    setPeriod(request.from, request.to);
    setProductKind(request.productKind);
}

void ReportWindow::prepareFor(const ReportRequest& request)
{
    m_query->close();
    applyRequest(request);
    m_query->open();
    m_title.setCaption(titleFor(request));
    prepare();
}

void ReportWindow::run(const ReportRequest& request, QWidget* parent)
{
    {
        const auto closeQuery = qScopeGuard([this] { m_query->close(); });
        prepareFor(request);
    }
    showReportPreview(*m_report, m_zoom, m_dm.prompts(), parent);
}

Statement ReportWindow::statementFor(const ReportRequest& request)
{
    m_query->close();
    applyRequest(request);
    return m_query->statement();
}

std::function<std::shared_ptr<const ReportData>(const QSqlDatabase&)> ReportWindow::rowsReader(const ReportRequest& request)
{
    return [statement = statementFor(request), name = m_queryName, filter = m_query->activeFilter(),
            fields = m_layout.fieldNames()](const QSqlDatabase& db) -> std::shared_ptr<const ReportData> {
        const QueryReportData source(name, statement.exec(db), filter);
        return std::make_shared<ReportRows>(source, fields);
    };
}

void ReportWindow::runWithRows(const ReportRequest& request, std::shared_ptr<const ReportData> rows, QWidget* parent)
{
    m_title.setCaption(titleFor(request));
    m_document.reset();
    m_report = std::make_unique<PagedReport>(m_layout, std::move(rows), m_title.caption().trimmed());
    showReportPreview(*m_report, m_zoom, m_dm.prompts(), parent);
}

void ReportWindow::setPeriod(const QDate& from, const QDate& to)
{
    sheet_statements::setPeriod(*m_query, from, to);
}

void ReportWindow::prepare()
{
    if (!m_query->isOpen()) throw ReportError(QStringLiteral("Запрос %1 отчета не открыт").arg(m_queryName));
    const DatasetReportData data(m_queryName, *m_query);
    m_document.reset();
    m_report = std::make_unique<PagedReport>(m_layout, std::make_shared<ReportRows>(data, m_layout.fieldNames()),
                                             m_title.caption().trimmed());
}

const ReportDocument& ReportWindow::document() const
{
    if (!m_document) m_document = m_report ? m_report->document() : ReportDocument();
    return *m_document;
}

void ReportWindow::preview(QWidget* parent)
{
    if (!m_report) prepare();
    showReportPreview(*m_report, m_zoom, m_dm.prompts(), parent);
}

void ReportWindow::savePdf(const QString& path) const
{
    if (m_report) writeReportPdf(*m_report, path);
    else writeReportPdf(document(), path);
}

int ReportWindow::writePdfFor(const ReportRequest& request, const QString& path)
{
    const Statement statement = statementFor(request);
    m_title.setCaption(titleFor(request));
    const QueryReportData data(m_queryName, statement.exec(m_dm.ADO_DB), m_query->activeFilter());
    return writeReportPdf(m_layout, data, m_title.caption().trimmed(), path);
}
