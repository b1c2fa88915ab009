#pragma once
#include "reports/engine/report_engine.h"

class QPainter;
class QPagedPaintDevice;

/// Paints one page (0-based) of the document; the painter's origin is the paper's corner and
/// the device has dotsPerMm device units to a millimetre.
void paintReportPage(QPainter& painter, const ReportDocument& document, int page, double dotsPerMm);
/// The same for a page on its own, in the document's font family.
void paintPage(QPainter& painter, const QString& fontFamily, const ReportPage& page, double dotsPerMm);

/// Paints every page onto a paged device (a printer, a PDF writer) whose painter is active and
/// whose origin is the paper's corner, starting a new page between pages; each page is laid
/// out, painted and dropped in turn.
void paintReport(QPainter& painter, QPagedPaintDevice& device, const ReportPages& pages);

/// Writes the pages as a PDF, each laid out, painted and dropped in turn. The file appears under
/// its name only once it is complete; throws ReportError (and leaves any earlier file of that
/// name as it was) when it cannot.
void writeReportPdf(const ReportPages& pages, const QString& path);
/// Lays the layout out over the data and writes each page to the PDF as soon as it is laid out,
/// keeping none (see layOutReportPages); the file as above. Returns the number of pages.
int writeReportPdf(const ReportLayout& layout, const ReportData& data, const QString& title, const QString& path);
