#pragma once

#include <QPageLayout>
#include <QPainter>
#include <QString>
#include <memory>

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

    // Starts a new page; throws DeskError when the device refuses.
    void newPage();
    // Ends the document (also done by the destructor); throws DeskError when
    // the device reports that the document could not be finished.
    void end();

    // The PDF file written, or empty when the document went to a printer.
    const QString& pdfFile() const { return pdfFile_; }

    // The PDF file this job would write to, or empty for the default printer.
    static QString destinationPdf(const QString& fallbackPdf);

private:
    std::unique_ptr<QPrinter> printer_;
    QPainter painter_;
    QString pdfFile_;
    bool ended_ = false;
};
