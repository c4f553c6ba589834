#include "PrintJob.h"
#include "DeskError.h"
#include "PdfFile.h"
#include "PrintFonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

QString PrintJob::destinationPdf(const QString& fallbackPdf) {
    const QString configured = qEnvironmentVariable("DESK_PRINT_PDF");
    if (!configured.isEmpty())
        return configured;
    if (!QPrinterInfo::defaultPrinter().isNull())
        return {};
    return fallbackPdf;
}

QString PrintJob::timedPdfName(const QString& folder, const QString& caption, const QDateTime& when) {
    QString path = folder;
    if (!path.isEmpty() && !path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + caption + QLatin1Char('-') + when.toString(QStringLiteral("yyyyMMdd-HHmmss")) +
           QStringLiteral(".pdf");
}

PrintJob::PrintJob(const Options& options) {
    pdfFile_ = destinationPdf(options.fallbackPdf);
    if (pdfFile_.isEmpty() && QPrinterInfo::defaultPrinter().isNull())
        throw DeskError(QStringLiteral("没有安装打印机，无法打印。"));

    if (pdfFile_.isEmpty()) {
        printer_ = std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
        printer_->setDocName(options.documentName);
        printer_->setPageOrientation(options.orientation);
        // Margins at the device's minimum: the painter's origin is then the
        // printable area, and nothing is shifted by margins of our own.
        printer_->setFullPage(false);
        const QPageLayout layout = printer_->pageLayout();
        printer_->setPageMargins(layout.minimumMargins(), layout.units());
        device_ = printer_.get();
    } else {
        fallback_ = qEnvironmentVariableIsEmpty("DESK_PRINT_PDF");
        file_ = std::make_unique<PdfFile>(pdfFile_, fallback_ ? PdfFile::Existing::Keep : PdfFile::Existing::Replace);
        writer_ = std::make_unique<QPdfWriter>(file_.get());
        writer_->setTitle(options.documentName);
        writer_->setCreator(QCoreApplication::applicationName());
        writer_->setResolution(options.pdfResolution);
        // A PDF page has no unprintable edge.
        writer_->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), options.orientation, QMarginsF()));
        device_ = writer_.get();
    }

    if (!painter_.begin(device_)) {
        const QString where = printer_ ? printer_->printerName() : QDir::toNativeSeparators(pdfFile_);
        throw DeskError(QStringLiteral("无法开始打印：%1").arg(where));
    }
}

PrintJob::~PrintJob() {
    if (ended_)
        return;
    if (painter_.isActive())
        painter_.end();
    if (file_) {
        try {
            file_->commit(PrintFonts::textMapCorrections());
        } catch (...) {
            // What stopped the print is told; the file is gone, an earlier
            // one kept. Nothing may leave a destructor.
        }
    }
}

int PrintJob::resolution() const { return printer_ ? printer_->resolution() : writer_->resolution(); }

int PrintJob::dpiX() const { return device_->logicalDpiX(); }
int PrintJob::dpiY() const { return device_->logicalDpiY(); }

int PrintJob::offsetY() const {
    const QPageLayout layout = device_->pageLayout();
    return layout.paintRectPixels(resolution()).top() - layout.fullRectPixels(resolution()).top();
}

QSize PrintJob::printableSize() const { return device_->pageLayout().paintRectPixels(resolution()).size(); }

void PrintJob::newPage() {
    if (file_) {
        file_->flush();
        if (file_->failure())
            throw *file_->failure();
    }
    if (!device_->newPage())
        throw DeskError(QStringLiteral("打印机无法换页。"));
}

void PrintJob::end() {
    if (ended_)
        return;
    ended_ = true;
    const bool finished = !painter_.isActive() || painter_.end();
    if (file_) {
        if (!finished && !file_->failure())
            throw DeskError(QStringLiteral("打印未能完成：%1").arg(QDir::toNativeSeparators(pdfFile_)));
        file_->commit(PrintFonts::textMapCorrections());
        pdfFile_ = file_->fileName();
        return;
    }
    if (!finished)
        throw DeskError(QStringLiteral("打印未能完成。"));
}
