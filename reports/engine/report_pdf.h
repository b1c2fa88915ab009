#pragma once
#include "reports/engine/report_engine.h"

#include <memory>

/// A report's PDF file written page by page, each page painted as it is handed over and then
/// forgotten: thousands of pages in the memory of one. The pages look as the painter draws them
/// on a printer (report_render.h): the same font, sizes, places, frames and shading, text
/// clipped at its box where it does not fit. The file takes its name only once it is whole.
class ReportPdfFile {
public:
    /// Opens the file's temporary beside path; throws ReportError when it cannot.
    explicit ReportPdfFile(const QString& path);
    ~ReportPdfFile();
    ReportPdfFile(const ReportPdfFile&) = delete;
    ReportPdfFile& operator=(const ReportPdfFile&) = delete;

    /// Paints the next page on the paper of format, a document without pages (the first page
    /// fixes the paper and the document's title). The page is painted on a thread of the
    /// file's own while the caller lays out the next. Throws ReportError once the painting of
    /// an earlier page failed (a full disk, say): there is no use in laying out more.
    void addPage(const ReportDocument& format, ReportPage page);
    /// Finishes the PDF and puts it under its name; throws ReportError (the old file of that
    /// name stays as it was) when anything failed.
    void commit();

private:
    struct Writer;
    struct Painter;
    std::unique_ptr<Writer> m_writer;
    std::unique_ptr<Painter> m_painter;   // declared after the writer: stopped before it goes
};
