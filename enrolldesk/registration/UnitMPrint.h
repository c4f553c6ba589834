#pragma once

#include <QPoint>

// Printing by millimetres: positions on the page are given in millimetres
// from the paper's left and top edges and converted to printer pixels here.
// Drawing on a print job by these rules is MPrintJob.h's part.
namespace MPrint {

// What the conversion needs from the printer, read afresh at every use.
struct PrinterUnits {
    int dpiX = 0;    // pixels per inch across
    int dpiY = 0;    // pixels per inch down
    int offsetY = 0; // pixels between the paper's top edge and the printable area
};

// Millimetres to pixels at `dpi`: mm × dpi / 25.4 rounded to a ten-thousandth
// of a pixel first and to a whole pixel then, both roundings to the nearest
// with ties to even, in extended precision. The first rounding drops the
// binary noise of the product, so 2.5 pixels stays a tie (and becomes 2).
int millimetresToPixels(double mm, int dpi);

// Where a text whose top-left corner is at (x, y) millimetres on the paper
// goes on the painter, whose origin is the printable area: only the vertical
// position is corrected by the printable area's offset.
QPoint textPoint(double x, double y, const PrinterUnits& units);

// A box at (x, y) millimetres on the paper, by the same rule as texts.
QPoint boxPoint(double x, double y, const PrinterUnits& units);

} // namespace MPrint
