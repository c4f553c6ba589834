#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// Excel 2007 and later workbooks (.xlsx), written with libxlsxwriter.
namespace XlsxWriter {

// Writes a new workbook at `path` holding one sheet named `sheetName`, cell
// for cell and with the same column widths as BiffWriter::writeWorkbook
// writes the same list: the column names `header` in the first row, then
// `rows`; null values and empty texts stay empty cells, integers and
// floating-point values are numbers, anything else its text.
//
// The sheet's limits are checked before anything is written (1048575 rows
// besides the header, 16384 columns, 32767 characters in a cell, a sheet
// name of 1 to 31 characters without : \ / ? * [ ]). The workbook is made
// aside and renamed into place, so a failure leaves no partial file and an
// existing target is replaced only by a complete workbook. Failures throw
// DeskError with a Chinese message naming the file.
void writeWorkbook(const QString& path, const QString& sheetName, const QStringList& header,
                   const QVector<QVector<QVariant>>& rows);

} // namespace XlsxWriter
