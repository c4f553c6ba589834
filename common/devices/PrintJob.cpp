#include "PrintJob.h"
#include "DeskError.h"

#include <QDir>
#include <QFileInfo>
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

PrintJob::PrintJob(const Options& options) {
    pdfFile_ = destinationPdf(options.fallbackPdf);
    if (pdfFile_.isEmpty() && QPrinterInfo::defaultPrinter().isNull())
        throw DeskError(QStringLiteral("没有安装打印机，无法打印。"));

    if (pdfFile_.isEmpty()) {
        printer_ = std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    } else {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer_->setOutputFormat(QPrinter::PdfFormat);
        printer_->setResolution(options.pdfResolution);
        printer_->setPageSize(QPageSize(QPageSize::A4));
        QDir().mkpath(QFileInfo(pdfFile_).absolutePath());
        printer_->setOutputFileName(pdfFile_);
    }
    printer_->setDocName(options.documentName);
    printer_->setPageOrientation(options.orientation);
    // Margins at the device's minimum: the painter's origin is then the
    // printable area, and nothing is shifted by margins of our own.
    printer_->setFullPage(false);
    const QPageLayout layout = printer_->pageLayout();
    printer_->setPageMargins(layout.minimumMargins(), layout.units());

    if (!painter_.begin(printer_.get())) {
        const QString where = pdfFile_.isEmpty() ? printer_->printerName() : QDir::toNativeSeparators(pdfFile_);
        throw DeskError(QStringLiteral("无法开始打印：%1").arg(where));
    }
}

PrintJob::~PrintJob() {
    if (!ended_ && painter_.isActive())
        painter_.end();
}

int PrintJob::dpiX() const { return printer_->logicalDpiX(); }
int PrintJob::dpiY() const { return printer_->logicalDpiY(); }

int PrintJob::offsetY() const {
    const QRect page = printer_->pageLayout().paintRectPixels(printer_->resolution());
    const QRect paper = printer_->pageLayout().fullRectPixels(printer_->resolution());
    return page.top() - paper.top();
}

QSize PrintJob::printableSize() const {
    return printer_->pageLayout().paintRectPixels(printer_->resolution()).size();
}

void PrintJob::newPage() {
    if (!printer_->newPage())
        throw DeskError(QStringLiteral("打印机无法换页。"));
}

void PrintJob::end() {
    if (ended_)
        return;
    ended_ = true;
    if (painter_.isActive() && !painter_.end())
        throw DeskError(QStringLiteral("打印未能完成。"));
    if (!pdfFile_.isEmpty() && !QFileInfo::exists(pdfFile_))
        throw DeskError(QStringLiteral("打印未能完成：%1").arg(QDir::toNativeSeparators(pdfFile_)));
}
