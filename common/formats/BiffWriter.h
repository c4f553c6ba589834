#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// Excel 97-2003 workbooks (.xls, BIFF8 in an OLE2 compound file), readable by
// Excel, LibreOffice and WPS. Texts are stored as Unicode, whatever the
// characters (rare name characters outside the BMP included).
namespace BiffWriter {

// Writes a new workbook at `path` holding one sheet named `sheetName`: the
// column names `header` in the first row, then `rows`. A cell that is null
// stays empty, and so does an empty text; integers and floating-point values
// are numbers (an infinite or undefined one shows as #NUM!); anything else is
// its text. A row may be shorter than the header.
//
// Excel's limits are checked before anything is written: at most 65535 rows
// besides the header, 256 columns and 32767 characters in a cell; a sheet name
// of 1 to 31 characters without : \ / ? * [ ]. The workbook is written beside
// the target under a temporary name and renamed into place, so a failure
// leaves no partial file and an existing target is replaced only by a complete
// workbook. Failures throw DeskError with a Chinese message naming the file.
void writeWorkbook(const QString& path, const QString& sheetName, const QStringList& header,
                   const QVector<QVector<QVariant>>& rows);

// The column widths (in 1/256 of a character) that show the longest text of
// each column whole, at least Excel's default 8 characters; 0 for a column
// without any text or number. An .xlsx list gets the same widths.
QVector<int> columnWidths(const QStringList& header, const QVector<QVector<QVariant>>& rows);

} // namespace BiffWriter
