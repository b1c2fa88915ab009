#pragma once
#include "reports/engine/report_engine.h"

class Prompts;
class QPrinter;
class QWidget;

enum class PreviewZoom { WholePage, PageWidth };

/// Shows the pages in the print preview (object name "ReportPreview"), maximised and zoomed
/// to the whole page or to the page width, with printing through the system's print dialog and
/// "Сохранить в PDF" (action "savePdfAction"); returns when the preview is closed.
/// Only the pages in view and a few screens around them are laid out and painted, again as the
/// view moves: a report of thousands of pages shows in the memory of a few.
void showReportPreview(const ReportPages& pages, PreviewZoom zoom, Prompts& prompts, QWidget* parent = nullptr);

/// Prints the pages on the printer as the preview's print does, each laid out, painted and
/// dropped in turn. Printed to a PDF file, the file is replaced only by the whole report; a
/// failed write is told through prompts and leaves the old file as it was.
void printReport(const ReportPages& pages, QPrinter& printer, Prompts& prompts);
