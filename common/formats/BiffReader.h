#pragma once

#include "Sheet.h"

#include <QByteArray>
#include <QString>

// Excel 5.0/95 (BIFF5) and 97-2003 (BIFF8) workbooks (.xls), read through
// libgsf's compound-file reader. Only the first worksheet is read, and each
// cell as the text Excel shows for it: numbers through the cell's number
// format, formulas by their last computed result, booleans and errors as
// Excel spells them. A formula whose result was never computed (as some
// generators write them) is an Uncomputed cell, never a guessed value.
namespace BiffReader {

// The first worksheet; `Workbook::sheetName()` names it. A cell is at most
// row 65535, column 255.
using Workbook = Sheet;

// Opens the workbook at `path` (whatever kind of workbook it is, as
// SheetReader::open). A missing, unreadable, damaged or foreign file throws
// DeskError with a Chinese message naming the file.
Workbook open(const QString& path);

// Reads an .xls file (an OLE2 compound file) held in memory; `path` only
// names it in messages.
Workbook read(const QByteArray& file, const QString& path);

// Reads a workbook stream ("Workbook" or "Book") already taken out of its
// compound file; `path` only names the file in error messages.
Workbook parse(const QByteArray& stream, const QString& path);

} // namespace BiffReader
