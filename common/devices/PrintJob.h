#pragma once

#include <QDateTime>
#include <QPageLayout>
#include <QPainter>
#include <QString>
#include <memory>

class PdfFile;
class QPagedPaintDevice;
class QPdfWriter;
class QPrinter;

// One printed document. It goes to the default printer, or into a PDF file
// when the environment variable DESK_PRINT_PDF names one or when no printer
// is installed (then into the file the caller offers as the fallback).
//
// The painter's origin is the printable area of the page, with the margins
// at the printer's minimum, the way a printer device context is on the
// stations' original platform; offsetY() is how far that area lies below the
// paper's top edge. The document is ended when the job is destroyed, with
// whatever was drawn: an error half-way never leaves a job open.
//
// A PDF file is written under a temporary name and takes its name only when
// it is complete (PdfFile): a print that fails leaves no partial file and
// an earlier file of the name as it was. A configured file is replaced by
// the next print; a fallback file never replaces another one, the print
// takes the next free name instead.
class PrintJob {
public:
    struct Options {
        QString documentName;
        QString fallbackPdf;          // used only when no printer exists
        QPageLayout::Orientation orientation = QPageLayout::Portrait;
        int pdfResolution = 600;      // pixels per inch of a PDF's device
    };

    // Begins the document; throws DeskError when it cannot begin.
    explicit PrintJob(const Options& options);
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    QPainter& painter() { return painter_; }

    // Read afresh from the device at every call.
    int dpiX() const;
    int dpiY() const;
    int offsetY() const;
    // The printable area in device pixels, from the painter's origin.
    QSize printableSize() const;

    // Starts a new page; throws DeskError when the device refuses, and
    // FileError when the PDF file could not be written so far.
    void newPage();
    // Ends the document (also done by the destructor); throws DeskError when
    // the device reports that the document could not be finished, FileError
    // when the PDF file could not be written (a full disk).
    void end();

    // The PDF file written (after end(): under the name it took), or empty
    // when the document went to a printer.
    const QString& pdfFile() const { return pdfFile_; }
    // Whether the document went into the fallback file for want of a printer.
    bool wentToFallback() const { return fallback_; }

    // The PDF file this job would write to, or empty for the default printer.
    static QString destinationPdf(const QString& fallbackPdf);

    // A fallback file named after a window and the time of the print:
    // "<folder>/<caption>-<yyyyMMdd>-<HHmmss>.pdf".
    static QString timedPdfName(const QString& folder, const QString& caption, const QDateTime& when);

private:
    int resolution() const;

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<PdfFile> file_;
    std::unique_ptr<QPdfWriter> writer_;
    QPagedPaintDevice* device_ = nullptr;
    QPainter painter_;
    QString pdfFile_;
    bool fallback_ = false;
    bool ended_ = false;
};
