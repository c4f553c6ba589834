#pragma once

#include "Sheet.h"

#include <QByteArray>

// OpenDocument spreadsheets (.ods): the first table, each cell as the text
// the saving program shows for it (the file keeps that text beside the
// value). Numbers keep their value for the import's checks; a formula saved
// without its result is an Uncomputed cell. Only cells with something in
// them count for the last row: the empty formatted cells a program writes
// down to the sheet's end do not.
namespace OdsReader {

// Reads the spreadsheet held in `bytes`. Throws WorkbookParts::Damaged when
// the package or its content does not fit.
Sheet read(const QByteArray& bytes);

} // namespace OdsReader
