#pragma once

#include "UnitMPrint.h"

#include <QString>

class PrintJob;
class QPainter;

// Drawing on a print job by millimetres (UnitMPrint.h's conversions).
namespace MPrint {

int PrinterDpiX(const PrintJob& job);
int PrinterDpiY(const PrintJob& job);
int PrinterOffsetY(const PrintJob& job);
PrinterUnits unitsOf(const PrintJob& job);

// Draws `text` with its top-left corner at `topLeft` in the painter's font
// name and size, each character in a print family that draws it
// (PrintFonts). A text that would run past the right edge of the printable
// area is drawn condensed across to end there.
void drawTextAt(QPainter& painter, QPoint topLeft, const QString& text);

// Sets the font size (points) of the job's painter, keeping the font name the
// caller set last, and draws `text` with its top-left corner at (x, y)
// millimetres.
void PrintTextMM(PrintJob& job, const QString& text, int size, double x, double y);

// Sets the font name of the job's painter, keeping its size.
void setFontName(PrintJob& job, const QString& name);

} // namespace MPrint
