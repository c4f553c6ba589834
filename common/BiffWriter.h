#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// Excel 97-2003 workbooks (.xls, BIFF8 in an OLE2 compound file), readable by
// Excel, LibreOffice and WPS.
namespace BiffWriter {

// Writes a new workbook at `path` holding one sheet named `sheetName`: the
// column names `header` in the first row, then `rows`. A cell that is null
// stays empty; integers and floating-point values are numbers; anything else
// is text. The workbook is written beside the target under a temporary name
// and moved into place, so a failure leaves no partial file; failures throw
// DeskError with a Chinese message naming the file.
void writeWorkbook(const QString& path, const QString& sheetName, const QStringList& header,
                   const QVector<QVector<QVariant>>& rows);

} // namespace BiffWriter
