#include "reports/report_window.h"
#include "data/data_module.h"
#include "reports/report_data.h"
#include "reports/report_render.h"

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

void ReportWindow::setProductKind(int kind)
{
    if (kind == 1) {
        m_query->setFilterText(QStringLiteral("naimen=0"));
        m_query->setFiltered(true);
    } else if (kind == 2) {
        // Everything that prints as "Заготовки" is a blank.
        m_query->setFilterText(QStringLiteral("naimen<>0"));
        m_query->setFiltered(true);
    } else {
        m_query->setFiltered(false);
    }
}

void ReportWindow::setPeriod(const QDate& from, const QDate& to)
{
    for (int i = 1; m_query->hasParameter(QStringLiteral("data%1").arg(i)); ++i)
        m_query->setParam(QStringLiteral("data%1").arg(i), i % 2 == 1 ? from : to);
}

void ReportWindow::prepare()
{
    if (!m_query->isOpen()) throw ReportError(QStringLiteral("Запрос %1 отчета не открыт").arg(m_queryName));
    const DatasetReportData data(m_queryName, *m_query);
    m_document = layOutReport(m_layout, data);
    m_document.title = m_title.caption().trimmed();
    m_prepared = true;
}

void ReportWindow::preview(QWidget* parent)
{
    if (!m_prepared) prepare();
    showReportPreview(m_document, m_zoom, m_dm.prompts(), parent);
}

void ReportWindow::savePdf(const QString& path) const
{
    writeReportPdf(m_document, path);
}
