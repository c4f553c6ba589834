#include "MPrintJob.h"
#include "PrintFonts.h"
#include "PrintJob.h"

#include <QFontMetrics>
#include <QPainter>

namespace MPrint {

int PrinterDpiX(const PrintJob& job) { return job.dpiX(); }
int PrinterDpiY(const PrintJob& job) { return job.dpiY(); }
int PrinterOffsetY(const PrintJob& job) { return job.offsetY(); }

PrinterUnits unitsOf(const PrintJob& job) { return {PrinterDpiX(job), PrinterDpiY(job), PrinterOffsetY(job)}; }

void drawTextAt(QPainter& painter, QPoint topLeft, const QString& text) {
    const QString name = painter.font().families().value(0);
    const QFontMetrics metrics(PrintFonts::font(name, painter.font().pointSizeF()), painter.device());
    // Never past the right edge of what the printer can print.
    const int room = painter.device()->width() - topLeft.x();
    PrintFonts::drawText(painter, QPointF(topLeft.x(), topLeft.y() + metrics.ascent()), text, name,
                         room > 0 ? room : 0);
}

void PrintTextMM(PrintJob& job, const QString& text, int size, double x, double y) {
    QPainter& painter = job.painter();
    QFont font = painter.font();
    font.setPointSize(size);
    painter.setFont(font);
    drawTextAt(painter, textPoint(x, y, unitsOf(job)), text);
}

void setFontName(PrintJob& job, const QString& name) {
    QFont font = job.painter().font();
    font.setFamilies({name});
    job.painter().setFont(font);
}

} // namespace MPrint
