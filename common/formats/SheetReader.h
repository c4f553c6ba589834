#pragma once

#include "Sheet.h"

#include <QByteArray>
#include <QString>

// Opens a workbook by what the file holds, not by its name, and gives its
// first worksheet as the spreadsheet shows it:
//   Excel 97-2003 and 5.0 (.xls)        BiffReader
//   Excel 2007 and later (.xlsx, .xlsm) XlsxReader
//   OpenDocument (.ods)                 OdsReader
//   CSV text (.csv, .txt)               TextSheet::readCsv
//   an HTML table saved as ".xls"       TextSheet::readHtml
// A missing, unreadable, damaged or foreign file throws DeskError with a
// Chinese message naming the file.
namespace SheetReader {

enum class Format { Xls, Xlsx, Ods, Csv, Html, Unknown };

// What the bytes of a file are.
Format detect(const QByteArray& bytes);

Sheet open(const QString& path);

// Reads a workbook already in memory; `path` only names it in messages.
Sheet read(const QByteArray& bytes, const QString& path);

// The file chooser's filter for the files open() takes ("描述|*.xls;...").
QString chooserFilter();

// The messages, for callers that check on their own.
QString notAWorkbookMessage(const QString& path);
QString damagedMessage(const QString& path);
QString encryptedMessage(const QString& path);

} // namespace SheetReader
