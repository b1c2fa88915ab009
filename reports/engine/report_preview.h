#pragma once
#include "reports/engine/report_engine.h"

class Prompts;
class QPrinter;
class QWidget;

enum class PreviewZoom { WholePage, PageWidth };

/// Shows the document in the print preview (object name "ReportPreview"), maximised and zoomed
/// to the whole page or to the page width, with printing through the system's print dialog and
/// "Сохранить в PDF" (action "savePdfAction"); returns when the preview is closed.
void showReportPreview(const ReportDocument& document, PreviewZoom zoom, Prompts& prompts, QWidget* parent = nullptr);

/// Prints the document on the printer as the preview's print does. Printed to a PDF file, the
/// file is replaced only by the whole report; a failed write is told through prompts and leaves
/// the old file as it was.
void printReport(const ReportDocument& document, QPrinter& printer, Prompts& prompts);
