#pragma once

#include <QString>

// Numbers as a spreadsheet shows them through a cell's number format (the
// format codes of .xls and .xlsx workbooks), as a Chinese Excel shows them.
namespace NumberFormat {

// The code of a built-in format by its index ("General" for an index
// without one); dates and times as a Chinese Excel shows them.
QString builtIn(int index);

// The text shown for `value` in a cell of format `format`. General keeps to
// about 11 characters; explicit formats round half away from zero and keep
// at most 15 significant digits (the rest show as zeros); date formats count
// days from 1900 (with its leap day that never was) or, with `base1904`,
// from 1904. Codes that are neither numbers nor dates show as General.
QString text(double value, const QString& format, bool base1904);

} // namespace NumberFormat
