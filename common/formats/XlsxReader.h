#pragma once

#include "Sheet.h"

#include <QByteArray>

// Excel 2007 and later workbooks (.xlsx, .xlsm): the first worksheet of the
// zip package, each cell as the spreadsheet shows it (shared, inline and
// rich texts; numbers through their number formats; dates in either date
// system; booleans; errors; the stored results of formulas). A formula
// saved without its result is an Uncomputed cell.
namespace XlsxReader {

// Reads the workbook held in `bytes`. Throws WorkbookParts::Damaged when
// the package or one of its parts does not fit.
Sheet read(const QByteArray& bytes);

} // namespace XlsxReader
